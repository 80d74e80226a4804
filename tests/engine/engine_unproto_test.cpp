// Unproto frames as monitoring clients and raw clients see them, and raw
// frames passed between clients.
#include <gtest/gtest.h>

#include "control/link/ax25_codec.h"
#include "tests/engine/engine_harness.h"

namespace tw::loopback::testing {
namespace {

using namespace std::string_literals;

struct Listeners : ::testing::Test {
  void SetUp() override {
    sender = h.Join();
    monitor = h.Join();
    raw = h.Join();
    deaf = h.Join();
    h.Send(monitor, 0, 'm');
    h.Send(raw, 0, 'k');
  }
  EngineHarness h;
  ClientId sender = 0;
  ClientId monitor = 0;
  ClientId raw = 0;
  ClientId deaf = 0;
  TraceLog quiet;
};

TEST_F(Listeners, MonitoringClientsSeeUnprotoAsOneMonitorLine) {
  h.Send(sender, 1, 'M', "n0aaa-1", "ID", "hello", 0xF0);
  Frame seen = h.Only(monitor);
  EXPECT_EQ(seen.header.kind, 'U');
  EXPECT_EQ(seen.header.port, 1);
  EXPECT_EQ(seen.header.pid, 0xF0);
  EXPECT_EQ(seen.header.callFrom, "N0AAA-1");
  EXPECT_EQ(seen.header.callTo, "ID");
  EXPECT_EQ(seen.data, " 1:Fm N0AAA-1 To ID <UI pid=F0 Len=5 >[12:34:56]\rhello\r\0"s);
  EXPECT_TRUE(h.Received(deaf).empty());
  EXPECT_TRUE(h.Received(sender).empty());

  // The next toggle switches monitoring off; a sender may listen to itself.
  h.Send(monitor, 0, 'm');
  h.Send(sender, 0, 'm');
  h.Send(sender, 1, 'M', "N0AAA", "ID", "x", 0xF0);
  EXPECT_TRUE(h.Received(monitor).empty());
  EXPECT_EQ(h.Only(sender).header.kind, 'U');
}

TEST_F(Listeners, PathAppearsInTheMonitorLineAndLongTextStaysInOneFrame) {
  const std::string path[] = {"RELAY", "WIDE2-2"};
  std::string info(256, 'i');
  h.SendWhole(sender, 2, 'V', "N0AAA", "BEACON", EncodeViaBlock(path, 2) + info, 0xCF);
  Frame seen = h.Only(monitor);
  EXPECT_EQ(seen.header.port, 2);
  EXPECT_EQ(seen.data,
            " 2:Fm N0AAA To BEACON Via RELAY,WIDE2-2 <UI pid=CF Len=256 >[12:34:56]\r" + info + "\r\0"s);
}

TEST_F(Listeners, RawClientsGetARealAx25UiFrame) {
  const std::string path[] = {"RELAY-3", "WIDE1"};
  h.Send(sender, 2, 'V', "N0AAA-1", "APRS", EncodeViaBlock(path, 2) + "\x00\xC0\xDB\xFF"s, 0xF0);
  Frame seen = h.Only(raw);
  EXPECT_EQ(seen.header.kind, 'K');
  EXPECT_EQ(seen.header.port, 2);
  ASSERT_FALSE(seen.data.empty());
  EXPECT_EQ(seen.data[0], '\0') << "KISS data frame command";
  KissFrame decoded = KissDecode(quiet, 2, seen.data);
  EXPECT_EQ(decoded.source, "N0AAA-1");
  EXPECT_EQ(decoded.destination, "APRS");
  EXPECT_EQ(decoded.via, "RELAY-3,WIDE1");
  EXPECT_EQ(decoded.type, "UI");
  EXPECT_EQ(decoded.pid, 0xF0);
  EXPECT_EQ(decoded.info, "\x00\xC0\xDB\xFF"s);
  // Destination marked as a command, only the last address extended.
  EXPECT_EQ(static_cast<unsigned char>(seen.data[7]) & 0x80, 0x80);
  EXPECT_EQ(seen.data[14] & 1, 0);
  EXPECT_EQ(seen.data[21] & 1, 0);
  EXPECT_EQ(seen.data[28] & 1, 1);
}

TEST_F(Listeners, UnprotoWithoutPathEndsTheAddressAtTheSource) {
  h.Send(sender, 1, 'M', "N0AAA", "ID", "hi", 0xF0);
  Frame seen = h.Only(raw);
  ASSERT_EQ(seen.data.size(), 1u + 14 + 2 + 2);
  EXPECT_EQ(seen.data[14] & 1, 1);
  KissFrame decoded = KissDecode(quiet, 1, seen.data);
  EXPECT_EQ(decoded.via, "");
  EXPECT_EQ(decoded.info, "hi");
}

TEST_F(Listeners, UnprotoThatNoRadioCouldSendIsDropped) {
  const std::string nine[] = {"D1", "D2", "D3", "D4", "D5", "D6", "D7", "D8", "D9"};
  h.Send(sender, 1, 'M', "TOOLONG1", "ID", "x", 0xF0);
  h.Send(sender, 1, 'M', "N0AAA-16", "ID", "x", 0xF0);
  h.Send(sender, 1, 'M', "N0AAA", "I D", "x", 0xF0);
  h.Send(sender, 3, 'M', "N0AAA", "ID", "no such port", 0xF0);
  h.Send(sender, 1, 'V', "N0AAA", "ID", EncodeViaBlock(nine, 9) + "x", 0xF0);
  h.Send(sender, 1, 'V', "N0AAA", "ID", "\x02short", 0xF0);
  h.SendWhole(sender, 1, 'M', "N0AAA", "ID", std::string(kMaxInfo + 1, 'x'), 0xF0);
  h.Send(sender, 1, 'K', "", "", "");
  EXPECT_TRUE(h.Received(monitor).empty());
  EXPECT_TRUE(h.Received(raw).empty());
}

TEST_F(Listeners, RawFramesFromAClientReachOtherRawClientsUnchanged) {
  ClientId raw2 = h.Join();
  h.Send(raw2, 0, 'k');
  std::string frame = "\x00\x82\xA0\xA4\xA6\x40\x40\xE0\x9C\x60\x82\x82\x82\x40\x61\x03\xF0hi"s;
  h.Send(raw, 2, 'K', "", "", frame);
  Frame seen = h.Only(raw2);
  EXPECT_EQ(seen.header.kind, 'K');
  EXPECT_EQ(seen.header.port, 2);
  EXPECT_EQ(seen.data, frame);
  EXPECT_TRUE(h.Received(raw).empty());
  EXPECT_TRUE(h.Received(monitor).empty());
}

}  // namespace
}  // namespace tw::loopback::testing
