// The send path: headers byte for byte, the 255-byte split, raw frames whole,
// and nothing at all without a connection.
#include <gtest/gtest.h>

#include "tests/link/link_harness.h"

namespace tw::testing {
namespace {

class Tl2Send : public ::testing::Test, public LinkHarness {};

TEST_F(Tl2Send, WriteWithoutConnectionIsRefusedWithALevelTwoLine) {
  link.Log().SetLevel(1);
  EXPECT_FALSE(link.Write(1, 0, 'D', "A", "B", "data"));
  EXPECT_FALSE(Logged("{L2} L2 Frame not sent because there is no TCP/IP connection with VOKPE"));

  link.Log().SetLevel(2);
  EXPECT_FALSE(link.Write(1, 0, 'D', "A", "B", "data"));
  EXPECT_TRUE(Logged("{L2} L2 Frame not sent because there is no TCP/IP connection with VOKPE"));
  EXPECT_TRUE(socket.writes.empty());

  // Nothing was queued for later either.
  Connect();
  EXPECT_TRUE(socket.writes.empty());
}

TEST_F(Tl2Send, HeaderIsWrittenByteForByte) {
  Connect();
  ASSERT_TRUE(link.Write(4, 0xF0, 'D', "N0CALL-1", "NOBODY-12", "hi"));
  ASSERT_EQ(socket.writes.size(), 1u);
  EXPECT_EQ(socket.writes[0], WireHeader(3, 'D', 0xF0, "N0CALL-1", "NOBODY-12", 2) + "hi");
  EXPECT_TRUE(Logged("{L2} <L2 Send> Port(4) DK[D] Pid(240) From(N0CALL-1) To(NOBODY-12) DK[D] "
                     "Len(2) using object(N0CALL)"));
  EXPECT_TRUE(Logged("{L2} Entered condition iLen<=DWORD(MAXFRAME-1) <SENT> or Frame <K>"));
}

TEST_F(Tl2Send, PortsZeroAndOneBothGoOutAsZero) {
  Connect();
  link.Write(0, 0, 'H', "", "", "");
  link.Write(1, 0, 'H', "", "", "");
  ASSERT_EQ(socket.writes.size(), 2u);
  EXPECT_EQ(ByteAt(socket.writes[0], 0), 0);
  EXPECT_EQ(ByteAt(socket.writes[1], 0), 0);
}

TEST_F(Tl2Send, LongCallsAreCutToTenBytesWithoutSpillingIntoTheLength) {
  Connect();
  link.Write(1, 0, 'C', "ABCDEFGHIJKL", "0123456789XY", "");
  ASSERT_EQ(socket.writes.size(), 1u);
  EXPECT_EQ(socket.writes[0], WireHeader(0, 'C', 0, "ABCDEFGHIJ", "0123456789", 0));
}

TEST_F(Tl2Send, EmptyDataSendsTheHeaderAlone) {
  Connect();
  link.Write(0, 0, 'G', "", "", "");
  ASSERT_EQ(socket.writes.size(), 1u);
  EXPECT_EQ(socket.writes[0].size(), 36u);
  EXPECT_TRUE(Logged("{L2} Sent NUL length frame"));
}

// Each write is one frame: header plus at most 255 bytes, in order, and the
// pieces together give the data back.
void ExpectSplit(LinkHarness& h, const std::string& data, std::vector<std::size_t> sizes) {
  ASSERT_EQ(h.socket.writes.size(), sizes.size());
  std::string joined;
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    SCOPED_TRACE(i);
    const std::string& w = h.socket.writes[i];
    ASSERT_EQ(w.size(), 36 + sizes[i]);
    EXPECT_EQ(w.substr(0, 36), WireHeader(1, 'D', 0xF0, "N0CALL", "NOBODY-1", sizes[i]));
    joined += w.substr(36);
  }
  EXPECT_EQ(joined, data);
}

TEST_F(Tl2Send, DataIsSplitInto255BytePieces) {
  struct Case {
    std::size_t total;
    std::vector<std::size_t> pieces;
  };
  for (const Case& c : {Case{255, {255}}, Case{256, {255, 1}}, Case{510, {255, 255}},
                        Case{600, {255, 255, 90}}, Case{1, {1}}}) {
    SCOPED_TRACE(c.total);
    LinkHarness h;
    h.Connect();
    std::string data = Numbered(c.total);
    h.link.SendData(2, 0xF0, "N0CALL", "NOBODY-1", data);
    ExpectSplit(h, data, c.pieces);
    EXPECT_EQ(h.Logged("{L2} Frame Split <SENT>"), c.pieces.size() > 1);
  }
}

TEST_F(Tl2Send, RawFramesGoOutWholeWithA16BitLength) {
  Connect();
  std::string frame = Numbered(300);
  link.SendKiss(3, frame);
  ASSERT_EQ(socket.writes.size(), 1u);
  EXPECT_EQ(socket.writes[0], WireHeader(2, 'K', 0, "", "", 300) + frame);
  EXPECT_EQ(ByteAt(socket.writes[0], 28), 0x2C);
  EXPECT_EQ(ByteAt(socket.writes[0], 29), 0x01);
  EXPECT_TRUE(Logged("{L2} <SendKiss> Sending Frame Port(3)"));

  socket.writes.clear();
  std::string largest(65535, 'k');
  EXPECT_TRUE(link.Write(1, 0, 'K', "", "", largest));
  ASSERT_EQ(socket.writes.size(), 1u);
  EXPECT_EQ(ByteAt(socket.writes[0], 28), 0xFF);
  EXPECT_EQ(ByteAt(socket.writes[0], 29), 0xFF);
}

TEST_F(Tl2Send, RawFrameTooLongForItsLengthFieldIsRefused) {
  Connect();
  EXPECT_FALSE(link.Write(1, 0, 'K', "", "", std::string(65536, 'k')));
  link.SendKiss(1, std::string(70000, 'k'));
  EXPECT_TRUE(socket.writes.empty());
  EXPECT_TRUE(Logged("{L2} <L2 Send> Frame <K> too long Len(65536), not sent"));
}

TEST_F(Tl2Send, NothingIsLoggedWhileTheLogIsOff) {
  link.Log().SetSwitch("yes");  // only "YES" switches it on
  Connect();
  link.SendData(1, 0xF0, "A", "B", Numbered(600));
  link.Write(1, 0, 'D', "A", "B", "x");
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(socket.writes.size(), 4u);
}

}  // namespace
}  // namespace tw::testing
