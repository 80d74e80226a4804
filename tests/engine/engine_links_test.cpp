// Connections between clients and to the echo station: their notices, the
// data they carry and how they end.
#include <gtest/gtest.h>

#include "platform/text/text.h"
#include "tests/engine/engine_harness.h"

namespace tw::loopback::testing {
namespace {

using namespace std::string_literals;

void ExpectNotice(const Frame& frame, char kind, int port, std::string_view from, std::string_view to,
                  std::string_view text) {
  EXPECT_EQ(frame.header.kind, kind);
  EXPECT_EQ(frame.header.port, port);
  EXPECT_EQ(frame.header.callFrom, from);
  EXPECT_EQ(frame.header.callTo, to);
  EXPECT_EQ(frame.data, text);
}

// Client a (N0AAA-1) connected to client b, which registered N0BBB-2.
struct Linked : ::testing::Test {
  void SetUp() override {
    a = h.Join();
    b = h.Join();
    h.Register(b, "N0BBB-2");
    h.Forget();
    h.Send(a, 1, 'C', "N0AAA-1", "N0BBB-2");
  }
  EngineHarness h;
  ClientId a = 0;
  ClientId b = 0;
};

TEST_F(Linked, BothEndsAreToldWithTheirOwnCallInCallTo) {
  ExpectNotice(h.Only(a), 'C', 1, "N0BBB-2", "N0AAA-1", "*** CONNECTED With Station N0BBB-2\r\0"s);
  ExpectNotice(h.Only(b), 'C', 1, "N0AAA-1", "N0BBB-2", "*** CONNECTED To Station N0AAA-1\r\0"s);
  EXPECT_EQ(h.engine.LinkCount(), 1u);
}

TEST_F(Linked, LongBinaryDataCrossesSplitIntoPiecesBothWays) {
  h.Forget();
  std::string data;
  for (int i = 0; i < 600; ++i) data.push_back(static_cast<char>("\x00\xC0\xDB\xFF"[i % 4] ^ (i / 4)));
  std::string wire = EncodeFrame(1, 0xF0, 'D', "N0AAA-1", "N0BBB-2", data);
  // Bytes arrive in awkward pieces, as TCP may deliver them.
  for (std::size_t at = 0; at < wire.size(); at += 7) h.engine.Receive(a, std::string_view(wire).substr(at, 7));
  auto frames = h.Received(b);
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].data.size(), 255u);
  EXPECT_EQ(frames[2].data.size(), 90u);
  for (const Frame& frame : frames) {
    EXPECT_EQ(frame.header.kind, 'D');
    EXPECT_EQ(frame.header.pid, 0xF0);
    EXPECT_EQ(frame.header.callFrom, "N0AAA-1");
    EXPECT_EQ(frame.header.callTo, "N0BBB-2");
  }
  EXPECT_EQ(Joined(frames), data);
  EXPECT_TRUE(h.Received(a).empty());

  std::string reply = "\x00\xC0\xDB\xFF\r"s;
  h.Send(b, 1, 'D', "N0BBB-2", "N0AAA-1", reply, 0xF0);
  Frame back = h.Only(a);
  EXPECT_EQ(back.header.callFrom, "N0BBB-2");
  EXPECT_EQ(back.header.callTo, "N0AAA-1");
  EXPECT_EQ(back.data, reply);
}

TEST_F(Linked, CallerDisconnectTellsBothEndsAndStopsTheData) {
  h.Forget();
  h.Send(a, 1, 'd', "N0AAA-1", "N0BBB-2");
  ExpectNotice(h.Only(a), 'd', 1, "N0BBB-2", "N0AAA-1", "*** DISCONNECTED From Station N0BBB-2\r\0"s);
  ExpectNotice(h.Only(b), 'd', 1, "N0AAA-1", "N0BBB-2", "*** DISCONNECTED From Station N0AAA-1\r\0"s);
  h.Send(a, 1, 'D', "N0AAA-1", "N0BBB-2", "late");
  EXPECT_TRUE(h.Received(b).empty());
  EXPECT_EQ(h.engine.LinkCount(), 0u);
}

TEST_F(Linked, DroppedClientEndsItsLinksAndWaitingConnectsAndFreesItsCalls) {
  h.Send(b, 1, 'C', "N0BBB-2", "NOBODY");
  h.Forget();
  h.engine.Disconnect(b);
  EXPECT_FALSE(h.engine.NextDeadline());
  ExpectNotice(h.Only(a), 'd', 1, "N0BBB-2", "N0AAA-1", "*** DISCONNECTED From Station N0BBB-2\r\0"s);
  EXPECT_EQ(h.engine.LinkCount(), 0u);
  ClientId c = h.Join();
  h.Register(c, "N0BBB-2");
  EXPECT_EQ(h.Only(c).data, "\1");
}

TEST_F(Linked, SecondConnectOfTheSamePairIsIgnoredAndAThirdPartyFindsItBusy) {
  h.Forget();
  h.Send(a, 1, 'C', "n0aaa-1", "n0bbb-2");
  EXPECT_TRUE(h.Received(a).empty());
  EXPECT_FALSE(h.engine.NextDeadline());

  ClientId c = h.Join();
  h.Send(c, 1, 'C', "N0AAA-1", "N0BBB-2");
  EXPECT_TRUE(h.Received(b).empty());
  h.engine.Tick(Millis(3000));
  ExpectNotice(h.Only(c), 'd', 1, "N0BBB-2", "N0AAA-1", "*** DISCONNECTED RETRYOUT With N0BBB-2\r\0"s);
}

TEST_F(Linked, DataForALinkThatDoesNotExistIsDropped) {
  h.Forget();
  h.Send(a, 2, 'D', "N0AAA-1", "N0BBB-2", "wrong port");
  h.Send(a, 1, 'D', "N0AAA-7", "N0BBB-2", "wrong call");
  h.Send(b, 1, 'D', "N0BBB-2", "N0AAA-1", "");
  EXPECT_TRUE(h.Received(a).empty());
  EXPECT_TRUE(h.Received(b).empty());
}

TEST(EngineLinks, AConnectReachesARegistrationOnlyByTheCalledAddressAsTheAirCarriesIt) {
  // As Dire Wolf: the registered text against the address on the air (upper
  // case, SSID 0 bare), letter for letter.
  struct Case {
    const char* registered;
    const char* called;
    bool answered;
  } cases[] = {
      {"N0BBB", "N0BBB", true},     {"N0BBB", "n0bbb", true},      {"N0BBB", "N0BBB-0", true},
      {"N0BBB-2", "n0bbb-2", true}, {"N0BBB-0", "N0BBB", false},   {"N0BBB-0", "N0BBB-0", false},
      {"n0bbb", "N0BBB", false},    {"N0BBB-00", "N0BBB", false},  {"N0BBB-2", "N0BBB-02", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Cat(c.registered, " called as ", c.called));
    EngineHarness h;
    ClientId a = h.Join();
    ClientId b = h.Join();
    h.Register(b, c.registered);
    EXPECT_EQ(h.Only(b).data, "\1");
    h.Send(a, 2, 'C', "N0AAA", c.called);
    if (c.answered) {
      ExpectNotice(h.Only(a), 'C', 2, c.called, "N0AAA", Cat("*** CONNECTED With Station ", c.called, "\r\0"s));
      ExpectNotice(h.Only(b), 'C', 2, "N0AAA", c.registered, "*** CONNECTED To Station N0AAA\r\0"s);
    } else {
      EXPECT_TRUE(h.Received(a).empty());
      h.engine.Tick(Millis(3000));
      ExpectNotice(h.Only(a), 'd', 2, c.called, "N0AAA",
                   Cat("*** DISCONNECTED RETRYOUT With ", c.called, "\r\0"s));
      EXPECT_TRUE(h.Received(b).empty());
    }
  }
}

TEST(EngineLinks, LinkedCallsMatchAnyCaseOrSsidZeroEachKeepsSpelling) {
  EngineHarness h;
  ClientId a = h.Join();
  ClientId b = h.Join();
  h.Register(b, "N0BBB");
  h.Forget();
  h.Send(a, 2, 'C', "n0aaa", "n0bbb");
  ExpectNotice(h.Only(a), 'C', 2, "n0bbb", "n0aaa", "*** CONNECTED With Station n0bbb\r\0"s);
  ExpectNotice(h.Only(b), 'C', 2, "n0aaa", "N0BBB", "*** CONNECTED To Station n0aaa\r\0"s);
  h.Send(b, 2, 'D', "N0BBB-0", "N0AAA", "hi");
  Frame data = h.Only(a);
  EXPECT_EQ(data.header.callFrom, "n0bbb");
  EXPECT_EQ(data.header.callTo, "n0aaa");
}

TEST(EngineLinks, ConnectViaPathOrWithPidWorksLikeAPlainConnect) {
  EngineHarness h;
  ClientId a = h.Join();
  ClientId b = h.Join();
  h.Register(b, "N0BBB");
  h.Forget();
  const std::string path[] = {"RELAY-11", "WIDE2-2"};
  h.Send(a, 1, 'v', "N0AAA", "N0BBB", EncodeViaBlock(path, 2));
  EXPECT_EQ(h.Only(a).data, "*** CONNECTED With Station N0BBB\r\0"s);
  EXPECT_EQ(h.Only(b).data, "*** CONNECTED To Station N0AAA\r\0"s);
  h.Send(a, 2, 'c', "N0AAA", "N0BBB", "\xCF", 0xCF);
  EXPECT_EQ(h.Only(a).header.kind, 'C');
  h.Send(a, 1, 'v', "N0AAA", "ECHO", "\x03" + std::string(20, 'R'));  // announces three calls, holds two
  EXPECT_TRUE(h.Received(a).empty());
  EXPECT_EQ(h.engine.LinkCount(), 2u);
}

TEST(EngineLinks, ConnectNobodyAnswersEndsInARetryOutAfterTheDelay) {
  EngineHarness h;
  ClientId a = h.Join();
  h.engine.Tick(Millis(1000));
  h.Send(a, 1, 'C', "N0AAA", "NOBODY-1");
  EXPECT_TRUE(h.Received(a).empty());
  EXPECT_EQ(h.engine.NextDeadline(), Millis(4000));
  h.engine.Tick(Millis(3999));
  EXPECT_TRUE(h.Received(a).empty());
  h.engine.Tick(Millis(4000));
  ExpectNotice(h.Only(a), 'd', 1, "NOBODY-1", "N0AAA", "*** DISCONNECTED RETRYOUT With NOBODY-1\r\0"s);
  EXPECT_FALSE(h.engine.NextDeadline());
}

TEST(EngineLinks, ConnectsThatCannotBeMadeRetryOutInTheOrderAsked) {
  EngineHarness h;
  ClientId a = h.Join();
  h.Send(a, 3, 'C', "N0AAA", "ECHO");  // no such port
  h.Send(a, 1, 'C', "N0AAA", "N0AAA");  // oneself
  h.Send(a, 1, 'C', "N0AAA", "");
  h.engine.Tick(Millis(3000));
  auto frames = h.Received(a);
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].header.port, 3);
  EXPECT_EQ(frames[1].data, "*** DISCONNECTED RETRYOUT With N0AAA\r\0"s);
  EXPECT_EQ(frames[2].data, "*** DISCONNECTED RETRYOUT With \r\0"s);
}

TEST(EngineLinks, DisconnectWithoutALinkIsConfirmedAndCancelsAWaitingConnect) {
  EngineHarness h;
  ClientId a = h.Join();
  h.Send(a, 1, 'C', "N0AAA", "NOBODY");
  h.Send(a, 1, 'd', "N0AAA", "NOBODY");
  h.Send(a, 2, 'd', "N0AAA", "GONE");
  auto frames = h.Received(a);
  ASSERT_EQ(frames.size(), 2u);
  ExpectNotice(frames[0], 'd', 1, "NOBODY", "N0AAA", "*** DISCONNECTED From Station NOBODY\r\0"s);
  ExpectNotice(frames[1], 'd', 2, "GONE", "N0AAA", "*** DISCONNECTED From Station GONE\r\0"s);
  h.engine.Tick(Millis(10000));
  EXPECT_TRUE(h.Received(a).empty());
}

TEST(EngineLinks, EchoStationReturnsEveryByteOnItsLink) {
  EngineHarness h;
  ClientId a = h.Join();
  h.Send(a, 2, 'C', "N0AAA-5", "ECHO");
  ExpectNotice(h.Only(a), 'C', 2, "ECHO", "N0AAA-5", "*** CONNECTED With Station ECHO\r\0"s);
  std::string data = "\x00\xC0\xDB\xFF hello"s + std::string(300, 'e');
  h.Send(a, 2, 'D', "N0AAA-5", "ECHO", data, 0xF0);
  auto frames = h.Received(a);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].header.callFrom, "ECHO");
  EXPECT_EQ(frames[0].header.callTo, "N0AAA-5");
  EXPECT_EQ(frames[0].header.pid, 0xF0);
  EXPECT_EQ(Joined(frames), data);
  h.Send(a, 2, 'd', "N0AAA-5", "ECHO");
  ExpectNotice(h.Only(a), 'd', 2, "ECHO", "N0AAA-5", "*** DISCONNECTED From Station ECHO\r\0"s);
}

TEST(EngineLinks, ALinkBetweenTwoCallsOfOneClientCarriesDataToTheOtherEnd) {
  EngineHarness h;
  ClientId a = h.Join();
  h.Register(a, "N0BBB");
  h.Send(a, 1, 'C', "N0AAA", "N0BBB");
  h.Forget();
  h.Send(a, 1, 'D', "N0AAA", "N0BBB", "to b");
  h.Send(a, 1, 'D', "N0BBB", "N0AAA", "to a");
  auto frames = h.Received(a);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].header.callTo, "N0BBB");
  EXPECT_EQ(frames[0].data, "to b");
  EXPECT_EQ(frames[1].header.callTo, "N0AAA");
  EXPECT_EQ(frames[1].data, "to a");
}

TEST(EngineLinks, LinkLimitRefusesAtOnceCountingWaitingConnects) {
  EngineConfig config = TestConfig();
  config.maxLinksPerClient = 2;
  EngineHarness h(config);
  ClientId a = h.Join();
  ClientId b = h.Join();
  h.Register(b, "N0BBB");
  h.Forget();
  h.Send(a, 1, 'C', "N0AAA", "ECHO");
  h.Send(a, 1, 'C', "N0AAA", "NOBODY");
  h.Send(a, 1, 'C', "N0AAA", "N0BBB");
  auto frames = h.Received(a);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[1].data, "*** DISCONNECTED RETRYOUT With N0BBB\r\0"s);
  EXPECT_TRUE(h.Received(b).empty());

  // A called client at its limit is busy too.
  ClientId c = h.Join();
  h.Send(b, 1, 'C', "N0BBB", "ECHO");
  h.Send(b, 2, 'C', "N0BBB", "ECHO");
  h.Forget();
  h.Send(c, 1, 'C', "N0CCC", "N0BBB");
  EXPECT_TRUE(h.Received(b).empty());
  EXPECT_EQ(h.engine.LinkCount(), 3u);
}

}  // namespace
}  // namespace tw::loopback::testing
