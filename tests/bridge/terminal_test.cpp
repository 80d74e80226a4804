// The dialogue before host mode, however TCP cuts it, and the lines real
// clients send.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/bridge/bridge_harness.h"

namespace tw::testing {
namespace {

const std::string kReset = "\xC0\xC0S00\xC0";
// Why a row's answer depends on the cut.
constexpr const char* kLoneCr = "a chunk that is a lone CR is the prompt";
constexpr const char* kUnknownChunk = "bytes that cannot begin a known line are answered with their chunk";

// What a dialogue's chunks draw from the bridge.
struct Outcome {
  std::string answer;
  bool hostMode = false;
  std::string calls;
  std::vector<std::string> unknown;  // the "ERROR Unknown Terminal mode Client request>" lines

  bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& o, std::ostream* os) {
  *os << ::testing::PrintToString(o.answer) << " host mode " << o.hostMode << " calls \"" << o.calls
      << "\" unknown " << ::testing::PrintToString(o.unknown);
}

Outcome Converse(const std::vector<std::string>& chunks) {
  BridgeHarness h;
  h.Start();
  h.ClientConnects();
  Outcome out;
  for (const std::string& chunk : chunks) out.answer += h.Reply(chunk);
  out.hostMode = h.core.hostmode();
  out.calls = h.control.TakeCalls();
  for (const std::string& line : h.view.lines) {
    if (line.starts_with("ERROR Unknown Terminal mode Client request>")) out.unknown.push_back(line);
  }
  return out;
}

TEST(TerminalDialogue, AnswersChunksAndLinesWholeAndCutAnywhere) {
  struct Case {
    std::vector<std::string> chunks;
    std::string answer;
    bool hostMode;
    std::string calls;
    std::string log;  // what "ERROR Unknown Terminal mode Client request>" names, if logged
    // Why the answer depends on how the bytes are cut, for the rows where it
    // does by design; those run only as written, every other row also whole
    // and cut in two at every offset.
    const char* cutMatters = nullptr;
  } cases[] = {
      // The fixed lines, each a chunk of its own.
      {{"\r"}, "cmd:\r", false, "", ""},
      {{"\x03 X"}, "cmd:\r", false, "", ""},
      {{"\xC0" "C20S\xC0"}, "cmd:\r", false, "", ""},
      {{"*"}, "ENTER YOUR CALLSIGN=>\rcmd:", false, "", ""},
      {{"F00BAR\r\r"}, "MYCALL now F00BAR\rcmd:", false, "", "", kLoneCr},
      {{"\rINTFACE HOST\r"}, "INTFACE was TERMINAL\rcmd:", false, "", "", kLoneCr},
      {{"RESET\r"}, kReset, true, "", ""},
      {{"\xC0q\xC0"}, "EH?", false, "", ""},
      // Cut anywhere: a beginning is held for the next chunk.
      {{"RES", "ET\r"}, kReset, true, "", ""},
      {{"\rINT", "FACE HO", "ST\r"}, "INTFACE was TERMINAL\rcmd:", false, "", "", kLoneCr},
      {{"\r", "INTFACE HOST\r"}, "cmd:\rINTFACE was TERMINAL\rcmd:", false, "", "", kLoneCr},
      // Several lines, in any case, read one by one.
      {{"intface host\rreset\r\n"}, "INTFACE was TERMINAL\rcmd:" + kReset, true, "", ""},
      {{"\r\r"}, "cmd:\rcmd:\r", false, "", ""},
      {{"ECHO OFF\r\rINTFACE HOST\r"}, "cmd:INTFACE was TERMINAL\rcmd:", false, "", "ECHO OFF", kUnknownChunk},
      {{"MYCALL n0new/n0new-1\r"}, "MYCALL now N0NEW\rcmd:", false, "VOKUnRegister N0CALL;VOKRegister N0NEW", ""},
      {{"MY N0N", "EW\r"}, "MYCALL now N0NEW\rcmd:", false, "VOKUnRegister N0CALL;VOKRegister N0NEW", ""},
      {{"MYCALL\r"}, "MYCALL N0CALL\rcmd:", false, "", ""},
      // Anything else is logged, escaped, and answered with the prompt.
      {{"\x01\xFFZ\\"}, "cmd:", false, "", "\\x01\\xFFZ\\x5C", kUnknownChunk},
      {{"RESET"}, "", false, "", ""},
      // What follows RESET belongs to host mode.
      {{"RESET\r" + Block("C1AC NOBODY-1")}, kReset + Block("C1A"), true, "AX25Connect 1 N0CALL NOBODY-1 ", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chunks.front());
    Outcome want{c.answer, c.hostMode, c.calls, {}};
    if (!c.log.empty()) want.unknown.push_back("ERROR Unknown Terminal mode Client request> " + c.log);
    EXPECT_EQ(Converse(c.chunks), want);
    if (c.cutMatters != nullptr) continue;
    std::string whole;
    for (const std::string& chunk : c.chunks) whole += chunk;
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
      std::vector<std::string> chunks{whole.substr(0, cut), whole.substr(cut)};
      if (cut == 0) chunks.erase(chunks.begin());
      EXPECT_EQ(Converse(chunks), want) << "cut at " << cut;
    }
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
