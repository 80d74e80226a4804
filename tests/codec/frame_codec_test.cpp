#include "control/link/frame_codec.h"
#include "control/link/frame_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tw {
namespace {

using namespace std::string_literals;

std::vector<Frame> Feed(FrameReader& reader, std::string_view bytes) {
  reader.Append(bytes);
  std::vector<Frame> frames;
  while (auto frame = reader.Next()) frames.push_back(std::move(*frame));
  return frames;
}

std::vector<std::string> Pieces(int port, std::uint8_t pid, char kind, std::string_view from,
                                std::string_view to, std::string_view data) {
  std::vector<std::string> pieces;
  EncodeFrames(port, pid, kind, from, to, data,
               [&](std::string_view piece) { pieces.emplace_back(piece); });
  return pieces;
}

std::uint8_t ByteAt(const std::string& bytes, std::size_t i) {
  return static_cast<std::uint8_t>(bytes.at(i));
}

std::size_t LengthField(const std::string& frame) {
  return ByteAt(frame, 28) + 256u * ByteAt(frame, 29);
}

std::string Numbered(std::size_t n) {
  std::string data(n, '\0');
  for (std::size_t i = 0; i < n; ++i) data[i] = static_cast<char>(i % 251);
  return data;
}

std::string RawHeader(std::uint8_t port, char kind, std::uint8_t lengthLow, std::uint8_t lengthHigh) {
  std::string header(kHeaderSize, '\0');
  header[0] = static_cast<char>(port);
  header[4] = kind;
  header[28] = static_cast<char>(lengthLow);
  header[29] = static_cast<char>(lengthHigh);
  return header;
}

TEST(FrameHeaderEncoding, PinsEveryByteOfTheHeader) {
  std::string frame = EncodeFrame(2, 0xF0, 'D', "NOCALL-1", "NOBODY-12", "hi");
  std::string expected =
      "\x01\x00\x00\x00" "D" "\x00" "\xF0" "\x00"
      "NOCALL-1\x00\x00"
      "NOBODY-12\x00"
      "\x02\x00\x00\x00"
      "\x00\x00\x00\x00"
      "hi"s;
  EXPECT_EQ(frame, expected);
}

TEST(FrameHeaderEncoding, PortByteIsThePortMinusOneAndZeroForPortsZeroAndOne) {
  EXPECT_EQ(ByteAt(EncodeFrame(0, 0, 'G', "", "", ""), 0), 0);
  EXPECT_EQ(ByteAt(EncodeFrame(1, 0, 'H', "", "", ""), 0), 0);
  EXPECT_EQ(ByteAt(EncodeFrame(4, 0, 'H', "", "", ""), 0), 3);
  EXPECT_EQ(WirePort(-3), 0);
  EXPECT_EQ(WirePort(256), 255);
}

TEST(FrameHeaderEncoding, LongCallsAreCutToTheirFirstTenBytesWithoutNul) {
  std::string frame = EncodeFrame(1, 0, 'C', "ABCDEFGHIJKL", "0123456789XY", "");
  ASSERT_EQ(frame.size(), kHeaderSize);
  EXPECT_EQ(frame.substr(8, 10), "ABCDEFGHIJ");
  EXPECT_EQ(frame.substr(18, 10), "0123456789");
  EXPECT_EQ(ByteAt(frame, 28), 0);  // the call did not spill into the length
}

TEST(FrameHeaderEncoding, EmptyDataGivesTheHeaderAloneWithLengthZero) {
  auto pieces = Pieces(1, 0, 'G', "", "", "");
  ASSERT_EQ(pieces.size(), 1u);
  std::string expected(kHeaderSize, '\0');
  expected[4] = 'G';
  EXPECT_EQ(pieces[0], expected);
}

TEST(FrameHeaderEncoding, DefaultConstructedViewsEncodeAsEmptyCalls) {
  // A default string_view may carry a null pointer; the sanitizer build
  // checks that it never reaches memcpy.
  std::string wire = EncodeFrame(1, 0, 'G', std::string_view{}, std::string_view{}, std::string_view{});
  std::string expected(kHeaderSize, '\0');
  expected[4] = 'G';
  EXPECT_EQ(wire, expected);
}

TEST(FrameSplitting, UpTo255BytesGoOutAsOneFrame) {
  auto pieces = Pieces(1, 0xF0, 'D', "A", "B", Numbered(255));
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0].size(), kHeaderSize + 255);
  EXPECT_EQ(ByteAt(pieces[0], 28), 0xFF);
  EXPECT_EQ(ByteAt(pieces[0], 29), 0x00);
}

TEST(FrameSplitting, LongerDataIsCutInto255BytePiecesWithTheSameHeader) {
  for (std::size_t total : {256u, 600u, 510u, 1000u}) {
    SCOPED_TRACE(total);
    std::string data = Numbered(total);
    auto pieces = Pieces(3, 0xCC, 'D', "NOCALL-1", "NOCALL-2", data);
    ASSERT_EQ(pieces.size(), (total + 254) / 255);
    std::string joined;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      const std::string& piece = pieces[i];
      std::size_t expected = i + 1 < pieces.size() ? 255 : total - 255 * i;
      ASSERT_EQ(LengthField(piece), expected);
      ASSERT_EQ(piece.size(), kHeaderSize + expected);
      // Everything but the length is the same in every piece.
      EXPECT_EQ(piece.substr(0, 28), pieces[0].substr(0, 28));
      EXPECT_EQ(piece.substr(30, 6), std::string(6, '\0'));
      joined += piece.substr(kHeaderSize);
    }
    EXPECT_EQ(joined, data);
    EXPECT_EQ(ByteAt(pieces[0], 0), 2);
    EXPECT_EQ(ByteAt(pieces[0], 6), 0xCC);
  }
}

TEST(FrameSplitting, SixHundredBytesGive255And255And90) {
  auto pieces = Pieces(1, 0xF0, 'D', "A", "B", Numbered(600));
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(LengthField(pieces[0]), 255u);
  EXPECT_EQ(LengthField(pieces[1]), 255u);
  EXPECT_EQ(LengthField(pieces[2]), 90u);
}

TEST(FrameSplitting, RawFramesAreNeverSplit) {
  auto pieces = Pieces(2, 0, 'K', "", "", Numbered(300));
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0].size(), kHeaderSize + 300);
  EXPECT_EQ(ByteAt(pieces[0], 28), 0x2C);
  EXPECT_EQ(ByteAt(pieces[0], 29), 0x01);
  EXPECT_EQ(pieces[0].substr(kHeaderSize), Numbered(300));

  pieces = Pieces(2, 0, 'K', "", "", Numbered(kMaxRawFrame));
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(LengthField(pieces[0]), kMaxRawFrame);
}

TEST(FrameSplitting, ARawFrameTooLongForTheLengthFieldIsNotSent) {
  // Its length would wrap and the engine would read the rest as headers.
  EXPECT_FALSE(CanEncode('K', kMaxRawFrame + 1));
  EXPECT_TRUE(CanEncode('K', kMaxRawFrame));
  EXPECT_TRUE(CanEncode('D', 1u << 20));
  EXPECT_TRUE(Pieces(1, 0, 'K', "", "", Numbered(kMaxRawFrame + 1)).empty());
  EXPECT_EQ(EncodeFrame(1, 0, 'K', "", "", Numbered(70000)), "");
}

TEST(ViaBlock, TwoSevenCharacterCallsGiveTwentyOneBytes) {
  const std::string calls[] = {"RELAY-1", "WIDE2-2"};
  std::string block = EncodeViaBlock(calls, 2);
  EXPECT_EQ(block, "\x02RELAY-1\x00\x00\x00WIDE2-2\x00\x00\x00"s);
  EXPECT_EQ(EncodeViaBlock(calls, 0), "\x00"s);
}

TEST(FrameHeaderDecoding, ReadsTheFieldsBack) {
  std::string wire = EncodeFrame(5, 0xF0, 'D', "nocall-1", "NOBODY", "x");
  FrameHeader h = DecodeHeader(wire.data());
  EXPECT_EQ(h.port, 5);
  EXPECT_EQ(h.kind, 'D');
  EXPECT_EQ(h.pid, 0xF0);
  EXPECT_EQ(h.callFrom, "nocall-1");  // upper-casing is the dispatcher's business
  EXPECT_EQ(h.callTo, "NOBODY");
  EXPECT_EQ(h.length, 1u);
}

TEST(FrameHeaderDecoding, PortByteIsReadPlusOneKeptAsAByte) {
  EXPECT_EQ(DecodeHeader(RawHeader(3, 'y', 0, 0).data()).port, 4);
  EXPECT_EQ(DecodeHeader(RawHeader(0, 'y', 0, 0).data()).port, 1);
  EXPECT_EQ(DecodeHeader(RawHeader(255, 'y', 0, 0).data()).port, 0);
}

TEST(FrameHeaderDecoding, TenByteCallFieldsWithoutNulGiveTenCharacters) {
  std::string header = RawHeader(0, 'D', 0, 0);
  header.replace(8, 10, "ABCDEFGHIJ");
  header.replace(18, 10, "K\x00MNOPQRST"s);
  FrameHeader h = DecodeHeader(header.data());
  EXPECT_EQ(h.callFrom, "ABCDEFGHIJ");
  EXPECT_EQ(h.callTo, "K");
}

TEST(FrameHeaderDecoding, OnlyBytes28And29GiveTheLength) {
  std::string header = RawHeader(0, 'D', 0x34, 0x12);
  header[30] = '\xFF';
  header[31] = '\x7F';
  header[32] = '\x55';
  EXPECT_EQ(DecodeHeader(header.data()).length, 0x1234u);

  FrameReader reader;
  auto frames = Feed(reader, header + std::string(0x1234, 'z') + RawHeader(0, 'G', 0, 0));
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].data.size(), 0x1234u);
  EXPECT_EQ(frames[1].header.kind, 'G');
}

TEST(FrameReader, ZeroLengthFrameIsCompleteWithItsHeader) {
  FrameReader reader;
  auto frames = Feed(reader, RawHeader(0, 'R', 0, 0));
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].header.kind, 'R');
  EXPECT_EQ(frames[0].data, "");
  EXPECT_FALSE(reader.WaitingForData());
  EXPECT_EQ(reader.Buffered(), 0u);
}

TEST(FrameReader, TwoFramesInOneRead) {
  FrameReader reader;
  auto frames = Feed(reader, EncodeFrame(1, 0, 'H', "N1", "", "line\x00"s) +
                                 EncodeFrame(2, 0, 'y', "", "", "\x05\x00\x00\x00"s));
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].header.kind, 'H');
  EXPECT_EQ(frames[0].data, "line\x00"s);
  EXPECT_EQ(frames[1].header.port, 2);
  EXPECT_EQ(frames[1].data, "\x05\x00\x00\x00"s);
}

TEST(FrameReader, HeaderArrivingInTwoReadsIsTakenWhenComplete) {
  std::string wire = EncodeFrame(1, 0, 'D', "A", "B", "payload");
  FrameReader reader;
  EXPECT_TRUE(Feed(reader, wire.substr(0, 20)).empty());
  EXPECT_FALSE(reader.WaitingForData());
  EXPECT_EQ(reader.Buffered(), 20u);
  EXPECT_TRUE(Feed(reader, wire.substr(20, 16)).empty());
  ASSERT_TRUE(reader.WaitingForData());
  EXPECT_EQ(reader.PendingHeader()->length, 7u);
  EXPECT_EQ(reader.PendingHeader()->kind, 'D');
  auto frames = Feed(reader, wire.substr(36));
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].data, "payload");
  EXPECT_FALSE(reader.WaitingForData());
}

TEST(FrameReader, FrameSplitAtEveryOffsetIsDecodedOnceWhenComplete) {
  std::string wire = EncodeFrame(3, 0xF0, 'D', "N0CALL-1", "N0CALL-2", "hello") +
                     EncodeFrame(1, 0, 'G', "", "", "");
  for (std::size_t cut = 0; cut <= wire.size(); ++cut) {
    FrameReader reader;
    auto first = Feed(reader, std::string_view(wire).substr(0, cut));
    auto second = Feed(reader, std::string_view(wire).substr(cut));
    first.insert(first.end(), second.begin(), second.end());
    ASSERT_EQ(first.size(), 2u) << "cut at " << cut;
    EXPECT_EQ(first[0].header.port, 3);
    EXPECT_EQ(first[0].header.kind, 'D');
    EXPECT_EQ(first[0].header.callFrom, "N0CALL-1");
    EXPECT_EQ(first[0].data, "hello");
    EXPECT_EQ(first[1].header.kind, 'G');
    EXPECT_EQ(first[1].data, "");
  }
}

TEST(FrameReader, OneByteReadsGiveTheSameFramesAsOneRead) {
  std::string wire = EncodeFrame(1, 0xF0, 'D', "A", "B", Numbered(600)) +
                     EncodeFrame(2, 0, 'K', "", "", Numbered(300));
  FrameReader reader;
  std::vector<Frame> frames;
  for (char byte : wire) {
    auto got = Feed(reader, std::string_view(&byte, 1));
    frames.insert(frames.end(), got.begin(), got.end());
  }
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(frames[0].data + frames[1].data + frames[2].data, Numbered(600));
  EXPECT_EQ(frames[3].header.kind, 'K');
  EXPECT_EQ(frames[3].data, Numbered(300));
  EXPECT_EQ(reader.Buffered(), 0u);
}

TEST(FrameReader, HundredThousandFramesInOneReadComeOutInOrder) {
  constexpr std::size_t kCount = 100000;
  std::string wire;
  for (std::size_t i = 0; i < kCount; ++i) {
    std::string data = std::to_string(i);
    std::string header = RawHeader(0, 'D', static_cast<std::uint8_t>(data.size()), 0);
    wire += header + data;
  }
  FrameReader reader;
  auto frames = Feed(reader, wire);
  ASSERT_EQ(frames.size(), kCount);
  for (std::size_t i = 0; i < kCount; ++i) {
    ASSERT_EQ(frames[i].data, std::to_string(i)) << i;
  }
  EXPECT_EQ(reader.Buffered(), 0u);
}

TEST(FrameReader, ResetDropsAPartialFrame) {
  std::string wire = EncodeFrame(1, 0, 'D', "A", "B", "abcdef");
  FrameReader reader;
  EXPECT_TRUE(Feed(reader, wire.substr(0, 40)).empty());
  EXPECT_TRUE(reader.WaitingForData());
  reader.Reset();
  EXPECT_FALSE(reader.WaitingForData());
  EXPECT_EQ(reader.Buffered(), 0u);
  auto frames = Feed(reader, EncodeFrame(1, 0, 'R', "", "", ""));
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].header.kind, 'R');
}

TEST(FrameReader, ResetBetweenFramesOfOneReadDropsTheRest) {
  FrameReader reader;
  reader.Append(EncodeFrame(1, 0, 'G', "", "", "") + EncodeFrame(1, 0, 'R', "", "", ""));
  auto first = reader.Next();
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->header.kind, 'G');
  reader.Reset();
  EXPECT_FALSE(reader.Next().has_value());
}

}  // namespace
}  // namespace tw
