// The parser of the engine's one-line rendering of a monitored frame.
#include "control/link/monitor_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace tw {
namespace {

using namespace std::string_literals;

class MonitorText : public ::testing::Test {
 protected:
  MonitorHeader Parse(std::string_view text) {
    MonitorHeader h;
    ok = GetHeader(log, text, h);
    return h;
  }
  TraceLog log;
  bool ok = false;
};

TEST_F(MonitorText, UiFrameWithPathAndLength) {
  MonitorHeader h =
      Parse(" 1:Fm N0AAA-5 To ID Via RELAY-1,RELAY-2* <UI pid=F0 Len=5 >[20:53:37]\rHELLO\r\r\0"s);
  EXPECT_TRUE(ok);
  EXPECT_EQ(h.port, "0");
  EXPECT_EQ(h.source, "N0AAA-5");
  EXPECT_EQ(h.destination, "ID");
  EXPECT_EQ(h.via, "RELAY-1 RELAY-2*");
  EXPECT_EQ(h.type, "UI");
  EXPECT_EQ(h.pid, "F0");
  EXPECT_EQ(h.length, 5);
  EXPECT_EQ(h.info, "HELLO\r\r");  // the one trailing NUL is dropped
  EXPECT_EQ(h.nr, 0);
  EXPECT_EQ(h.ns, 0);
}

TEST_F(MonitorText, UiFrameWithoutLengthHasLengthZero) {
  MonitorHeader h = Parse("2:Fm A To B <UI pid=CF >\rtext");
  EXPECT_EQ(h.port, "1");
  EXPECT_EQ(h.pid, "CF");  // the PID's word, without the blank before '>'
  EXPECT_EQ(h.length, 0);
  EXPECT_EQ(h.info, "text");

  h = Parse("1:Fm A To B <UI pid=F0 Len=x5 >\rtext");
  EXPECT_EQ(h.length, 0);  // not digits
}

TEST_F(MonitorText, IFrameFields) {
  MonitorHeader h = Parse("3:Fm N0AAA To N0BBB <I R2 S5 p=F0 w=12 >[x]\rHELLO WORLD!");
  EXPECT_EQ(h.port, "2");
  EXPECT_EQ(h.type, "I");
  EXPECT_EQ(h.nr, 2);
  EXPECT_EQ(h.ns, 5);
  EXPECT_EQ(h.pid, "F0");
  EXPECT_EQ(h.length, 12);
  EXPECT_EQ(h.info, "HELLO WORLD!");

  h = Parse("1:Fm A To B <I Rx Sy p=F0 w=z >\rq");
  EXPECT_EQ(h.nr, 0);
  EXPECT_EQ(h.ns, 0);
  EXPECT_EQ(h.length, 0);
}

TEST_F(MonitorText, IAndUiWithoutInformationGiveACrOfLengthOne) {
  for (const std::string& text :
       {"1:Fm A To B <I R1 S2 p=F0 w=0 >\r"s, "1:Fm A To B <I R1 S2 p=F0 w=0 >"s,
        "1:Fm A To B <UI pid=F0 Len=0 >[t]\r"s, "1:Fm A To B <UI pid=F0 Len=0 >"s,
        "1:Fm A To B <UI pid=F0 Len=1 >\r\0"s}) {
    SCOPED_TRACE(text);
    MonitorHeader h = Parse(text);
    EXPECT_EQ(h.info, "\r");
    EXPECT_EQ(h.length, 1);
  }
}

TEST_F(MonitorText, SupervisoryFramesGiveNrOnly) {
  MonitorHeader h = Parse("1:Fm A To B <RR P R3 >\rignored");
  EXPECT_EQ(h.type, "RR");
  EXPECT_EQ(h.nr, 3);
  EXPECT_TRUE(h.info.empty());
  EXPECT_EQ(h.length, 0);

  EXPECT_EQ(Parse("1:Fm A To B <RNR R7 >").nr, 7);
  EXPECT_EQ(Parse("1:Fm A To B <REJ F R4 >").nr, 0);  // only a P word is skipped
  EXPECT_EQ(Parse("1:Fm A To B <RR P>").nr, 0);
  EXPECT_EQ(Parse("1:Fm A To B <RR Rx >").nr, 0);
  EXPECT_EQ(Parse("1:Fm A To B <RR R >").nr, 0);
  EXPECT_EQ(Parse("1:Fm A To B <RR R12 >").nr, 1);  // one digit
}

TEST_F(MonitorText, LinkControlFramesCarryNothingMore) {
  for (const char* type : {"SABM", "SABME", "UA", "DISC", "DM", "FRMR"}) {
    SCOPED_TRACE(type);
    MonitorHeader h = Parse(std::string("1:Fm A To B <") + type + " P R5 S3 >\rinfo");
    EXPECT_TRUE(ok);
    EXPECT_EQ(h.type, type);
    EXPECT_EQ(h.nr, 0);
    EXPECT_TRUE(h.info.empty());
  }
  MonitorHeader sabme = Parse(" 1:Fm N0AAA To N0BBB <SABME P=1 >[06:46:09]\r\0"s);  // Dire Wolf's
  EXPECT_TRUE(ok);
  EXPECT_EQ(sabme.source, "N0AAA");
  EXPECT_EQ(sabme.destination, "N0BBB");
  EXPECT_EQ(sabme.type, "SABME");
  EXPECT_TRUE(sabme.info.empty());
  MonitorHeader h = Parse("1:Fm A To B <XID >\rinfo");  // any other type: no information
  EXPECT_EQ(h.type, "XID");
  EXPECT_TRUE(h.info.empty());
}

TEST_F(MonitorText, ViaListLosesBlanksAndSplitsAtCommas) {
  EXPECT_EQ(Parse("1:Fm A To B via R1, R2 ,R3 <UA >").via, "R1 R2 R3");
  EXPECT_EQ(Parse("1:Fm A To B VIA R1 <UA >").via, "R1");
  EXPECT_EQ(Parse("1:Fm A To B <UA >").via, "");
  EXPECT_EQ(Parse("1:Fm A To B Viaduct <UA >").via, "");  // not the word Via
}

TEST_F(MonitorText, InformationIsCutTo256Bytes) {
  std::string info(300, 'i');
  info[255] = 'L';
  MonitorHeader h = Parse("1:Fm A To B <UI pid=F0 Len=300 >\r" + info);
  ASSERT_EQ(h.info.size(), 256u);
  EXPECT_EQ(h.info.back(), 'L');
  EXPECT_EQ(h.length, 300);
}

TEST_F(MonitorText, PidShapesTheInformation) {
  EXPECT_EQ(Parse("1:Fm A To B <UI pid=CF >\rline1\nline2\rmore").info, "line1");
  EXPECT_EQ(Parse("1:Fm A To B <UI pid=CD >\ra\nb\nc\rd").info, "a\rb");
  EXPECT_EQ(Parse("1:Fm A To B <UI pid=CC >\ra\nb\nc\rd").info, "a\rb");
  EXPECT_EQ(Parse("1:Fm A To B <UI pid=CD >\rabc\rdef").info, "abc\r");
  // Cut to 256 bytes first, then shaped: a first line that fills the cut
  // gets its CR after it (found by the fuzzer).
  const std::string full(300, 'x');
  EXPECT_EQ(Parse("1:Fm A To B <UI pid=CD >\r" + full).info, full.substr(0, 256) + "\r");
  EXPECT_EQ(Parse("1:Fm A To B <I R1 S2 pid=CC Len=300 >\r" + full).info, full.substr(0, 256) + "\r");
  EXPECT_EQ(Parse("1:Fm A To B <UI pid=F0 >\ra\nb\rc").info, "a\nb\rc");
  // Shaped down to nothing still reads as a CR of length one.
  MonitorHeader h = Parse("1:Fm A To B <UI pid=CF Len=4 >\r\nabc");
  EXPECT_EQ(h.info, "\r");
  EXPECT_EQ(h.length, 1);
}

TEST_F(MonitorText, PortOfTenAndAboveKeepsAllItsDigits) {
  EXPECT_EQ(Parse("10:Fm A To B <UA >").port, "9");
  EXPECT_EQ(Parse(" 16:Fm A To B <UA >").port, "15");
  EXPECT_EQ(Parse("100:Fm A To B <UA >").port, "99");
  EXPECT_EQ(Parse("1:Fm A To B <UA >").port, "0");
  EXPECT_EQ(Parse("00:Fm A To B <UA >").port, "0");  // never below zero
  EXPECT_EQ(Parse("99999999999999999999999:Fm A To B <UA >").port.size(), 20u);
  EXPECT_EQ(Parse(":Fm A To B <UA >").port, "");
  EXPECT_EQ(Parse("\x01:x").port, "\0"s);
  EXPECT_EQ(Parse("\0:x"s).port, "\0"s);  // no wrap below zero
}

TEST_F(MonitorText, ParsingIsTraced) {
  std::vector<std::string> lines;
  log.SetSwitch("YES");
  log.SetLevel(4);
  log.SetSink([&](const std::string& line) { lines.push_back(line); });
  Parse("1:Fm A To B <UA >");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].substr(20), "{L2} GetHeader ->1:Fm A To B <UA >");
}

TEST_F(MonitorText, EmptyAndGarbageTextsAreParsedWithoutHarm) {
  MonitorHeader h = Parse("");
  EXPECT_TRUE(ok);
  EXPECT_TRUE(h.type.empty());
  EXPECT_TRUE(h.info.empty());

  // Every byte value alone, and in the places the parser looks at.
  const std::string skeleton = "1:Fm A To B Via C,D <UI pid=F0 Len=3 >\rxyz";
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    std::string one(1, c);
    Parse(one);
    EXPECT_TRUE(ok) << b;
    for (std::size_t at = 0; at < skeleton.size(); ++at) {
      std::string text = skeleton;
      text[at] = c;
      h = Parse(text);
      EXPECT_TRUE(ok);
      EXPECT_LE(h.info.size(), 256u);
      if (h.type == "I" || h.type == "UI") {
        EXPECT_FALSE(h.info.empty());
      }
    }
  }

  // Pseudo-random texts built from the parser's own tokens.
  const char* tokens[] = {"1:", ":", " ", "Fm", "Via", "VIA ", ",", "<", ">", "UI", "I", "RR", "P",
                          "R", "S", "=", "Len=", "pid=", "CD", "CF", "\r", "\n", "\0", "9", "\xFF"};
  std::uint32_t seed = 12345;
  for (int round = 0; round < 5000; ++round) {
    std::string text;
    for (int n = 0; n < 30; ++n) {
      seed = seed * 1664525u + 1013904223u;
      const char* t = tokens[(seed >> 16) % std::size(tokens)];
      text += (t[0] == '\0') ? "\0"s : std::string(t);
    }
    h = Parse(text);
    EXPECT_TRUE(ok);
    EXPECT_LE(h.info.size(), 256u);
  }
}

}  // namespace
}  // namespace tw
