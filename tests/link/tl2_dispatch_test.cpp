// What each received frame kind does: the port table, version and
// registration, connect and disconnect notices, monitored frames, and the
// poll timer that the port list drives.
#include <gtest/gtest.h>

#include <memory>

#include "tests/link/link_harness.h"

namespace tw::testing {
namespace {

class Tl2Dispatch : public ::testing::Test, public LinkHarness {
 protected:
  void SetUp() override {
    Connect();
    link.OnRead = [this](TL2&, int, std::uint8_t, char kind, const std::string&,
                         const std::string&, const std::string&) {
      events.push_back(std::string("Read:") + kind);
    };
  }

  // Records the station and link events as "Name port|station|line".
  void RecordLinkEvents() {
    auto station = [this](const char* name) {
      return [this, name](TL2&, int port, const std::string& s, const std::string& line) {
        events.push_back(Cat(name, " ", port, "|", s, "|", line));
      };
    };
    auto calls = [this](const char* name) {
      return [this, name](TL2&, int port, const std::string& from, const std::string& to,
                          const std::string& line) {
        events.push_back(Cat(name, " ", port, "|", from, "|", to, "|", line));
      };
    };
    link.OnHisConnect = station("His");
    link.OnMyConnect = station("My");
    link.OnStationConnect = station("Station");
    link.OnConnect = calls("Connect");
    link.OnRetryOut = station("RetryOut");
    link.OnHisDisconnect = station("HisDisc");
    link.OnMyDisconnect = station("MyDisc");
    link.OnStationDisconnect = station("StationDisc");
    link.OnDisconnect = calls("Disconnect");
  }

  void RecordMonitorEvents() {
    link.OnMonitor = [this](TL2&, int port, const std::string& from, const std::string& to,
                            std::uint8_t pid, const std::string&) {
      events.push_back(Cat("Monitor ", port, "|", from, "|", to, "|", pid));
    };
    link.OnIFrame = [this](TL2&, int port, const std::string& src, const std::string& dst,
                           const std::string& via, const std::string& type, const std::string& pid,
                           int nr, int ns, int length, const std::string& info) {
      events.push_back(Cat("IFrame ", port, "|", src, "|", dst, "|", via, "|", type, "|", pid, "|",
                           nr, "|", ns, "|", length, "|", info));
    };
    link.OnUIFrame = [this](TL2&, int port, const std::string& src, const std::string& dst,
                            const std::string& via, const std::string& type,
                            const std::string& pid, int length, const std::string& info) {
      events.push_back(Cat("UIFrame ", port, "|", src, "|", dst, "|", via, "|", type, "|", pid,
                           "|", length, "|", info));
    };
    link.OnSFrame = [this](TL2&, int port, const std::string& from, const std::string& to,
                           const std::string& via, const std::string& type, int nr) {
      events.push_back(Cat("SFrame ", port, "|", from, "|", to, "|", via, "|", type, "|", nr));
    };
  }

  std::vector<std::string> events;
};

using Events = std::vector<std::string>;

// ---- port list -------------------------------------------------------------

TEST_F(Tl2Dispatch, PortListNamesThePortsAndAsksEachForItsDetails) {
  int portEvents = 0;
  link.OnPort = [&](TL2&) { ++portEvents; };
  Receive(InFrame('G', 1, "3;A;B;C;"));
  EXPECT_EQ(portEvents, 1);
  EXPECT_EQ(link.PortMax(), 3);
  EXPECT_EQ(link.PortRecord(1)->portName, "A");
  EXPECT_EQ(link.PortRecord(3)->portName, "C");
  EXPECT_TRUE(link.PortRecord(3)->valid);
  EXPECT_FALSE(link.PortRecord(4)->valid);
  EXPECT_FALSE(link.LoopBack());

  std::string expected;
  for (int portByte = 0; portByte < 3; ++portByte) {
    for (char kind : {'H', 'g', 'y'}) {
      expected += WireHeader(static_cast<std::uint8_t>(portByte), kind, 0, "", "", 0);
    }
  }
  EXPECT_EQ(socket.TakeWritten(), expected);
  EXPECT_TRUE(Logged("{L2} <ParsePort> Port(2) B"));
  EXPECT_TRUE(Logged("{L2} Fired Event <FOnPort>"));
}

TEST_F(Tl2Dispatch, PortListWithoutADigitCountChangesNothing) {
  Receive(InFrame('G', 1, "2;A;B;"));
  socket.writes.clear();
  for (const char* bad : {"x;A;", ";A;", "2x;A;B;", "-1;A;", " 2;A;B;", ""}) {
    SCOPED_TRACE(bad);
    Receive(InFrame('G', 1, bad));
    EXPECT_EQ(link.PortMax(), 2);
    EXPECT_EQ(link.PortRecord(1)->portName, "A");
    EXPECT_TRUE(socket.writes.empty());
  }
}

TEST_F(Tl2Dispatch, LoopBackPortIsFoundInAnyCaseAndNamesAreCutAtNul) {
  Receive(InFrame('G', 1, "3;Radio\0junk;my loopback port;Other;"s));
  EXPECT_TRUE(link.LoopBack());
  EXPECT_EQ(link.LoopBackPort(), 2);
  EXPECT_EQ(link.PortRecord(1)->portName, "Radio");
  EXPECT_TRUE(Logged("{L2} <ParsePort> Port 2 detected as a LoopBack"));
}

TEST_F(Tl2Dispatch, PortListCountingMoreThanSixteenPortsUsesOnlySixteen) {
  std::string list = "40;";
  for (int n = 1; n <= 40; ++n) list += Cat("P", n, ";");
  Receive(InFrame('G', 1, list));
  EXPECT_EQ(link.PortMax(), 16);
  EXPECT_EQ(link.PortRecord(16)->portName, "P16");
  std::vector<Frame> sent = Sent();
  ASSERT_EQ(sent.size(), 48u);
  for (const Frame& f : sent) EXPECT_LE(f.header.port, 16);  // read back one-based
  EXPECT_EQ(sent.back().header.port, 16);

  // A count too large for any number is no different.
  Receive(InFrame('G', 1, "99999999999999999999999999;A;"));
  EXPECT_EQ(link.PortMax(), 16);
  EXPECT_EQ(link.PortRecord(1)->portName, "A");
  EXPECT_EQ(Sent().size(), 48u);
}

TEST_F(Tl2Dispatch, PortListWithFewerFieldsThanItsCountNamesTheRestEmpty) {
  Receive(InFrame('G', 1, "3;A"));
  EXPECT_EQ(link.PortMax(), 3);
  EXPECT_EQ(link.PortRecord(1)->portName, "A");
  EXPECT_EQ(link.PortRecord(2)->portName, "");
  EXPECT_TRUE(link.PortRecord(3)->valid);
  EXPECT_EQ(Sent().size(), 9u);
}

TEST_F(Tl2Dispatch, PortListEmptiesTheHeardListsOfItsPorts) {
  Receive(InFrame('G', 1, "2;A;B;"));
  Receive(InFrame('H', 1, "one", "N0AAA"));
  Receive(InFrame('H', 2, "two", "N0AAA"));
  Receive(InFrame('G', 1, "1;A;"));
  EXPECT_TRUE(link.PortRecord(1)->heard[0].empty());
  EXPECT_EQ(link.PortRecord(2)->heard[0], "two");  // not listed this time
}

// ---- capabilities, outstanding frames, heard lists ---------------------------

TEST_F(Tl2Dispatch, CapabilitiesAreStoredInTableOrder) {
  int parameterEvents = 0;
  link.OnParameter = [&](TL2&) { ++parameterEvents; };
  Receive(InFrame('g', 2, "\x01\x02\x03\x04\x05\x06\x07\x08\x10\x20\x30\xEE"s));
  const PortInfo& r = *link.PortRecord(2);
  EXPECT_EQ(r.onAirBaud, 1);
  EXPECT_EQ(r.trafficLevel, 2);
  EXPECT_EQ(r.txDelay, 3);
  EXPECT_EQ(r.txTail, 4);
  EXPECT_EQ(r.persist, 5);
  EXPECT_EQ(r.slotTime, 6);
  EXPECT_EQ(r.maxFrame, 7);
  EXPECT_EQ(r.ax25Channel, 8);
  EXPECT_EQ(r.howManyBytes, 0x302010u);
  EXPECT_EQ(parameterEvents, 1);
  EXPECT_EQ(link.PortRecord(1)->onAirBaud, 0);
}

TEST_F(Tl2Dispatch, ShortCapabilitiesLeaveTheMissingBytesZero) {
  Receive(InFrame('g', 1, "\x09\x09\x09\x09\x09\x09\x09\x09\x09\x09\x09"s));
  Receive(InFrame('g', 1, "\x01\x02\x03"s));
  const PortInfo& r = *link.PortRecord(1);
  EXPECT_EQ(r.onAirBaud, 1);
  EXPECT_EQ(r.txDelay, 3);
  EXPECT_EQ(r.txTail, 0);
  EXPECT_EQ(r.ax25Channel, 0);
  EXPECT_EQ(r.howManyBytes, 0u);

  // Read straight out of a buffer that ends with the data: an address
  // sanitizer build would catch a look past it.
  auto exact = std::make_unique<char[]>(10);
  for (int i = 0; i < 10; ++i) exact[static_cast<std::size_t>(i)] = static_cast<char>(i + 1);
  link.ParseParam(1, std::string_view(exact.get(), 10));
  EXPECT_EQ(r.ax25Channel, 8);
  EXPECT_EQ(r.howManyBytes, 0x0A09u);
  link.ParseParam(1, std::string_view(exact.get(), 0));
  EXPECT_EQ(r.onAirBaud, 0);
}

TEST_F(Tl2Dispatch, CapabilitiesForPortsOutsideTheTableStoreNothing) {
  int parameterEvents = 0;
  link.OnParameter = [&](TL2&) { ++parameterEvents; };
  Receive(InFrame('g', 17, std::string(11, '\x07')));
  Receive(WireHeader(255, 'g', 0, "", "", 11) + std::string(11, '\x07'));  // port 0
  EXPECT_EQ(parameterEvents, 2);
  for (int port = 1; port <= 16; ++port) EXPECT_EQ(link.PortRecord(port)->onAirBaud, 0);
}

TEST_F(Tl2Dispatch, OutstandingFramesKeepTheLowByteAndReportTheCount) {
  std::vector<std::pair<int, int>> reports;
  link.OnPortFrames = [&](TL2&, int port, int count) { reports.emplace_back(port, count); };
  Receive(InFrame('y', 3, "\x2C\x01\x00\x00"s));
  EXPECT_EQ(link.PortRecord(3)->frames, 44);
  EXPECT_TRUE(Logged("{L2} Fired Event <FOnPortFrames>"));

  Receive(WireHeader(255, 'y', 0, "", "", 4) + "\x05\x00\x00\x00"s);  // port 0
  Receive(InFrame('y', 17, "\x06\x00\x00\x00"s));
  Receive(InFrame('y', 4, "\x07\x00\x00"s));  // too short: ignored
  EXPECT_EQ(reports, (std::vector<std::pair<int, int>>{{3, 300}, {0, 5}, {17, 6}}));
  for (int port = 1; port <= 16; ++port) {
    if (port != 3) {
      EXPECT_EQ(link.PortRecord(port)->frames, 0) << port;
    }
  }
}

TEST_F(Tl2Dispatch, LinkFramesReplyRaisesItsCallsAndItsThirtyTwoBitCount) {
  std::vector<std::string> reports;
  link.OnLinkFrames = [&](TL2&, int port, const std::string& from, const std::string& to,
                          std::uint32_t count) { reports.push_back(Cat(port, "|", from, "|", to, "|", count)); };
  struct Case {
    std::string data;
    const char* report;  // nullptr: no event
  };
  const Case cases[] = {
      {"\x00\x00\x00\x00"s, "3|N0CALL|N0BBB-1|0"},
      {"\x2C\x01\x00\x00"s, "3|N0CALL|N0BBB-1|300"},
      {"\x01\x00\x01\x00"s, "3|N0CALL|N0BBB-1|65537"},
      {"\xFF\xFF\xFF\xFF"s, "3|N0CALL|N0BBB-1|4294967295"},
      {"\x05\x00\x00\x00\x09"s, "3|N0CALL|N0BBB-1|5"},  // more than four bytes: the first four
      {"\x05\x00\x00"s, nullptr},
      {""s, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data.size());
    reports.clear();
    events.clear();
    lines.clear();
    Receive(InFrame('Y', 3, c.data, "n0call", "n0bbb-1"));
    EXPECT_EQ(events, Events{"Read:Y"});  // announced either way
    EXPECT_EQ(reports, c.report ? Events{c.report} : Events{});
    EXPECT_EQ(Logged("{L2} Fired Event <FOnLinkFrames>"), c.report != nullptr);
  }
  EXPECT_TRUE(socket.writes.empty());
  for (int port = 1; port <= 16; ++port) EXPECT_EQ(link.PortRecord(port)->frames, 0);
}

TEST_F(Tl2Dispatch, HeardListKeepsTwentyEntriesCutAtNul) {
  for (int i = 1; i <= 21; ++i) Receive(InFrame('H', 5, Cat("entry ", i, "\0tail"s), "N0AAA"));
  const PortInfo& r = *link.PortRecord(5);
  EXPECT_EQ(r.heard[0], "entry 1");
  EXPECT_EQ(r.heard[19], "entry 20");
  for (const std::string& slot : r.heard) EXPECT_NE(slot, "entry 21");

  // No station in call-from: not an entry.
  Receive(InFrame('H', 6, "nobody", "   "));
  Receive(InFrame('H', 6, "nobody"));
  EXPECT_TRUE(link.PortRecord(6)->heard[0].empty());
  // Outside the table: nothing, and nothing breaks.
  Receive(InFrame('H', 17, "far", "N0AAA"));
}

// ---- version and registration -------------------------------------------------

TEST_F(Tl2Dispatch, VersionReplyIsReadFromItsTwoLittleEndianFields) {
  std::vector<std::pair<int, int>> versions;
  link.OnVersion = [&](TL2&, int major, int minor) { versions.emplace_back(major, minor); };
  Receive(InFrame('R', 1, "\x07\x01\xFF\xFF\x2A\x02\xFF\xFF"s));
  EXPECT_EQ(link.VersionMajor(), 0x107);
  EXPECT_EQ(link.VersionMinor(), 0x22A);
  Receive(InFrame('R', 1, "\x09\x00\x00\x00\x09\x00\x00"s));  // short: ignored
  EXPECT_EQ(link.VersionMajor(), 0x107);
  EXPECT_EQ(versions, (std::vector<std::pair<int, int>>{{0x107, 0x22A}}));
}

TEST_F(Tl2Dispatch, RegistrationRepliesSetRegistered) {
  std::vector<std::string> replies;
  link.OnRegister = [&](TL2&, const std::string& call, const std::string& data) {
    replies.push_back("X " + call + "|" + data);
  };
  link.OnUnRegister = [&](TL2&, const std::string& call, const std::string& data) {
    replies.push_back("x " + call + "|" + data);
  };
  Receive(InFrame('X', 1, "\x01"s, "n0call"));
  EXPECT_TRUE(link.Registered());
  Receive(InFrame('X', 1, "", "n0call"));  // no answer byte: unchanged
  EXPECT_TRUE(link.Registered());
  EXPECT_TRUE(Logged("{L2} Exception on Module TL2.Decode (FrameX)"));
  Receive(InFrame('X', 1, "\x00"s, "n0call"));
  EXPECT_FALSE(link.Registered());

  Receive(InFrame('x', 1, "\x00"s, "n0call"));  // still registered, says the engine
  EXPECT_TRUE(link.Registered());
  Receive(InFrame('x', 1, "", "n0call"));
  EXPECT_TRUE(link.Registered());
  EXPECT_TRUE(Logged("{L2} Exception on Module TL2.Decode (Framex)"));
  Receive(InFrame('x', 1, "\x01"s, "n0call"));
  EXPECT_FALSE(link.Registered());

  EXPECT_EQ(replies, (std::vector<std::string>{"X N0CALL|\x01"s, "X N0CALL|", "X N0CALL|\x00"s,
                                               "x N0CALL|\x00"s, "x N0CALL|", "x N0CALL|\x01"s}));
}

// ---- connect and disconnect notices ---------------------------------------------

TEST_F(Tl2Dispatch, MyConnectNamesTheStationAndTheLineWithoutItsCr) {
  RecordLinkEvents();
  Receive(InFrame('C', 2, "*** CONNECTED With Station N0CALL\r\0"s, "n0aaa-1", "n0call"));
  EXPECT_EQ(events, (Events{"Read:C", "My 2|N0CALL|*** CONNECTED With Station N0CALL",
                            "Station 2|N0CALL|*** CONNECTED With Station N0CALL",
                            "Connect 2|N0AAA-1|N0CALL|*** CONNECTED With Station N0CALL"}));
  EXPECT_TRUE(Logged("{L2} Fired Event <FOnMyConnect>"));
  EXPECT_TRUE(Logged("{L2} Connect (my) String->*** CONNECTED With Station N0CALL\r\0"s));
}

TEST_F(Tl2Dispatch, HisConnectRaisesTheHisEvent) {
  RecordLinkEvents();
  Receive(InFrame('C', 1, "*** CONNECTED To Station NOBODY-1\r", "a", "b"));
  EXPECT_EQ(events, (Events{"Read:C", "His 1|NOBODY-1|*** CONNECTED To Station NOBODY-1",
                            "Station 1|NOBODY-1|*** CONNECTED To Station NOBODY-1",
                            "Connect 1|A|B|*** CONNECTED To Station NOBODY-1"}));
  EXPECT_TRUE(Logged("{L2} Fired Event <FOnHisConnect>"));
}

TEST_F(Tl2Dispatch, ConnectTextVariants) {
  RecordLinkEvents();
  // The station is everything after the fourth word, up to the CR.
  Receive(InFrame('C', 1, "***   CONNECTED With  Station  N0CALL via RELAY\rmore"));
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[1], "My 1|N0CALL via RELAY|***   CONNECTED With  Station  N0CALL via RELAY");
  // Fewer than five words: an empty station, no crash.
  events.clear();
  Receive(InFrame('C', 1, "CONNECTED With"));
  EXPECT_EQ(events, (Events{"Read:C", "My 1||CONNECTED With", "Station 1||CONNECTED With",
                            "Connect 1|||CONNECTED With"}));
  // Neither text: announced only.
  events.clear();
  Receive(InFrame('C', 1, "*** connected with Station N0CALL\r"));
  EXPECT_EQ(events, Events{"Read:C"});
}

TEST_F(Tl2Dispatch, DisconnectCasesAreTriedInOrderAndOnlyTheFirstIsHandled) {
  RecordLinkEvents();
  Receive(InFrame('d', 1, "*** DISCONNECTED RETRYOUT From N0CALL\r", "a", "b"));
  EXPECT_EQ(events, (Events{"Read:d", "RetryOut 1|N0CALL|*** DISCONNECTED RETRYOUT From N0CALL",
                            "StationDisc 1|N0CALL|*** DISCONNECTED RETRYOUT From N0CALL",
                            "Disconnect 1|A|B|*** DISCONNECTED RETRYOUT From N0CALL"}));

  events.clear();
  Receive(InFrame('d', 3, "*** DISCONNECTED From Station NOBODY-2\r", "a", "b"));
  EXPECT_EQ(events, (Events{"Read:d", "HisDisc 3|NOBODY-2|*** DISCONNECTED From Station NOBODY-2",
                            "StationDisc 3|NOBODY-2|*** DISCONNECTED From Station NOBODY-2",
                            "Disconnect 3|A|B|*** DISCONNECTED From Station NOBODY-2"}));

  // "With" takes the station from the header, not from the text.
  events.clear();
  Receive(InFrame('d', 1, "*** DISCONNECTED With Station OTHER\r", "n0call", "nobody-3"));
  EXPECT_EQ(events, (Events{"Read:d", "MyDisc 1|NOBODY-3|*** DISCONNECTED With Station OTHER",
                            "StationDisc 1|NOBODY-3|*** DISCONNECTED With Station OTHER",
                            "Disconnect 1|N0CALL|NOBODY-3|*** DISCONNECTED With Station OTHER"}));

  // Every station disconnect is traced under the retry-out name.
  EXPECT_EQ(CountLogged("{L2} Fired Event <FOnRetryOut>"), 4u);
  EXPECT_EQ(CountLogged("{L2} Fired Event <FOnHisDisconnect>"), 1u);
  EXPECT_EQ(CountLogged("{L2} Fired Event <FOnMyDisconnect>"), 1u);

  events.clear();
  Receive(InFrame('d', 1, "*** RETRYOUT From N0CALL\r"));  // no DISCONNECTED
  Receive(InFrame('d', 1, "*** DISCONNECTED\r"));           // none of the three
  EXPECT_EQ(events, (Events{"Read:d", "Read:d"}));
}

// ---- data, raw and monitored frames -----------------------------------------------

TEST_F(Tl2Dispatch, ConnectedDataArrivesWithTheHeaderFields) {
  std::vector<std::string> got;
  link.OnData = [&](TL2&, int port, const std::string& from, const std::string& to,
                    std::uint8_t pid, const std::string& data) {
    got.push_back(Cat(port, "|", from, "|", to, "|", pid, "|", data));
  };
  Receive(InFrame('D', 2, "a\0\xFF\r"s, "n0call-1", "nobody", 0xF0));
  EXPECT_EQ(got, (std::vector<std::string>{"2|N0CALL-1|NOBODY|240|a\0\xFF\r"s}));
  EXPECT_TRUE(Logged("{L2} Fired Event <FOnData>"));
}

TEST_F(Tl2Dispatch, RawFramesAreHandedOnAsReceived) {
  std::vector<std::string> got;
  link.OnRaw = [&](TL2&, int port, const std::string& data) { got.push_back(Cat(port, "|", data)); };
  Receive(InFrame('K', 4, "\x00\x96\x70\x9A\x9A\x9E\x40\x60"s));
  EXPECT_EQ(got, (std::vector<std::string>{"4|\x00\x96\x70\x9A\x9A\x9E\x40\x60"s}));
}

TEST_F(Tl2Dispatch, UnprotoFramesArriveParsedWhateverTheMask) {
  std::vector<std::string> got;
  link.OnDataUI = [&](TL2&, int port, const std::string& src, const std::string& dst,
                      std::uint8_t pid, const std::string& info) {
    got.push_back(Cat(port, "|", src, "|", dst, "|", pid, "|", info));
  };
  ASSERT_EQ(link.MonitorMask(), "N");
  Receive(InFrame('U', 2, " 2:Fm N0AAA-5 To BEACON <UI pid=CF Len=5 >[12:00:00]\rhello\r\r\0"s));
  EXPECT_EQ(got, (std::vector<std::string>{"2|N0AAA-5|BEACON|207|hello"}));
  EXPECT_TRUE(Logged("{L2} Fired Event <FOnDataUI>"));
}

TEST_F(Tl2Dispatch, UnknownKindsAreOnlyAnnounced) {
  RecordLinkEvents();
  RecordMonitorEvents();
  Receive(InFrame('Z', 1, "whatever") + InFrame('\0', 1) + InFrame('\xFF', 1, "x"));
  EXPECT_EQ(events, (Events{"Read:Z", "Read:"s + '\0', "Read:\xFF"}));
  EXPECT_TRUE(socket.writes.empty());
}

constexpr const char* kRr = "1:Fm N0AAA To N0BBB Via R1,R2 <RR P R5 >\r";
constexpr const char* kSabm = "1:Fm N0AAA To N0BBB <SABM P>\r";
constexpr const char* kUi = "1:Fm N0AAA To ID <UI pid=F0 Len=5 >[01:02:03]\rHELLO";
constexpr const char* kI = "1:Fm N0AAA To N0BBB <I R2 S5 p=F0 w=3 >\rabc";

TEST_F(Tl2Dispatch, SupervisoryFrameNeedsTheSMask) {
  RecordMonitorEvents();
  link.SetMonitor("IU");
  Receive(InFrame('T', 1, kRr, "n0aaa", "n0bbb"));
  EXPECT_EQ(events, Events{"Read:T"});

  events.clear();
  link.SetMonitor("S");
  Receive(InFrame('T', 1, kRr, "n0aaa", "n0bbb", 0));
  EXPECT_EQ(events, (Events{"Read:T", "Monitor 1|N0AAA|N0BBB|0", "SFrame 1|N0AAA|N0BBB|R1 R2|RR|5"}));
  EXPECT_TRUE(Logged("{L2} Fired Event <FOnSFrame>"));

  // "S" and "C" together: one event only, the supervisory one.
  events.clear();
  link.SetMonitor("SC");
  Receive(InFrame('T', 1, kRr));
  EXPECT_EQ(events.size(), 3u);
}

TEST_F(Tl2Dispatch, LinkControlFrameOfKindTNeedsCAndOfKindSNeedsS) {
  RecordMonitorEvents();
  link.SetMonitor("C");
  Receive(InFrame('T', 1, kSabm, "a", "b"));
  EXPECT_EQ(events, (Events{"Read:T", "Monitor 1|A|B|0", "SFrame 1|A|B||SABM|0"}));

  events.clear();
  Receive(InFrame('S', 1, kSabm, "a", "b"));
  EXPECT_EQ(events, Events{"Read:S"});

  events.clear();
  link.SetMonitor("S");
  Receive(InFrame('S', 1, kSabm, "a", "b"));
  EXPECT_EQ(events, (Events{"Read:S", "Monitor 1|A|B|0", "SFrame 1|A|B||SABM|0"}));
  events.clear();
  Receive(InFrame('T', 1, kSabm, "a", "b"));
  EXPECT_EQ(events, Events{"Read:T"});
}

TEST_F(Tl2Dispatch, DireWolfsSabmeCountsAsLinkControlLikeSabm) {
  // Dire Wolf opens its connections with SABME; captured from Dire Wolf 1.6.
  const std::string sabme = " 1:Fm N0AAA To N0BBB <SABME P=1 >[06:46:09]\r\0"s;
  const std::string sabm = " 1:Fm N0AAA To N0BBB <SABM P=1 >[06:46:09]\r\0"s;
  struct Case {
    const std::string* text;
    char kind;
    const char* mask;
    const char* type;
  };
  for (const Case& c : {Case{&sabme, 'T', "C", "SABME"}, Case{&sabme, 'S', "S", "SABME"},
                        Case{&sabm, 'T', "C", "SABM"}, Case{&sabm, 'S', "S", "SABM"}}) {
    SCOPED_TRACE(Cat(c.type, " ", c.kind));
    events.clear();
    RecordMonitorEvents();
    link.SetMonitor(c.mask);
    Receive(InFrame(c.kind, 1, *c.text, "N0AAA", "N0BBB"));
    EXPECT_EQ(events, (Events{Cat("Read:", c.kind), "Monitor 1|N0AAA|N0BBB|0",
                              Cat("SFrame 1|N0AAA|N0BBB||", c.type, "|0")}));
  }
}

TEST_F(Tl2Dispatch, MonitoredUiAndIFramesNeedTheirLetters) {
  RecordMonitorEvents();
  link.SetMonitor("U");
  Receive(InFrame('T', 1, kUi, "n0aaa", "id", 0xF0));
  Receive(InFrame('T', 1, kI, "n0aaa", "n0bbb", 0xF0));
  Receive(InFrame('I', 1, kI, "n0aaa", "n0bbb", 0xF0));
  EXPECT_EQ(events, (Events{"Read:T", "Monitor 1|N0AAA|ID|240", "UIFrame 1|N0AAA|ID||UI|F0|5|HELLO",
                            "Read:T", "Read:I"}));
  EXPECT_TRUE(Logged("{L2} Fired Event <FOnUIFrame>"));

  events.clear();
  link.SetMonitor("I");
  Receive(InFrame('T', 1, kUi, "n0aaa", "id", 0xF0));
  Receive(InFrame('T', 1, kI, "n0aaa", "n0bbb", 0xF0));
  Receive(InFrame('I', 1, kI, "n0aaa", "n0bbb", 0xF0));
  Receive(InFrame('I', 1, kUi, "n0aaa", "id", 0xF0));  // kind 'I' takes I frames only
  const std::string iFrame = "IFrame 1|N0AAA|N0BBB||I|F0|2|5|3|abc";
  EXPECT_EQ(events, (Events{"Read:T", "Read:T", "Monitor 1|N0AAA|N0BBB|240", iFrame, "Read:I",
                            "Monitor 1|N0AAA|N0BBB|240", iFrame, "Read:I"}));
  EXPECT_TRUE(Logged("{L2} Fired Event <FOnIFrame>"));
}

TEST_F(Tl2Dispatch, MonitoredFramesAreIgnoredWhileTheMaskIsN) {
  RecordMonitorEvents();
  Receive(InFrame('T', 1, kUi) + InFrame('T', 1, kRr) + InFrame('I', 1, kI) + InFrame('S', 1, kRr));
  EXPECT_EQ(events, (Events{"Read:T", "Read:T", "Read:I", "Read:S"}));
}

// ---- poll timer ----------------------------------------------------------------------

TEST_F(Tl2Dispatch, PollTimerRequestsThePortListAgainAfterEachList) {
  link.Poll = true;
  EXPECT_TRUE(loop.timers.empty());
  Receive(InFrame('G', 1, "1;A;"));
  ASSERT_EQ(loop.timers.size(), 1u);
  FakeTimer& timer = *loop.timers[0];
  EXPECT_EQ(timer.Interval(), 60000u);
  EXPECT_TRUE(timer.Enabled());
  socket.writes.clear();

  timer.Fire();
  EXPECT_EQ(socket.TakeWritten(), WireHeader(0, 'G', 0, "", "", 0));
  EXPECT_FALSE(timer.Enabled());
  timer.Fire();  // stopped: nothing more until the next list
  EXPECT_TRUE(socket.writes.empty());

  Receive(InFrame('G', 1, "1;A;"));
  EXPECT_EQ(loop.timers.size(), 1u);  // the same timer, restarted
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(timer.starts, 2);

  link.SetActive(false);
  EXPECT_EQ(loop.liveTimers, 0);
}

TEST_F(Tl2Dispatch, NoPollTimerWithoutPoll) {
  Receive(InFrame('G', 1, "1;A;"));
  EXPECT_TRUE(loop.timers.empty());
}

}  // namespace
}  // namespace tw::testing
