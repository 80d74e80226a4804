// AX.25 sessions through the loopback engine: two links that call each
// other, the engine's echo station, and a call nobody answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/integration/engine_fixture.h"

namespace tw::integration {
namespace {

const std::string kCallA = "N0CALL-1";
const std::string kCallB = "N0CALL-2";

loopback::EngineConfig QuickRetryOut() {
  loopback::EngineConfig config;
  config.retryDelay = 100ms;
  return config;
}

void ExpectNotices(const std::vector<Notice>& notices, int port, const std::string& station,
                   const std::string& line) {
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].port, port);
  EXPECT_EQ(notices[0].station, station);
  EXPECT_EQ(notices[0].line, line);
}

void ExpectLinkNotice(const LinkNotice& notice, int port, const std::string& callFrom,
                      const std::string& callTo, const std::string& line) {
  EXPECT_EQ(notice.port, port);
  EXPECT_EQ(notice.callFrom, callFrom);
  EXPECT_EQ(notice.callTo, callTo);
  EXPECT_EQ(notice.line, line);
}

class LinkSessionTest : public EngineTest {
 protected:
  LinkSessionTest() : EngineTest(QuickRetryOut()), a(NewLink(kCallA)), b(NewLink(kCallB)) {}

  void SetUp() override {
    // Started one after the other, so the engine numbers them 1 and 2.
    ASSERT_NO_FATAL_FAILURE(Start(a));
    ASSERT_NO_FATAL_FAILURE(Start(b));
  }

  void ConnectAToB(int port, std::uint8_t pid = kPidText, const std::string& via = "") {
    std::size_t before = a.connects.size();
    a.link.ConnectExt(port, pid, kCallA, kCallB, via);
    ASSERT_TRUE(RunUntil([&] { return a.connects.size() > before && b.connects.size() > before; }));
  }

  RecordingLink& a;
  RecordingLink& b;
};

TEST_F(LinkSessionTest, CallerAndCalledAreEachToldOfTheConnection) {
  ASSERT_NO_FATAL_FAILURE(ConnectAToB(1));

  const std::string lineA = "*** CONNECTED With Station " + kCallB;
  ExpectNotices(a.myConnects, 1, kCallB, lineA);
  ExpectNotices(a.stationConnects, 1, kCallB, lineA);
  EXPECT_TRUE(a.hisConnects.empty());
  ASSERT_EQ(a.connects.size(), 1u);
  ExpectLinkNotice(a.connects[0], 1, kCallB, kCallA, lineA);

  const std::string lineB = "*** CONNECTED To Station " + kCallA;
  ExpectNotices(b.hisConnects, 1, kCallA, lineB);
  ExpectNotices(b.stationConnects, 1, kCallA, lineB);
  EXPECT_TRUE(b.myConnects.empty());
  ASSERT_EQ(b.connects.size(), 1u);
  ExpectLinkNotice(b.connects[0], 1, kCallA, kCallB, lineB);

  EXPECT_EQ(Engine().KindsFrom(1).back(), 'C');
}

TEST_F(LinkSessionTest, BinaryDataCrossesBothWaysByteExactInFramesOfAtMost255) {
  ASSERT_NO_FATAL_FAILURE(ConnectAToB(1));
  const std::string toB = Payload(600, 1);
  const std::string toA = Payload(300, 2);
  a.link.SendData(1, kPidText, kCallA, kCallB, toB);
  b.link.SendData(1, kPidText, kCallB, kCallA, toA);
  ASSERT_TRUE(RunUntil([&] { return b.received.size() >= toB.size() && a.received.size() >= toA.size(); }));

  EXPECT_EQ(b.received, toB);
  EXPECT_EQ(a.received, toA);
  // The link split its sends on the way to the engine.
  EXPECT_EQ(Engine().LengthsFrom(1, 'D'), (std::vector<std::size_t>{255, 255, 90}));
  EXPECT_EQ(Engine().LengthsFrom(2, 'D'), (std::vector<std::size_t>{255, 45}));
  for (const Delivery& frame : b.data) {
    EXPECT_EQ(frame.port, 1);
    EXPECT_EQ(frame.pid, kPidText);
    EXPECT_EQ(frame.callFrom, kCallA);
    EXPECT_EQ(frame.callTo, kCallB);
    EXPECT_LE(frame.data.size(), 255u);
  }
  for (const Delivery& frame : a.data) {
    EXPECT_EQ(frame.callFrom, kCallB);
    EXPECT_EQ(frame.callTo, kCallA);
  }
}

TEST_F(LinkSessionTest, ManySendsArriveInTheOrderTheyWereMade) {
  ASSERT_NO_FATAL_FAILURE(ConnectAToB(1));
  std::string sent;
  for (unsigned i = 0; i < 40; ++i) {
    std::string piece = Payload((i * 53) % 400 + 1, i);
    a.link.SendData(1, kPidText, kCallA, kCallB, piece);
    sent += piece;
  }
  ASSERT_TRUE(RunUntil([&] { return b.received.size() >= sent.size(); }));
  EXPECT_EQ(b.received, sent);
}

TEST_F(LinkSessionTest, DisconnectFromEitherEndReachesBoth) {
  ASSERT_NO_FATAL_FAILURE(ConnectAToB(1));
  a.link.DisconnectExt(1, kCallA, kCallB);
  ASSERT_TRUE(RunUntil([&] { return a.disconnects.size() == 1 && b.disconnects.size() == 1; }));

  // The engine words it "From" whichever side hung up.
  const std::string lineA = "*** DISCONNECTED From Station " + kCallB;
  ExpectNotices(a.hisDisconnects, 1, kCallB, lineA);
  ExpectNotices(a.stationDisconnects, 1, kCallB, lineA);
  ExpectLinkNotice(a.disconnects[0], 1, kCallB, kCallA, lineA);
  const std::string lineB = "*** DISCONNECTED From Station " + kCallA;
  ExpectNotices(b.hisDisconnects, 1, kCallA, lineB);
  ExpectLinkNotice(b.disconnects[0], 1, kCallA, kCallB, lineB);
  EXPECT_TRUE(a.myDisconnects.empty());
  EXPECT_TRUE(a.retryOuts.empty());

  // The pair can meet again, and this time the called side hangs up.
  ASSERT_NO_FATAL_FAILURE(ConnectAToB(1));
  b.link.DisconnectExt(1, kCallB, kCallA);
  ASSERT_TRUE(RunUntil([&] { return a.disconnects.size() == 2 && b.disconnects.size() == 2; }));
  EXPECT_EQ(a.hisDisconnects.back().station, kCallB);
  EXPECT_EQ(b.hisDisconnects.back().station, kCallA);
}

TEST_F(LinkSessionTest, ConnectThroughAPathAndWithAnotherPid) {
  ASSERT_NO_FATAL_FAILURE(ConnectAToB(2, kPidText, "RELAY*, WIDE2-2"));
  // A count byte and two 10-byte slots: the marks and blanks were dropped.
  EXPECT_EQ(Engine().LengthsFrom(1, 'v'), (std::vector<std::size_t>{21}));
  EXPECT_EQ(a.myConnects.at(0).port, 2);
  EXPECT_EQ(b.hisConnects.at(0).port, 2);

  a.link.SendData(2, kPidText, kCallA, kCallB, "over the path");
  ASSERT_TRUE(RunUntil([&] { return !b.data.empty(); }));
  EXPECT_EQ(b.data[0].port, 2);
  EXPECT_EQ(b.received, "over the path");

  a.link.DisconnectExt(2, kCallA, kCallB);
  ASSERT_TRUE(RunUntil([&] { return b.disconnects.size() == 1; }));

  // Any PID but none and 0xF0 goes as 'c' with the PID as its only byte.
  ASSERT_NO_FATAL_FAILURE(ConnectAToB(1, 0xCF, "RELAY"));
  EXPECT_EQ(Engine().LengthsFrom(1, 'c'), (std::vector<std::size_t>{1}));
  EXPECT_EQ(Engine().LengthsFrom(1, 'v').size(), 1u);
}

TEST_F(LinkSessionTest, EchoStationReturnsEveryByte) {
  a.link.ConnectExt(1, kPidText, kCallA, "ECHO", "");
  ASSERT_TRUE(RunUntil([&] { return !a.connects.empty(); }));
  ExpectNotices(a.myConnects, 1, "ECHO", "*** CONNECTED With Station ECHO");

  std::string all;
  for (int value = 0; value < 256; ++value) all += static_cast<char>(value);
  all += Payload(300, 9);
  a.link.SendData(1, kPidText, kCallA, "ECHO", all);
  ASSERT_TRUE(RunUntil([&] { return a.received.size() >= all.size(); }));
  EXPECT_EQ(a.received, all);
  for (const Delivery& frame : a.data) {
    EXPECT_EQ(frame.callFrom, "ECHO");
    EXPECT_EQ(frame.callTo, kCallA);
  }
  EXPECT_TRUE(b.data.empty());
}

TEST_F(LinkSessionTest, CallNobodyAnswersEndsInARetryOut) {
  a.link.ConnectExt(1, kPidText, kCallA, "NOBODY-9", "");
  ASSERT_TRUE(RunUntil([&] { return !a.disconnects.empty(); }));

  const std::string line = "*** DISCONNECTED RETRYOUT With NOBODY-9";
  ExpectNotices(a.retryOuts, 1, "NOBODY-9", line);
  ExpectNotices(a.stationDisconnects, 1, "NOBODY-9", line);
  ASSERT_EQ(a.disconnects.size(), 1u);
  ExpectLinkNotice(a.disconnects[0], 1, "NOBODY-9", kCallA, line);
  EXPECT_TRUE(a.hisDisconnects.empty());
  EXPECT_TRUE(a.myDisconnects.empty());
  EXPECT_TRUE(a.connects.empty());
  EXPECT_TRUE(b.connects.empty());
}

}  // namespace
}  // namespace tw::integration
