// The receive path: cutting frames out of reads of any size, reading the
// header's fields, and carrying on after an event handler fails.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "tests/link/link_harness.h"

namespace tw::testing {
namespace {

struct Seen {
  int port;
  std::uint8_t pid;
  char kind;
  std::string from;
  std::string to;
  std::string data;
};

class Tl2Receive : public ::testing::Test, public LinkHarness {
 protected:
  void SetUp() override {
    Connect();
    link.OnRead = [this](TL2&, int port, std::uint8_t pid, char kind, const std::string& from,
                         const std::string& to, const std::string& data) {
      seen.push_back({port, pid, kind, from, to, data});
    };
  }
  std::vector<Seen> seen;
};

TEST_F(Tl2Receive, TwoFramesInOneReadAreDecodedInOrder) {
  Receive(InFrame('D', 1, "first", "A", "B", 0xF0) + InFrame('D', 2, "second", "C", "D", 0xF0));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].data, "first");
  EXPECT_EQ(seen[1].data, "second");
  EXPECT_EQ(seen[1].port, 2);
}

TEST_F(Tl2Receive, HeaderAloneWaitsForItsData) {
  std::string frame = InFrame('D', 1, "payload", "A", "B");
  Receive(frame.substr(0, 36));
  EXPECT_TRUE(seen.empty());
  Receive(frame.substr(36, 3));
  EXPECT_TRUE(seen.empty());
  Receive(frame.substr(39));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].data, "payload");
}

TEST_F(Tl2Receive, HeaderInReadsOfTwentyAndSixteenBytes) {
  std::string frame = InFrame('R', 1);
  Receive(frame.substr(0, 20));
  EXPECT_TRUE(seen.empty());
  Receive(frame.substr(20));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].kind, 'R');
}

TEST_F(Tl2Receive, ZeroLengthFrameIsDecodedAtOnceAndTheNextFollows) {
  Receive(InFrame('G', 1) + InFrame('D', 1, "x", "A", "B") + InFrame('R', 1));
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].kind, 'G');
  EXPECT_TRUE(seen[0].data.empty());
  EXPECT_EQ(seen[1].data, "x");
  EXPECT_EQ(seen[2].kind, 'R');
}

TEST_F(Tl2Receive, ByteByByteGivesWhatOneReadGives) {
  std::string stream = InFrame('D', 1, Numbered(300), "A", "B", 0xF0) + InFrame('y', 3) +
                       InFrame('K', 2, "\x00\x01\x02"s) + InFrame('D', 16, "\r\n\0"s, "x", "y");
  for (char b : stream) Receive(std::string_view(&b, 1));
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].data, Numbered(300));
  EXPECT_EQ(seen[1].kind, 'y');
  EXPECT_EQ(seen[1].port, 3);
  EXPECT_EQ(seen[2].data, "\x00\x01\x02"s);
  EXPECT_EQ(seen[3].data, "\r\n\0"s);
  EXPECT_EQ(seen[3].port, 16);
}

TEST_F(Tl2Receive, HeaderFieldsAreReadAsTheEngineWritesThem) {
  std::string h = WireHeader(3, 'D', 0xCF, "n0call-1", "ABCDEFGHIJ", 2);
  h[1] = '\x7F';  // reserved bytes are ignored
  h[30] = '\x01';  // only bytes 28 and 29 give the length
  h[31] = '\x02';
  h[33] = '\x09';
  Receive(h + "ok");
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].port, 4);
  EXPECT_EQ(seen[0].pid, 0xCF);
  EXPECT_EQ(seen[0].from, "N0CALL-1");  // upper-cased
  EXPECT_EQ(seen[0].to, "ABCDEFGHIJ");  // ten bytes, no NUL
  EXPECT_EQ(seen[0].data, "ok");

  Receive(WireHeader(255, 'D', 0, "A", "B", 0));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].port, 0);
}

TEST_F(Tl2Receive, ReadsAreTraced) {
  Receive("abc");
  EXPECT_TRUE(Logged("{L2} Read from VOKPE Socket "));
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      " |61 62 63 -- -- -- -- -- -- -- -- -- -- -- -- -- |abc             "),
            lines.end());
}

TEST_F(Tl2Receive, FrameArgumentsAreTracedAtTheirLevels) {
  Receive(InFrame('D', 2, "hey", "A", "B", 0xF0));
  EXPECT_TRUE(Logged("{L2} Decode Args Port(2) Kind[D] {F0} <A> <B> Len(3) + DATA"));
  Receive(InFrame('K', 1, "\x00\x01"s));
  EXPECT_TRUE(Logged("{L2} Decode KISS Port(1) Kind[K] Len(2) + RAW AX.25 Frame"));
  Receive(InFrame('T', 1, "1:Fm A To B <UA >\r"));
  EXPECT_TRUE(Logged("VOKMessage <T>"));

  lines.clear();
  link.Log().SetLevel(4);
  Receive(InFrame('H', 1, "", "A"));
  Receive(InFrame('g', 1));
  Receive(InFrame('y', 1, "\x01\x00\x00\x00"s));
  auto messages = Messages();
  EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                          [](const std::string& m) { return m.starts_with("{L2} Decode Args"); }),
            1);  // 'H' and 'g' are level 5; 'y' is level 4
}

TEST_F(Tl2Receive, AThrowingHandlerIsLoggedAndTheNextFrameIsStillDecoded) {
  std::vector<std::string> data;
  link.OnData = [&](TL2&, int, const std::string&, const std::string&, std::uint8_t,
                    const std::string& d) {
    data.push_back(d);
    if (d == "boom") throw std::runtime_error("handler failed");
  };
  Receive(InFrame('D', 1, "boom", "n0call", "nobody") + InFrame('D', 1, "after", "A", "B"));
  EXPECT_EQ(data, (std::vector<std::string>{"boom", "after"}));
  EXPECT_TRUE(Logged("{L2} Exception on Module TL2.Decode (FrameD)"));
  EXPECT_TRUE(Logged("{L2} szFrom=N0CALL szTo=NOBODY Data=boom"));
}

TEST_F(Tl2Receive, EachKindFailsUnderItsOwnName) {
  auto thrower = [](auto&&...) { throw std::runtime_error("x"); };
  link.OnRaw = thrower;
  link.OnPort = thrower;
  link.OnParameter = thrower;
  link.OnVersion = thrower;
  link.OnPortFrames = thrower;
  link.OnRegister = thrower;
  link.OnMyConnect = thrower;
  link.OnMyDisconnect = thrower;
  link.OnDataUI = thrower;
  link.OnMonitor = thrower;
  link.SetMonitor("IUSC");
  Receive(InFrame('K', 1, "k") + InFrame('G', 1, "0;") + InFrame('g', 1) +
          InFrame('R', 1, std::string(8, '\0')) + InFrame('y', 1, std::string(4, '\0')) +
          InFrame('X', 1, "\x01"s, "A") + InFrame('C', 1, "*** CONNECTED With Station A\r") +
          InFrame('d', 1, "*** DISCONNECTED With A\r") + InFrame('U', 1, "1:Fm A To B <UI pid=F0 >\rx") +
          InFrame('S', 1, "1:Fm A To B <RR R1 >\r") + InFrame('R', 1));
  for (const char* m : {"{L2} Exception on Module TL2.Decode (FrameK)",
                        "{L2} Exception on Module TL2.Decode (FrameG)",
                        "{L2} Exception on Module TL2.Decode (Frameg)",
                        "{L2} Exception on Module TL2.Decode (FrameR)",
                        "{L2} Exception on Module TL2.Decode (Framey)",
                        "{L2} Exception on Module TL2.Decode (FrameX)",
                        "{L2} Exception on Module TL2.Decode (FrameC)",
                        "{L2} Exception on Module TL2.Decode (Framed)",
                        "{L2} Exception on Module TL2.Decode.FrameU(OnDataUI Event)",
                        "{L2} Exception on Module TL2.Decode (FrameTSI) Kind{S}"}) {
    EXPECT_TRUE(Logged(m)) << m;
  }
  // The handler's failure left the registration untouched: it is raised first.
  EXPECT_FALSE(link.Registered());
  // Every frame was still announced, the last one included.
  ASSERT_EQ(seen.size(), 11u);
  EXPECT_EQ(seen.back().kind, 'R');
}

TEST_F(Tl2Receive, AFailingAnnouncementSkipsTheFrameOnly) {
  int data = 0;
  link.OnData = [&](TL2&, int, const std::string&, const std::string&, std::uint8_t,
                    const std::string&) { ++data; };
  link.OnRead = [&](TL2&, int, std::uint8_t, char, const std::string&, const std::string&,
                    const std::string& d) {
    if (d == "bad") throw std::runtime_error("x");
  };
  Receive(InFrame('D', 1, "bad") + InFrame('D', 1, "good"));
  EXPECT_EQ(data, 1);
  EXPECT_TRUE(Logged("{L2} Exception on Module TL2.Decode (Initial)"));
}

TEST_F(Tl2Receive, AHandlerThatReconnectsDropsTheRestOfTheOldRead) {
  link.OnData = [&](TL2& l, int, const std::string&, const std::string&, std::uint8_t,
                    const std::string& d) {
    if (d != "reconnect") return;
    l.SetActive(false);
    l.SetActive(true);
  };
  Receive(InFrame('D', 1, "reconnect") + InFrame('D', 1, "stale") +
          InFrame('D', 1, "cut off").substr(0, 40));
  ASSERT_EQ(seen.size(), 1u);
  socket.CompleteConnect();
  Receive(InFrame('D', 1, "fresh"));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].data, "fresh");
}

TEST(Tl2EndInAHandler, NothingMoreOfTheReadIsDecodedOnceTheConnectionEnded) {
  using End = std::function<void(TL2&, FakeClientSocket&)>;
  struct Case {
    const char* name;
    End end;
    bool connectedAfter;
  };
  const Case cases[] = {
      {"Close", [](TL2& l, FakeClientSocket&) { l.Close(); }, false},
      {"SetActive(false)", [](TL2& l, FakeClientSocket&) { l.SetActive(false); }, false},
      {"peer closes", [](TL2&, FakeClientSocket& s) { s.PeerCloses(); }, false},
      {"socket error", [](TL2&, FakeClientSocket& s) { s.Fail(); }, false},
      {"close and reopen",
       [](TL2& l, FakeClientSocket&) {
         l.SetActive(false);
         l.SetActive(true);
       },
       false},
      {"close, reopen and connect",
       [](TL2& l, FakeClientSocket& s) {
         l.SetActive(false);
         l.SetActive(true);
         s.CompleteConnect();
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkHarness h;
    h.link.Poll = true;
    h.Connect("N0CALL");
    std::string kinds;
    int downs = 0;
    h.link.OnRead = [&](TL2&, int, std::uint8_t, char kind, const std::string&, const std::string&,
                        const std::string&) { kinds.push_back(kind); };
    h.link.OnVOKDown = [&](TL2&) { ++downs; };
    h.link.OnData = [&](TL2& l, int, const std::string&, const std::string&, std::uint8_t,
                        const std::string& d) {
      if (d == "end") c.end(l, h.socket);
    };
    h.Receive(InFrame('D', 1, "end") + InFrame('X', 1, "\x01"s, "N0CALL") +
              InFrame('G', 1, "1;Radio;") + InFrame('D', 1, "after"));
    EXPECT_EQ(kinds, "D");
    EXPECT_FALSE(h.link.Registered());
    EXPECT_EQ(h.loop.liveTimers, 0);  // the 'G' did not re-arm the poll timer
    EXPECT_EQ(h.link.Connected(), c.connectedAfter);
    EXPECT_LE(downs, 1);
    // The next connection registers again.
    h.link.OnVOKUp = [](TL2& l) { l.SetRegister(true); };
    if (!c.connectedAfter) {
      h.link.SetActive(true);
      h.socket.CompleteConnect();
      std::vector<Frame> sent = h.Sent();
      ASSERT_FALSE(sent.empty());
      EXPECT_EQ(sent[0].header.kind, 'X');
    }
  }
}

TEST(Tl2EndInAHandler, ARegistrationReplyWhoseHandlerClosesLeavesTheLinkUnregistered) {
  LinkHarness h;
  h.Connect("N0CALL");
  h.link.OnRegister = [](TL2& l, const std::string&, const std::string&) { l.Close(); };
  h.Receive(InFrame('X', 1, "\x01"s, "N0CALL"));
  EXPECT_FALSE(h.link.Connected());
  EXPECT_FALSE(h.link.Registered());
}

}  // namespace
}  // namespace tw::testing
