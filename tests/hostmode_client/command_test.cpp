// Typed lines and what the client makes of them.
#include <gtest/gtest.h>

#include <string>

#include "tools/hostmode_client/client_command.h"
#include "tools/hostmode_client/client_options.h"

namespace tw::hostmode {
namespace {

using Kind = ClientAction::Kind;
using namespace std::chrono_literals;

TEST(ParseCommand, EachFormOnTheCurrentStream) {
  struct Case {
    std::string line;
    Kind kind;
    std::string bytes;
  };
  const Case cases[] = {
      {"connect N0CALL-1", Kind::Send, "\xC0" "C1BC N0CALL-1\xC0"},
      {"connect nobody-1 via a,b c port 2", Kind::Send, "\xC0" "C1BC nobody-1 V a,b,c #2\xC0"},
      {"connect ECHO port 12", Kind::Send, "\xC0" "C1BC ECHO #12\xC0"},
      {"disconnect", Kind::Send, "\xC0" "C1BD\xC0"},
      {"status", Kind::Send, "\xC0" "C10S\xC0"},
      {"mycall N0CALL", Kind::Send, "\xC0" "C10MYCALL N0CALL\xC0"},
      {"mycall", Kind::Send, "\xC0" "C10MYCALL\xC0"},
      {"command CHECK 30", Kind::Send, "\xC0" "C1BCHECK 30\xC0"},
      {"poll", Kind::Send, "\xC0?\xC0"},
      {"quit", Kind::Quit, "\xC0q\xC0"},
      {"send  two blanks", Kind::Data, " two blanks\r"},
      {"send", Kind::Data, "\r"},
      {"Hello there", Kind::Data, "Hello there\r"},
      {"  connect ECHO", Kind::Data, "  connect ECHO\r"},
      {"", Kind::Nothing, ""},
      {"help", Kind::Help, ""},
  };
  for (const Case& c : cases) {
    ClientAction action = ParseCommand(c.line, 'B');
    EXPECT_EQ(action.kind, c.kind) << c.line << ": " << action.error;
    EXPECT_EQ(action.bytes, c.bytes) << c.line;
  }

  EXPECT_EQ(ParseCommand("stream j", 'A').stream, 'J');
  EXPECT_EQ(ParseCommand("wait 2", 'A').delay, 2000ms);
  EXPECT_EQ(ParseCommand("wait 0.25", 'A').delay, 250ms);
  ClientAction until = ParseCommand("wait 10  for *** CONNECTED to ECHO", 'A');
  EXPECT_EQ(until.delay, 10000ms);
  EXPECT_EQ(until.until, "*** CONNECTED to ECHO");
  EXPECT_EQ(ParseCommand("sendbytes 1000", 'A').count, 1000u);
  ClientAction file = ParseCommand("sendfile /tmp/a file", 'A');
  EXPECT_EQ(file.kind, Kind::SendFile);
  EXPECT_EQ(file.path, "/tmp/a file");
}

TEST(ParseCommand, RefusesWhatCannotBeSent) {
  const char* refused[] = {
      "connect",         "connect via A",       "connect ECHO via",    "connect ECHO port",
      "connect ECHO port x", "connect ECHO port 1234", "connect ECHO extra", "connect EC\xC0HO",
      "command",         "command a\xC0",       "stream",              "stream K",
      "stream AB",       "mycall A B",          "sendbytes 0",         "sendbytes 16777217",
      "sendbytes x",     "sendfile",            "wait",                "wait 0",
      "wait 3601",       "wait 1.2345",         "wait 1.",             "wait -1",
      "quit now",        "disconnect A",        "wait 2 until X",      "wait 2 for",
  };
  for (const char* line : refused) {
    ClientAction action = ParseCommand(line, 'A');
    EXPECT_EQ(action.kind, Kind::Error) << line;
    EXPECT_FALSE(action.error.empty()) << line;
  }
}

TEST(DataBlocks, SplitsIntoEscapedBlocksOfTheGivenSize) {
  EXPECT_EQ(DataBlocks('C', "abcde\xC0", 4), "\xC0" "D1Cabcd\xC0\xC0" "D1Ce\xDB\xDC\xC0");
  EXPECT_EQ(DataBlocks('C', "", 4), "");
  std::string pattern = PatternBytes(513);
  EXPECT_EQ(pattern[255], '\xFF');
  EXPECT_EQ(pattern[512], '\x00');
}

TEST(ClientOptions, ReadsTheCommandLine) {
  auto parsed = ParseClientOptions({"--host", "bridge.local", "--port", "8201", "--stream", "c", "--no-reset",
                                    "--script", "s.txt", "--timeout", "9"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  EXPECT_EQ(parsed.options->host, "bridge.local");
  EXPECT_EQ(parsed.options->port, 8201);
  EXPECT_EQ(parsed.options->stream, 'C');
  EXPECT_FALSE(parsed.options->reset);
  EXPECT_EQ(parsed.options->script, "s.txt");
  EXPECT_EQ(parsed.options->timeout, 9s);
  EXPECT_EQ(parsed.options->line, "");
  EXPECT_EQ(ParseClientOptions({"--line", "/tmp/kam"}).options->line, "/tmp/kam");
  for (auto args : std::vector<std::vector<std::string>>{{"--port", "0"},
                                                         {"--port", "65536"},
                                                         {"--stream", "K"},
                                                         {"--port"},
                                                         {"--timeout", "0"},
                                                         {"extra"},
                                                         {"--line", ""}}) {
    EXPECT_FALSE(ParseClientOptions(args).options) << args[0];
  }
}

}  // namespace
}  // namespace tw::hostmode
