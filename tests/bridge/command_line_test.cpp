// `mycall[,defport[,acceptany[,engineport[,listenport]]]]`.
#include <gtest/gtest.h>

#include "bridge/command_line.h"

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

}  // namespace
}  // namespace tw::testing
