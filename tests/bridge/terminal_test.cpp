// The dialogue before host mode, however TCP cuts it, and the lines real
// clients send.
#include <gtest/gtest.h>

#include "tests/bridge/bridge_harness.h"

namespace tw::testing {
namespace {

const std::string kReset = "\xC0\xC0S00\xC0";

TEST_F(BridgeTest, TerminalDialogueAnswersChunksAndLines) {
  struct Case {
    std::vector<std::string> chunks;
    std::string answer;
    bool hostMode;
    std::string calls;
    std::string log;  // what "ERROR Unknown Terminal mode Client request>" names, if logged
  } cases[] = {
      // The fixed lines, each a chunk of its own.
      {{"\r"}, "cmd:\r", false, "", ""},
      {{"\x03 X"}, "cmd:\r", false, "", ""},
      {{"\xC0" "C20S\xC0"}, "cmd:\r", false, "", ""},
      {{"*"}, "ENTER YOUR CALLSIGN=>\rcmd:", false, "", ""},
      {{"F00BAR\r\r"}, "MYCALL now F00BAR\rcmd:", false, "", ""},
      {{"\rINTFACE HOST\r"}, "INTFACE was TERMINAL\rcmd:", false, "", ""},
      {{"RESET\r"}, kReset, true, "", ""},
      {{"\xC0q\xC0"}, "EH?", false, "", ""},
      // Cut anywhere: a beginning is held for the next chunk.
      {{"RES", "ET\r"}, kReset, true, "", ""},
      {{"\rINT", "FACE HO", "ST\r"}, "INTFACE was TERMINAL\rcmd:", false, "", ""},
      {{"\r", "INTFACE HOST\r"}, "cmd:\rINTFACE was TERMINAL\rcmd:", false, "", ""},
      // Several lines, in any case, read one by one.
      {{"intface host\rreset\r\n"}, "INTFACE was TERMINAL\rcmd:" + kReset, true, "", ""},
      {{"\r\r"}, "cmd:\rcmd:\r", false, "", ""},
      {{"ECHO OFF\r\rINTFACE HOST\r"}, "cmd:INTFACE was TERMINAL\rcmd:", false, "", "ECHO OFF"},
      {{"MYCALL n0new/n0new-1\r"}, "MYCALL now N0NEW\rcmd:", false, "VOKUnRegister N0CALL;VOKRegister N0NEW", ""},
      {{"MY N0N", "EW\r"}, "MYCALL now N0NEW\rcmd:", false, "VOKUnRegister N0CALL;VOKRegister N0NEW", ""},
      {{"MYCALL\r"}, "MYCALL N0CALL\rcmd:", false, "", ""},
      // Anything else is logged, escaped, and answered with the prompt.
      {{"\x01\xFFZ\\"}, "cmd:", false, "", "\\x01\\xFFZ\\x5C"},
      {{"RESET"}, "", false, "", ""},
      // What follows RESET belongs to host mode.
      {{"RESET\r" + Block("C1AC NOBODY-1")}, kReset + Block("C1A"), true, "AX25Connect 1 N0CALL NOBODY-1 ", ""},
  };
  for (const Case& c : cases) {
    BridgeHarness h;
    h.Start();
    h.ClientConnects();
    std::string answer;
    for (const std::string& chunk : c.chunks) answer += h.Reply(chunk);
    SCOPED_TRACE(c.chunks.front());
    EXPECT_EQ(answer, c.answer);
    EXPECT_EQ(h.core.hostmode(), c.hostMode);
    EXPECT_EQ(h.control.TakeCalls(), c.calls);
    std::vector<std::string> unknown;
    for (const std::string& line : h.view.lines) {
      if (line.starts_with("ERROR Unknown Terminal mode Client request>")) unknown.push_back(line);
    }
    EXPECT_EQ(unknown, c.log.empty() ? std::vector<std::string>{}
                                     : std::vector<std::string>{"ERROR Unknown Terminal mode Client request> " + c.log});
  }
}

TEST_F(BridgeTest, TerminalMyCallIsRefusedWhileAStreamIsBusy) {
  Start();
  ClientConnects();
  Incoming("REMOTE");
  Forget();
  EXPECT_EQ(Reply("MY N0NEW\r"), "Not while connected\rcmd:");
  EXPECT_EQ(core.mycall(), "N0CALL");
  EXPECT_EQ(control.TakeCalls(), "");
}

TEST_F(BridgeTest, HeldBeginningIsBoundedAndForgottenByTheNextClient) {
  Start();
  ClientConnects();
  EXPECT_EQ(Reply("MYCALL " + std::string(300, 'X')), "cmd:");
  EXPECT_EQ(Reply("RES"), "");
  Socket().ClientLeaves();
  ClientConnects();
  EXPECT_EQ(Reply("ET\r"), "cmd:");  // not completed by another client's bytes
  EXPECT_FALSE(core.hostmode());
}

}  // namespace
}  // namespace tw::testing
