// `mycall[,defport[,acceptany[,engineport[,listenport]]]]`.
#include <gtest/gtest.h>

#include "bridge/command_line.h"
#include "bridge/start_lines.h"

namespace tw::testing {
namespace {

TEST(CommandLine, FieldsDefaultsAndStartUpErrors) {
  struct Case {
    const char* text;
    const char* mycall;
    int defport;
    bool acceptany;
    int engineport, listenport;
    bool tooMany;
    const char* error;  // a part of the message, or "" for none
  } cases[] = {
      {"", "", 1, true, 8000, 8200, false, ""},
      {"  n0call-3  ", "N0CALL-3", 1, true, 8000, 8200, false, ""},
      {"N0CALL,2,false", "N0CALL", 2, false, 8000, 8200, false, ""},
      {"n0bbs-0,2", "N0BBS", 2, true, 8000, 8200, false, ""},
      {"N0BBS-00", "N0BBS", 1, true, 8000, 8200, false, ""},
      {"N0BBS-10", "N0BBS-10", 1, true, 8000, 8200, false, ""},
      {"N0CALL , 16 , TRUE , 8001 , 8201", "N0CALL", 16, true, 8001, 8201, false, ""},
      {"N0CALL,1,0,8000,8200,extra,more", "N0CALL", 1, false, 8000, 8200, true, ""},
      {"N0CALL,2.6,-1,8000x,65535", "N0CALL", 3, true, 8000, 65535, false, ""},
      {",1,0.0", "", 1, false, 8000, 8200, false, ""},
      {"N0CALL,x", "N0CALL", 1, true, 8000, 8200, false, "default radio port must be a number from 1 to 16, not \"x\""},
      {"N0CALL,17", "N0CALL", 1, true, 8000, 8200, false, "default radio port"},
      {"N0CALL,,true", "N0CALL", 1, true, 8000, 8200, false, "default radio port"},
      {"N0CALL,1,yes", "N0CALL", 1, true, 8000, 8200, false, "accept field must be true, false or a number, not \"yes\""},
      {"N0CALL,1,", "N0CALL", 1, true, 8000, 8200, false, "accept field"},
      {"N0CALL,1,1,0", "N0CALL", 1, true, 8000, 8200, false, "engine port must be a number from 1 to 65535"},
      {"N0CALL,1,1,8000,65536", "N0CALL", 1, true, 8000, 8200, false, "listen port"},
      {"N0CALL,1,1,8000,99999999999999999999", "N0CALL", 1, true, 8000, 8200, false, "listen port"},
      // Calls the engine would take and every link then fail with.
      {"N0CALL-99", "N0CALL-99", 1, true, 8000, 8200, false,
       "the call-sign \"N0CALL-99\" is not an AX.25 address: a call-sign is 1 to 6 letters or digits, "
       "optionally followed by -SSID with SSID 0 to 15"},
      {"THISISTOOLONG,2", "THISISTOOLONG", 1, true, 8000, 8200, false, "\"THISISTOOLONG\" is not an AX.25 address"},
      {"N0 CALL,2", "N0 CALL", 1, true, 8000, 8200, false, "\"N0 CALL\" is not an AX.25 address"},
      {"N0CALL-15,2", "N0CALL-15", 2, true, 8000, 8200, false, ""},
      // Checked as typed, before a zero SSID comes off.
      {"N0BBS-0-0", "N0BBS-0", 1, true, 8000, 8200, false, "\"N0BBS-0-0\" is not an AX.25 address"},
      {"-0,2", "", 1, true, 8000, 8200, false, "\"-0\" is not an AX.25 address"},
      // Words a shell split: the fields were meant.
      {"N0CALL 1 true 8000 8200", "N0CALL 1 TRUE 8000 8200", 1, true, 8000, 8200, false,
       "the command line \"N0CALL 1 true 8000 8200\" is several words: the fields are separated by commas: "
       "mycall,defport,acceptany,engineport,listenport, as in N0CALL,1,true,8000,8200"},
      {" N0CALL  2\tfalse ", "N0CALL  2\tFALSE", 1, true, 8000, 8200, false,
       "is several words: the fields are separated by commas"
       ": mycall,defport,acceptany,engineport,listenport, as in N0CALL,2,false"},
      {" N0 CALL 2", "N0 CALL 2", 1, true, 8000, 8200, false, "\"N0 CALL 2\" is not an AX.25 address"},
  };
  for (const Case& c : cases) {
    const CommandLine line = cmdargs(c.text);
    SCOPED_TRACE(c.text);
    EXPECT_EQ(line.mycall, c.mycall);
    EXPECT_EQ(line.tooManyFields, c.tooMany);
    if (*c.error == '\0') {
      EXPECT_EQ(line.error, "");
      EXPECT_EQ(line.defport, c.defport);
      EXPECT_EQ(line.acceptany, c.acceptany);
      EXPECT_EQ(line.engineport, c.engineport);
      EXPECT_EQ(line.listenport, c.listenport);
    } else {
      EXPECT_NE(line.error.find(c.error), std::string::npos) << line.error;
    }
  }
}

TEST(StartLines, SettingsAndWarningsAsTheOperatorReadsThem) {
  const struct {
    std::string line;
    const char* want;
  } cases[] = {
      {SettingsLine(cmdargs("n0call"), "127.0.0.1", "0.0.0.0"),
       "settings: call N0CALL, default radio port 1, accept any radio port, engine 127.0.0.1:8000, "
       "listen 0.0.0.0:8200"},
      {SettingsLine(cmdargs(",3,false,9000,9200"), "engine.lan", "::1"),
       "settings: call (none), default radio port 3, accept radio port 3 only, engine engine.lan:9000, "
       "listen [::1]:9200"},
      {SettingsLine(cmdargs("n0call-15,2"), "::1", "0.0.0.0", "pseudo-terminal /tmp/kam (/dev/pts/3), no TCP listener"),
       "settings: call N0CALL-15, default radio port 2, accept any radio port, engine [::1]:8000, "
       "client on pseudo-terminal /tmp/kam (/dev/pts/3), no TCP listener"},
      {SettingsFields(cmdargs("w1aw-2,4,0,1,2")), "W1AW-2,4,false,1,2"},
      {OpenListenLine("192.0.2.7", 8200, "N0CALL"),
       "WARNING listening on 192.0.2.7: anyone who can reach port 8200 can transmit under N0CALL; "
       "--listen-address 127.0.0.1 keeps it to this machine"},
      {OpenListenLine("0.0.0.0", 1, ""),
       "WARNING listening on 0.0.0.0: anyone who can reach port 1 can transmit under the call-sign; "
       "--listen-address 127.0.0.1 keeps it to this machine"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.line, c.want);

  for (const char* local : {"127.0.0.1", "127.1.2.3", "::1", "localhost"}) EXPECT_TRUE(IsLoopback(local)) << local;
  for (const char* open : {"0.0.0.0", "", "::", "192.168.1.2", "10.127.0.1"}) EXPECT_FALSE(IsLoopback(open)) << open;
}

}  // namespace
}  // namespace tw::testing
