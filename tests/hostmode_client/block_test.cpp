// Blocks as the client writes and reads them: escaping, cutting blocks out
// of a stream however it is split, the reader's bound, and how blocks print.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/hostmode_client/block_format.h"
#include "tools/hostmode_client/block_reader.h"
#include "tools/hostmode_client/client_command.h"
#include "tools/hostmode_client/host_block.h"

namespace tw::hostmode {
namespace {

using namespace std::string_literals;

// Every item the reader gives for `chunks`, text pieces joined into one.
struct Cut {
  std::vector<HostBlock> blocks;
  std::string text;
  int overflows = 0;
};

Cut Read(const std::vector<std::string>& chunks, std::size_t maxBlock = BlockReader::kDefaultMaxBlock) {
  BlockReader reader(maxBlock);
  Cut cut;
  for (const std::string& chunk : chunks) {
    reader.Append(chunk);
    while (auto item = reader.Next()) {
      if (item->kind == Received::Kind::Block) cut.blocks.push_back(item->block);
      if (item->kind == Received::Kind::Text) cut.text += item->text;
      if (item->kind == Received::Kind::Overflow) ++cut.overflows;
    }
  }
  return cut;
}

HostBlock Block(char kind, char port, char stream, std::string text) { return {kind, port, stream, std::move(text)}; }

TEST(HostBlock, EveryByteValueSurvivesEscaping) {
  std::string all = PatternBytes(256);
  std::string escaped = EscapeData(all);
  EXPECT_EQ(escaped.size(), 258u);
  EXPECT_EQ(escaped.find('\xC0'), std::string::npos);
  EXPECT_EQ(UnescapeData(escaped), all);

  EXPECT_EQ(EscapeData("\xC0\x41\xDB"), "\xDB\xDC\x41\xDB\xDD");
  EXPECT_EQ(UnescapeData("\xDB\x41"), "\x41");
  EXPECT_EQ(UnescapeData("\x41\xDB"), "\x41");
  // Only data is escaped; command texts travel as they are.
  EXPECT_EQ(EncodeBlock('D', '1', 'A', "\xC0\xDB"), "\xC0" "D1A\xDB\xDC\xDB\xDD\xC0");
  EXPECT_EQ(EncodeBlock('C', '1', 'A', "C \xDB"), "\xC0" "C1AC \xDB\xC0");
}

TEST(BlockReader, GivesTheSameBlocksWhereverTheStreamIsSplit) {
  const std::string data = PatternBytes(300);
  const std::string stream = "cmd:\r"s + "\xC0\xC0S00\xC0" + EncodeBlock('C', '1', 'A', "") +
                             EncodeBlock('S', '1', 'A', "*** CONNECTED to ECHO") +
                             EncodeBlock('D', '1', 'A', data) +
                             "\xC0\xC0" + "C00FREE BYTES 936\rA/V stream - DISCONNECTED\r\xC0" +
                             "INTFACE was HOST\rcmd:\r" + EncodeGlobal('?');
  const std::vector<HostBlock> expected = {
      Block('S', '0', '0', ""),
      Block('C', '1', 'A', ""),
      Block('S', '1', 'A', "*** CONNECTED to ECHO"),
      Block('D', '1', 'A', data),
      Block('C', '0', '0', "FREE BYTES 936\rA/V stream - DISCONNECTED\r"),
      HostBlock{'?', '\0', '\0', "", 1},
  };
  const std::string text = "cmd:\rINTFACE was HOST\rcmd:\r";

  Cut whole = Read({stream});
  EXPECT_EQ(whole.blocks, expected);
  EXPECT_EQ(whole.text, text);
  for (std::size_t at = 1; at < stream.size(); ++at) {
    Cut split = Read({stream.substr(0, at), stream.substr(at)});
    ASSERT_EQ(split.blocks, expected) << "split at " << at;
    ASSERT_EQ(split.text, text) << "split at " << at;
  }
  std::vector<std::string> bytes;
  for (char byte : stream) bytes.emplace_back(1, byte);
  EXPECT_EQ(Read(bytes).blocks, expected);
}

TEST(BlockReader, DropsABlockPastItsLimitAndReadsOnAfterIt) {
  const std::string next = EncodeBlock('S', '1', 'B', "*** DISCONNECTED");
  // The limit is passed in one chunk, and little by little in many.
  Cut once = Read({"\xC0" "D1A" + std::string(100, 'x') + "\xC0" + next}, 64);
  EXPECT_EQ(once.overflows, 1);
  EXPECT_EQ(once.blocks, std::vector<HostBlock>{Block('S', '1', 'B', "*** DISCONNECTED")});

  std::vector<std::string> endless{"\xC0" "D1A"};
  for (int i = 0; i < 1000; ++i) endless.push_back(std::string(1000, 'y'));
  endless.push_back("\xC0" + next);
  Cut many = Read(endless, 64);
  EXPECT_EQ(many.overflows, 1);
  EXPECT_EQ(many.blocks, std::vector<HostBlock>{Block('S', '1', 'B', "*** DISCONNECTED")});
  EXPECT_EQ(many.text, "");
}

TEST(BlockFormat, ShowsHeaderAndEscapesEverythingUnprintable) {
  struct Case {
    HostBlock block;
    std::string printed;
  };
  const Case cases[] = {
      {Block('S', '1', 'A', "*** CONNECTED to ECHO"), "[S1A] *** CONNECTED to ECHO"},
      {Block('C', '1', 'B', ""), "[C1B]"},
      {Block('D', '1', 'A', "hi\\\xC0\x00\x7F\r"s), "[D1A] 7 bytes: hi\\x5C\\xC0\\x00\\x7F\\x0D"},
      {Block('C', '0', '0', "FREE BYTES 936\rA/V stream - DISCONNECTED\r"),
       "[C00] FREE BYTES 936\\x0D\n      A/V stream - DISCONNECTED\\x0D"},
      {Block('D', '1', 'B', "a\rb"), "[D1B] 3 bytes: a\\x0Db"},
      {HostBlock{'q', '\0', '\0', "", 1}, "[q]"},
      {Block('\x1B', '1', 'A', "\x1B[2J"), "[\\x1B1A] \\x1B[2J"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatBlock(c.block), c.printed);

  Received text;
  text.kind = Received::Kind::Text;
  text.text = "INTFACE was HOST\r\ncmd:";
  EXPECT_EQ(FormatReceived(text, 100), "[text] INTFACE was HOST\\x0D\\x0A\n       cmd:");
}

}  // namespace
}  // namespace tw::hostmode
