// Settings, opening and closing, what goes out on connecting, and how the
// link's state survives (or does not survive) the end of a connection.
#include <gtest/gtest.h>

#include <memory>

#include "tests/link/link_harness.h"

namespace tw::testing {
namespace {

class Tl2Connection : public ::testing::Test, public LinkHarness {};

TEST_F(Tl2Connection, SettingsAreStoredAndLoggedWhileIdle) {
  link.SetAddress("10.0.0.5");
  link.SetPort(8001);
  link.SetCallSign("N0CALL-7");
  EXPECT_EQ(link.Address(), "10.0.0.5");
  EXPECT_EQ(link.Port(), 8001);
  EXPECT_EQ(link.CallSign(), "N0CALL-7");
  EXPECT_TRUE(Logged("{L2} Set Address 10.0.0.5"));
  EXPECT_TRUE(Logged("{L2} Set TCP Port 8001"));
  EXPECT_TRUE(Logged("{L2} Set CallSign N0CALL-7"));
}

TEST_F(Tl2Connection, PortZeroIsLoggedButKeepsThePreviousPort) {
  link.SetPort(8010);
  link.SetPort(0);
  EXPECT_EQ(link.Port(), 8010);
  EXPECT_TRUE(Logged("{L2} Set TCP Port 0"));
}

TEST_F(Tl2Connection, SettingsAreRefusedWhileConnected) {
  Connect("N0CALL");
  link.SetAddress("10.9.9.9");
  link.SetPort(9000);
  link.SetCallSign("OTHER");
  EXPECT_EQ(link.Address(), "127.0.0.1");
  EXPECT_EQ(link.Port(), 8000);
  EXPECT_EQ(link.CallSign(), "N0CALL");
  EXPECT_TRUE(Logged("{L2} Error can not change the IP Address while active"));
  EXPECT_TRUE(Logged("{L2} Error can not change the TCP Port while active"));
  EXPECT_TRUE(Logged("{L2} Error can not change the callsign while active"));
  EXPECT_FALSE(Logged("{L2} Set Address 10.9.9.9"));
  EXPECT_TRUE(socket.writes.empty());
}

TEST_F(Tl2Connection, OpenWithoutAddressOrCallSignLogsAndLeavesTheSocketClosed) {
  link.SetCallSign("N0CALL");
  link.SetActive(true);
  EXPECT_TRUE(Logged("{L2} ERROR No IP Address indicated, object creation aborted"));
  EXPECT_FALSE(socket.Active());
  EXPECT_EQ(socket.connectCalls, 0);

  LinkHarness other;
  other.link.SetAddress("127.0.0.1");
  other.link.SetActive(true);
  EXPECT_TRUE(other.Logged("{L2} ERROR No CallSign indicated, object creation aborted"));
  EXPECT_FALSE(other.socket.Active());
  EXPECT_EQ(other.socket.connectCalls, 0);
}

TEST_F(Tl2Connection, OpenConnectsToTheConfiguredEngine) {
  link.SetAddress("192.168.1.20");
  link.SetPort(8123);
  link.SetCallSign("N0CALL");
  link.SetActive(true);
  EXPECT_TRUE(socket.Active());
  EXPECT_EQ(socket.RemoteHost(), "192.168.1.20");
  EXPECT_EQ(socket.RemotePort(), 8123);
  EXPECT_TRUE(Logged("{L2} L2 Listener Activation is (N0CALL:TRUE)"));
  EXPECT_TRUE(Logged("{L2} VOK Object Opened 192.168.1.20:8123"));
  EXPECT_FALSE(link.Connected());  // only the socket's notification says so
}

TEST_F(Tl2Connection, WireOrderAfterConnectingIsRegisterPortListVersionRawMonitor) {
  int ups = 0;
  link.OnVOKUp = [&](TL2& l) {
    ++ups;
    l.SetRegister(true);
  };
  link.Kiss = true;
  link.SetMonitor("IUSC");
  link.SetAddress("127.0.0.1");
  link.SetCallSign("N0CALL");
  link.SetActive(true);
  EXPECT_TRUE(socket.writes.empty());  // nothing before the connection is up
  socket.CompleteConnect();

  EXPECT_EQ(ups, 1);
  EXPECT_TRUE(link.Connected());
  EXPECT_TRUE(Logged("{L2} Connected with VOKPE"));
  EXPECT_TRUE(Logged("{L2} Fired Event <FOnVOKUp>"));
  ASSERT_EQ(socket.writes.size(), 5u);
  EXPECT_EQ(socket.writes[0], WireHeader(0, 'X', 0, "N0CALL", "", 0));
  EXPECT_EQ(socket.writes[1], WireHeader(0, 'G', 0, "", "", 0));
  EXPECT_EQ(socket.writes[2], WireHeader(0, 'R', 0, "", "", 0));
  EXPECT_EQ(socket.writes[3], WireHeader(0, 'k', 0, "", "", 0));
  EXPECT_EQ(socket.writes[4], WireHeader(0, 'm', 0, "", "", 0));
}

TEST_F(Tl2Connection, RawAndMonitorSwitchesAreSentOnlyWhenAskedFor) {
  struct Case {
    bool kiss;
    const char* mask;
    const char* kinds;
  };
  for (const Case& c : {Case{false, "N", "GR"}, Case{true, "N", "GRk"}, Case{false, "M", "GR"},
                        Case{false, "U", "GRm"}, Case{false, "I", "GRm"}, Case{false, "S", "GRm"},
                        Case{false, "C", "GRm"}}) {
    SCOPED_TRACE(c.mask);
    LinkHarness h;
    h.link.Kiss = c.kiss;
    h.link.SetMonitor(c.mask);
    h.link.SetAddress("127.0.0.1");
    h.link.SetCallSign("N0CALL");
    h.link.SetActive(true);
    h.socket.CompleteConnect();
    EXPECT_EQ(h.SentKinds(), c.kinds);
  }
}

TEST_F(Tl2Connection, SetActiveTrueWhileConnectedOnlyLogs) {
  Connect();
  link.SetActive(true);
  EXPECT_TRUE(Logged("{L2} L2 Listener Activation is (N0CALL:TRUE)"));
  EXPECT_EQ(socket.connectCalls, 1);
  EXPECT_EQ(socket.closeCalls, 0);
  EXPECT_TRUE(link.Connected());
  EXPECT_TRUE(socket.writes.empty());
}

TEST_F(Tl2Connection, SetActiveFalseWhileIdleOnlyLogs) {
  link.SetAddress("127.0.0.1");
  link.SetCallSign("N0CALL");
  link.SetActive(false);
  EXPECT_TRUE(Logged("{L2} L2 Listener Activation is (N0CALL:FALSE)"));
  EXPECT_EQ(socket.closeCalls, 0);
  EXPECT_FALSE(Logged("{L2} VOK Object Closed 127.0.0.1:8000"));
}

TEST_F(Tl2Connection, SetActiveFalseWhileConnectedClosesAndReportsDown) {
  int downs = 0;
  link.OnVOKDown = [&](TL2&) { ++downs; };
  Connect();
  link.SetActive(false);
  EXPECT_EQ(socket.closeCalls, 1);
  EXPECT_FALSE(socket.Active());
  EXPECT_FALSE(link.Connected());
  EXPECT_EQ(downs, 1);
  EXPECT_TRUE(Logged("{L2} VOK Object Closed 127.0.0.1:8000"));
  EXPECT_TRUE(Logged("{L2} Disconnected from VOKPE"));
  EXPECT_TRUE(Logged("{L2} Fired Event <FOnVOKDown>"));
}

TEST_F(Tl2Connection, SwitchingOffDuringAConnectionAttemptAbortsIt) {
  int events = 0;
  link.OnVOKDown = [&](TL2&) { ++events; };
  link.OnVOKError = [&](TL2&) { ++events; };
  link.OnVOKUp = [&](TL2&) { ++events; };
  link.SetAddress("127.0.0.1");
  link.SetCallSign("N0CALL");
  link.SetActive(true);
  ASSERT_TRUE(socket.Active());
  link.SetActive(false);
  EXPECT_FALSE(socket.Active());
  EXPECT_EQ(socket.closeCalls, 1);
  EXPECT_EQ(events, 0);
  EXPECT_FALSE(link.Connected());
  // Switching on again starts a fresh attempt.
  link.SetActive(true);
  EXPECT_EQ(socket.connectCalls, 2);
}

TEST_F(Tl2Connection, SwitchingOnTwiceDuringAnAttemptStartsOnlyOneAttempt) {
  link.SetAddress("127.0.0.1");
  link.SetCallSign("N0CALL");
  link.SetActive(true);
  link.SetActive(true);
  EXPECT_EQ(socket.connectCalls, 1);
}

TEST_F(Tl2Connection, NothingIsSentWhileTheConnectionIsBeingMade) {
  link.SetAddress("127.0.0.1");
  link.SetCallSign("N0CALL");
  link.SetActive(true);
  ASSERT_TRUE(socket.Active());
  EXPECT_FALSE(link.Write(1, 0, 'M', "N0CALL", "ID", "early"));
  EXPECT_TRUE(Logged("{L2} L2 Frame not sent because there is no TCP/IP connection with VOKPE"));
  socket.CompleteConnect();
  // The start-up requests are the first bytes on the wire.
  EXPECT_EQ(SentKinds(), "GR");
}

TEST_F(Tl2Connection, OpeningAgainWhileConnectedEndsTheOldConnectionFirst) {
  int downs = 0;
  link.OnVOKDown = [&](TL2&) { ++downs; };
  Connect();
  link.Open();
  EXPECT_EQ(downs, 1);
  EXPECT_FALSE(link.Connected());
  EXPECT_EQ(socket.connectCalls, 2);
  EXPECT_TRUE(socket.Active());
}

TEST_F(Tl2Connection, AHandlerMayReplaceItsOwnEvent) {
  // A container re-activating from inside an event assigns the events again;
  // the running handler must survive that.
  Connect();
  std::string seen;
  auto big = std::string(64, 'x');  // a capture too large for any small-buffer storage
  link.OnRead = [&, big](TL2& l, int, std::uint8_t, char kind, const std::string&, const std::string&,
                         const std::string&) {
    l.OnRead = nullptr;
    seen.push_back(kind);
    seen += big.substr(0, 1);
  };
  Receive(InFrame('R', 1, std::string(8, '\0')) + InFrame('R', 1, std::string(8, '\0')));
  EXPECT_EQ(seen, "Rx");
}

TEST_F(Tl2Connection, PeerClosingAndSocketErrorEndTheConnection) {
  int downs = 0;
  int errors = 0;
  link.OnVOKDown = [&](TL2&) { ++downs; };
  link.OnVOKError = [&](TL2&) { ++errors; };

  Connect();
  socket.PeerCloses();
  EXPECT_FALSE(link.Connected());
  EXPECT_EQ(downs, 1);
  EXPECT_TRUE(Logged("{L2} Disconnected from VOKPE"));

  link.SetActive(true);
  socket.CompleteConnect();
  lines.clear();
  socket.Fail("connection reset");
  EXPECT_FALSE(link.Connected());
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(downs, 1);
  EXPECT_TRUE(Logged("{L2} <VOKError> Socket Error from VOKPE"));
  EXPECT_TRUE(Logged("{L2} Fired Event <FOnVOKError>"));
  // The link leaves reconnecting to its owner.
  EXPECT_EQ(socket.closeCalls, 0);
  EXPECT_EQ(socket.connectCalls, 2);
}

TEST_F(Tl2Connection, OpeningClearsThePortTable) {
  Connect();
  Receive(InFrame('G', 1, "2;Radio;Other;"));
  Receive(InFrame('H', 1, "N0AAA heard", "N0AAA"));
  Receive(InFrame('g', 2, "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B"s));
  Receive(InFrame('y', 2, "\x05\x00\x00\x00"s));
  ASSERT_EQ(link.PortMax(), 2);
  socket.PeerCloses();

  link.SetActive(true);
  EXPECT_EQ(link.PortMax(), 16);
  for (int port = 1; port <= 16; ++port) {
    const PortInfo* r = link.PortRecord(port);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(r->portName.empty());
    EXPECT_FALSE(r->valid);
    EXPECT_EQ(r->onAirBaud, 0);
    EXPECT_EQ(r->ax25Channel, 0);
    EXPECT_EQ(r->howManyBytes, 0u);
    EXPECT_EQ(r->frames, 0);
    EXPECT_TRUE(r->heard[0].empty());
  }
  EXPECT_EQ(link.PortRecord(0), nullptr);
  EXPECT_EQ(link.PortRecord(17), nullptr);
}

TEST_F(Tl2Connection, AFrameCutOffByALostConnectionDoesNotCorruptTheNextOne) {
  std::vector<std::string> seen;
  link.OnRead = [&](TL2&, int, std::uint8_t, char kind, const std::string&, const std::string&,
                    const std::string& data) { seen.push_back(std::string(1, kind) + ":" + data); };

  // Lost inside the data part, and lost inside a header.
  for (std::size_t cut : {std::size_t{40}, std::size_t{20}}) {
    SCOPED_TRACE(cut);
    seen.clear();
    Connect();
    std::string longFrame = InFrame('D', 1, Numbered(100), "A", "B", 0xF0);
    Receive(std::string_view(longFrame).substr(0, cut));
    socket.PeerCloses();

    link.SetActive(true);
    socket.CompleteConnect();
    Receive(InFrame('R', 1, "\x04\x00\x00\x00\x02\x00\x00\x00"s));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], "R:" + "\x04\x00\x00\x00\x02\x00\x00\x00"s);
    EXPECT_EQ(link.VersionMajor(), 4);
    EXPECT_EQ(link.VersionMinor(), 2);
    socket.PeerCloses();
  }
}

TEST_F(Tl2Connection, RegistrationIsForgottenWhenTheConnectionEnds) {
  link.OnVOKUp = [](TL2& l) { l.SetRegister(true); };
  // Ended by the peer, then by a socket error.
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    link.SetAddress("127.0.0.1");
    link.SetCallSign("N0CALL");
    link.SetActive(true);
    socket.CompleteConnect();
    EXPECT_EQ(SentKinds(), "XGR");
    Receive(InFrame('X', 1, "\x01"s, "N0CALL"));
    ASSERT_TRUE(link.Registered());

    if (round == 0) {
      socket.PeerCloses();
    } else {
      socket.Fail();
    }
    EXPECT_FALSE(link.Registered());
  }
  // And the next connection registers again.
  link.SetActive(true);
  socket.CompleteConnect();
  std::vector<Frame> sent = Sent();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent[0].header.kind, 'X');
  EXPECT_EQ(sent[0].header.callFrom, "N0CALL");
}

TEST(Tl2Lifetime, DestructionReleasesTheTimerAndReportsIt) {
  FakeEventLoop loop;
  std::vector<std::string> lines;
  int destroyed = 0;
  {
    auto link = std::make_unique<TL2>(loop);
    link->Log().SetSwitch("YES");
    link->Log().SetSink([&](const std::string& line) { lines.push_back(line); });
    link->OnDestroy = [&](TL2&) { ++destroyed; };
    link->Poll = true;
    link->SetAddress("127.0.0.1");
    link->SetCallSign("N0CALL");
    link->SetActive(true);
    loop.clientSockets[0]->CompleteConnect();
    loop.clientSockets[0]->Receive(InFrame('G', 1, "1;Radio;"));
    ASSERT_EQ(loop.liveTimers, 1);
  }
  EXPECT_EQ(loop.liveTimers, 0);
  EXPECT_EQ(destroyed, 1);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().substr(LinkHarness::kStampPrefix), "{L2} VOK Object Destroyed");
}

}  // namespace
}  // namespace tw::testing
