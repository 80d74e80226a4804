// Escaping, splitting and cutting host-mode blocks out of the client's bytes.
#include <gtest/gtest.h>

#include "bridge/block_reader.h"
#include "bridge/host_block.h"
#include "tests/bridge/bridge_harness.h"

namespace tw::testing {
namespace {

TEST(Escaping, EveryByteValueRoundTripsAndOnlyFendAndFescChange) {
  std::string all;
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    const std::string want = b == 0xC0 ? "\xDB\xDC" : b == 0xDB ? "\xDB\xDD" : one;
    EXPECT_EQ(AX25toKAM(one), want) << b;
    EXPECT_EQ(KAMtoAX25(want), one) << b;
    all += one;
  }
  const std::string escaped = AX25toKAM(all + all);
  EXPECT_EQ(escaped.find('\xC0'), std::string::npos);
  EXPECT_EQ(escaped.size(), 2 * 258u);
  EXPECT_EQ(KAMtoAX25(escaped), all + all);
}

TEST(Escaping, WrittenVectors) {
  EXPECT_EQ(AX25toKAM("\xC0" "A\xDB"), "\xDB\xDC" "A\xDB\xDD");
  EXPECT_EQ(KAMtoAX25("\xDB\xDC" "A\xDB\xDD"), "\xC0" "A\xDB");
  EXPECT_EQ(KAMtoAX25("\xDB" "A"), "A");
  EXPECT_EQ(KAMtoAX25("AB\xDB"), "AB");
  EXPECT_EQ(KAMtoAX25("\xDB\xDB\xDC"), "\xDB\xDC");  // the kept byte is not decoded again
  // Runs of plain bytes before, between and after the escapes.
  EXPECT_EQ(AX25toKAM("ab\xC0\xC0" "cd\xDB" "ef"), "ab\xDB\xDC\xDB\xDC" "cd\xDB\xDD" "ef");
  EXPECT_EQ(KAMtoAX25("ab\xDB\xDC\xDB\xDC" "cd\xDB\xDD" "ef"), "ab\xC0\xC0" "cd\xDB" "ef");
  EXPECT_EQ(KAMtoAX25("ab\xDB" "Xcd"), "abXcd");
}

TEST(SplitBlock, FieldsBeyondTheBlockAreEmpty) {
  using Field = std::optional<char>;
  struct Case {
    std::string block;
    Field kind, port, stream;
    std::string data;
  } cases[] = {
      {Block(""), {}, {}, {}, ""},
      {Block("A"), 'A', {}, {}, ""},
      {Block("C1"), 'C', '1', {}, ""},
      {Block("C1A"), 'C', '1', 'A', ""},
      {Block("D1B\xDB\xDC x"), 'D', '1', 'B', "\xDB\xDC x"},
      {Block(std::string("C\0\0", 3)), 'C', '\0', '\0', ""},
  };
  for (const Case& c : cases) {
    const HostBlock b = splitblock(c.block);
    EXPECT_EQ(b.rawblock, c.block);
    EXPECT_EQ(b.kind, c.kind) << c.block;
    EXPECT_EQ(b.port, c.port) << c.block;
    EXPECT_EQ(b.stream, c.stream) << c.block;
    EXPECT_EQ(b.blkdata, c.data) << c.block;
  }
}

std::vector<std::string> Cut(BlockReader& reader, std::string_view bytes) {
  reader.Append(bytes);
  std::vector<std::string> blocks;
  while (auto block = reader.Next()) blocks.push_back(*block);
  return blocks;
}

TEST(BlockReader, DropsStrayBytesResyncsOnFendFendAndBoundsAnOpenBlock) {
  BlockReader reader;
  EXPECT_EQ(Cut(reader, "AB\xC0\xC0" "C1AD\xC0 stray \xC0?\xC0"),
            (std::vector<std::string>{Block("C1AD"), Block("?")}));
  EXPECT_TRUE(Cut(reader, std::string(100000, 'x')).empty());
  EXPECT_EQ(reader.Buffered(), 0u);  // nothing kept without a FEND

  EXPECT_TRUE(Cut(reader, "\xC0" + std::string(10000, 'y')).empty());
  EXPECT_LE(reader.Buffered(), BlockReader::kMaxBlock);
  EXPECT_EQ(reader.TakeOversized(), 1u);
  // The dropped block's closing FEND may open the next one.
  EXPECT_EQ(Cut(reader, "\xC0" "C0AS\xC0"), std::vector<std::string>{Block("C0AS")});
  EXPECT_EQ(Cut(reader, Block(std::string(BlockReader::kMaxBlock - 2, 'z'))).size(), 1u);
}

// The longest block the reader takes, and one byte more, which is dropped
// with the next block still taken: the same whatever pieces the bytes come in.
TEST(BlockReader, TheLongestBlockIsTakenOneByteMoreIsDroppedInAnyPieces) {
  struct Case {
    std::size_t inner;  // bytes between the FENDs
    bool taken;
  };
  const Case cases[] = {
      {BlockReader::kMaxBlock - 2, true},
      {BlockReader::kMaxBlock - 1, false},
      {BlockReader::kMaxBlock + 500, false},
  };
  for (const Case& c : cases) {
    const std::string big = Block(std::string(c.inner, 'z'));
    const std::string bytes = "stray" + big + Block("C1AD");
    for (std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{1000}, bytes.size()}) {
      BlockReader reader;
      std::vector<std::string> blocks;
      for (std::size_t at = 0; at < bytes.size(); at += piece) {
        for (std::string& b : Cut(reader, std::string_view(bytes).substr(at, piece))) blocks.push_back(b);
      }
      std::vector<std::string> want;
      if (c.taken) want.push_back(big);
      want.push_back(Block("C1AD"));
      EXPECT_EQ(blocks, want) << c.inner << " in pieces of " << piece;
      EXPECT_EQ(reader.TakeOversized(), c.taken ? 0u : 1u) << c.inner << " in pieces of " << piece;
      EXPECT_EQ(reader.Buffered(), 0u);
    }
  }
}

// A session's bytes in host mode, cut in two at every offset, make the same
// calls and replies as when they arrive whole.
TEST(BlockReader, BlocksSplitAtEveryOffsetGiveTheSameCallsAndReplies) {
  const std::string session = "AB\xC0\xC0" "C1BC NOBODY-2 V RELAY\xC0\xC0" "D1Adata\xDB\xDC\xDB\xDD\xC0" +
                              Block("C1BMYCALL N0NEW") + "junk" + Block("C0AS") + Block("C1AD") +
                              Block("D1Amore");
  auto run = [&](std::size_t cut) {
    BridgeHarness h;
    h.StartHost();
    h.Outgoing('A', "NOBODY-1");
    std::string out = h.Reply(session.substr(0, cut));
    out += h.Reply(session.substr(cut));
    return out + " calls " + h.control.TakeCalls();
  };
  const std::string whole = run(session.size());
  EXPECT_NE(whole.find("AX25Send 1 data\xC0\xDB;AX25Disconnect 1"), std::string::npos) << whole;
  for (std::size_t cut = 0; cut < session.size(); ++cut) EXPECT_EQ(run(cut), whole) << cut;
}

// A "q" block leaves host mode: the blocks before it were carried out in host
// mode, and only what follows it is read as the dialogue.
TEST(LeavingHostMode, OnlyTheBytesAfterTheQuitBlockReachTheDialogue) {
  const std::string quit = "INTFACE was HOST\rcmd:\rEH?";
  const std::string reset = "\xC0\xC0S00\xC0";
  struct Case {
    std::string name, chunk, answer, calls;
    bool hostMode;
  } cases[] = {
      {"dialogue lines inside data blocks",
       "\xC0" "D1Aline\rRESET\r\xC0\xC0" "D1Ahello\xC0\xC0q\xC0", quit,
       "AX25Send 1 line\rRESET\r;AX25Send 1 hello", false},
      {"a call-sign line inside a data block", Block("D1AMYCALL N0NEW\r") + Block("Q"), quit,
       "AX25Send 1 MYCALL N0NEW\r", false},
      {"a RESET after the quit block", Block("D1Aone") + Block("q") + "RESET\r" + Block("D1Atwo"), quit + reset,
       "AX25Send 1 one;AX25Send 1 two", true},
      {"a block after the quit block is not host mode's", Block("q") + Block("D1Alate"), quit + "cmd:", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BridgeHarness h;
    h.StartHost();
    h.Outgoing('A', "NOBODY-1");
    EXPECT_EQ(h.Reply(c.chunk), c.answer);
    EXPECT_EQ(h.control.TakeCalls(), c.calls);
    EXPECT_EQ(h.core.hostmode(), c.hostMode);
    EXPECT_EQ(h.core.mycall(), "N0CALL");
  }
}

}  // namespace
}  // namespace tw::testing
