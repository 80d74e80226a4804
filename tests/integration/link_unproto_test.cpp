// Unproto and raw frames through the loopback engine: what a monitoring link
// and links in raw mode make of another link's frames.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/integration/engine_fixture.h"

namespace tw::integration {
namespace {

class LinkUnprotoTest : public EngineTest {
 protected:
  LinkUnprotoTest()
      : sender(NewLink("N0CALL")), monitor(NewLink("N0MON")), rawA(NewLink("N0RAW-1")), rawB(NewLink("N0RAW-2")) {
    monitor.link.SetMonitor("IUSC");
    rawA.link.Kiss = true;
    rawB.link.Kiss = true;
  }

  void SetUp() override {
    // The switches go out before the per-port requests, so a settled link
    // has them on. Started in order: the engine numbers them 1 to 4.
    ASSERT_NO_FATAL_FAILURE(Start(sender));
    ASSERT_NO_FATAL_FAILURE(Start(monitor));
    ASSERT_NO_FATAL_FAILURE(Start(rawA));
    ASSERT_NO_FATAL_FAILURE(Start(rawB));
  }

  // The monitor lines the monitoring link received, parsed.
  std::vector<MonitorHeader> MonitorLines() {
    std::vector<MonitorHeader> lines;
    for (const Arrival& frame : monitor.arrivals) {
      if (frame.kind != 'U') continue;
      MonitorHeader header;
      EXPECT_TRUE(monitor.link.GetHeader(frame.data, header));
      lines.push_back(header);
    }
    return lines;
  }

  RecordingLink& sender;
  RecordingLink& monitor;
  RecordingLink& rawA;
  RecordingLink& rawB;
};

TEST_F(LinkUnprotoTest, UnprotoIsMonitoredAndHeardRawWithItsPath) {
  sender.link.SendUNPROTO(1, kPidText, "N0CALL-5", "ID", "RELAY WIDE2-2", "Hello via path");
  sender.link.SendUNPROTO(2, kPidText, "N0CALL-5", "CQ", "", "no path");
  ASSERT_TRUE(RunUntil(
      [&] { return monitor.unproto.size() == 2 && rawA.raw.size() == 2 && rawB.raw.size() == 2; }));

  // A count byte, two 10-byte slots, then the text.
  EXPECT_EQ(Engine().LengthsFrom(1, 'V'), (std::vector<std::size_t>{35}));
  EXPECT_EQ(Engine().LengthsFrom(1, 'M'), (std::vector<std::size_t>{7}));

  const Delivery& first = monitor.unproto[0];
  EXPECT_EQ(first.port, 1);
  EXPECT_EQ(first.callFrom, "N0CALL-5");
  EXPECT_EQ(first.callTo, "ID");
  EXPECT_EQ(first.pid, kPidText);
  EXPECT_EQ(first.data, "Hello via path\r");  // the engine ends the information with CR
  const Delivery& second = monitor.unproto[1];
  EXPECT_EQ(second.port, 2);
  EXPECT_EQ(second.callTo, "CQ");
  EXPECT_EQ(second.data, "no path\r");

  std::vector<MonitorHeader> lines = MonitorLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].port, "0");
  EXPECT_EQ(lines[0].type, "UI");
  EXPECT_EQ(lines[0].pid, "F0");
  EXPECT_EQ(lines[0].via, "RELAY WIDE2-2");
  EXPECT_EQ(lines[0].length, 14);
  EXPECT_EQ(lines[1].port, "1");
  EXPECT_EQ(lines[1].via, "");

  for (RecordingLink* raw : {&rawA, &rawB}) {
    ASSERT_EQ(raw->raw.size(), 2u);
    EXPECT_EQ(raw->raw[0].port, 1);
    KissFrame withPath = raw->link.KissDecode(raw->raw[0].frame);
    EXPECT_EQ(withPath.source, "N0CALL-5");
    EXPECT_EQ(withPath.destination, "ID");
    EXPECT_EQ(withPath.via, "RELAY,WIDE2-2");
    EXPECT_EQ(withPath.type, "UI");
    EXPECT_EQ(withPath.pid, kPidText);
    EXPECT_EQ(withPath.info, "Hello via path");
    EXPECT_EQ(raw->raw[1].port, 2);
    KissFrame direct = raw->link.KissDecode(raw->raw[1].frame);
    EXPECT_EQ(direct.destination, "CQ");
    EXPECT_EQ(direct.via, "");
    EXPECT_EQ(direct.info, "no path");
  }

  // Each link gets only what it switched on.
  EXPECT_TRUE(monitor.raw.empty());
  EXPECT_TRUE(rawA.unproto.empty());
  EXPECT_TRUE(sender.unproto.empty());
  EXPECT_TRUE(sender.raw.empty());
}

TEST_F(LinkUnprotoTest, RawFrameReachesTheOtherRawLinksUnchangedAndUnsplit) {
  std::string frame(1, '\0');  // KISS data frame on the first modem port
  frame += rawA.link.XCallSign("ID");
  std::string source = rawA.link.XCallSign("N0CALL-5");
  source.back() = static_cast<char>(source.back() | 0x01);  // last address
  frame += source;
  frame += '\x03';  // UI
  frame += static_cast<char>(kPidText);
  frame += Payload(300 - frame.size(), 4);
  ASSERT_EQ(frame.size(), 300u);

  rawA.link.SendKiss(1, frame);
  ASSERT_TRUE(RunUntil([&] { return !rawB.raw.empty(); }));
  // Whatever was on its way to the sender has arrived once this returns.
  ASSERT_NO_FATAL_FAILURE(Sync(rawA));

  EXPECT_EQ(Engine().LengthsFrom(3, 'K'), (std::vector<std::size_t>{300}));
  ASSERT_EQ(rawB.raw.size(), 1u);
  EXPECT_EQ(rawB.raw[0].port, 1);
  EXPECT_EQ(rawB.raw[0].frame, frame);
  KissFrame decoded = rawB.link.KissDecode(rawB.raw[0].frame);
  EXPECT_EQ(decoded.source, "N0CALL-5");
  EXPECT_EQ(decoded.destination, "ID");
  EXPECT_EQ(decoded.info, frame.substr(17));
  EXPECT_TRUE(rawA.raw.empty());
}

}  // namespace
}  // namespace tw::integration
