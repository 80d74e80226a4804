// The requests that become engine frames: registration, the monitor switch,
// connects with and without a path, data, unproto and the digipeater block.
#include <gtest/gtest.h>

#include <functional>

#include "tests/link/link_harness.h"

namespace tw::testing {
namespace {

class Tl2Requests : public ::testing::Test, public LinkHarness {};

// The digipeater block for `calls`, written out slot by slot.
std::string Block(std::vector<std::string> calls) {
  std::string block(1, static_cast<char>(calls.size()));
  for (const std::string& call : calls) {
    std::string slot = call;
    slot.resize(10, '\0');
    block += slot;
  }
  return block;
}

std::vector<std::string> Calls(int n) {
  std::vector<std::string> calls;
  for (int i = 1; i <= n; ++i) calls.push_back(Cat("RELAY-", i));
  return calls;
}

std::string Joined(const std::vector<std::string>& calls, const char* separator) {
  std::string out;
  for (const std::string& c : calls) out += (out.empty() ? "" : separator) + c;
  return out;
}

// ---- registration -------------------------------------------------------------

TEST_F(Tl2Requests, RegisterSendsOnlyWhileConnected) {
  link.SetCallSign("N0CALL");
  link.SetRegister(true);
  EXPECT_TRUE(Logged("{L2} Set Register TRUE CallSign(N0CALL)"));
  EXPECT_TRUE(socket.writes.empty());
  EXPECT_FALSE(link.Registered());  // only the engine's reply says so

  Connect("N0CALL");
  link.SetRegister(true);
  EXPECT_EQ(socket.TakeWritten(), WireHeader(0, 'X', 0, "N0CALL", "", 0));
}

TEST_F(Tl2Requests, RegisterIsIgnoredWhenAlreadyInThatState) {
  Connect("N0CALL");
  link.SetRegister(false);
  EXPECT_TRUE(Logged("{L2} Set Register ignored for CallSign(N0CALL)"));
  EXPECT_TRUE(socket.writes.empty());

  Receive(InFrame('X', 1, "\x01"s, "N0CALL"));
  lines.clear();
  link.SetRegister(true);
  EXPECT_TRUE(Logged("{L2} Set Register ignored for CallSign(N0CALL)"));
  EXPECT_TRUE(socket.writes.empty());

  link.SetRegister(false);
  EXPECT_EQ(socket.TakeWritten(), WireHeader(0, 'x', 0, "N0CALL", "", 0));
}

TEST_F(Tl2Requests, UnregisteringCountsAsDoneWhenSentAndRegisteringAgainIsSent) {
  // Dire Wolf 1.6 never answers 'x': the link must not wait for it.
  Connect("N0CALL");
  Receive(InFrame('X', 1, "\x01"s, "N0CALL"));
  ASSERT_TRUE(link.Registered());
  link.SetRegister(false);
  EXPECT_EQ(socket.TakeWritten(), WireHeader(0, 'x', 0, "N0CALL", "", 0));
  EXPECT_FALSE(link.Registered());
  link.SetRegister(true);
  EXPECT_EQ(socket.TakeWritten(), WireHeader(0, 'X', 0, "N0CALL", "", 0));

  // An engine that answers 'x' still has the last word.
  Receive(InFrame('X', 1, "\x01"s, "N0CALL"));
  link.SetRegister(false);
  Receive(InFrame('x', 1, "\x00"s, "N0CALL"));
  EXPECT_TRUE(link.Registered());

  // Unregistering another call leaves the own registration alone; the own
  // call spelled differently counts as the own call.
  EXPECT_TRUE(link.VOKUnRegister("ALIAS"));
  EXPECT_TRUE(link.Registered());
  EXPECT_TRUE(link.VOKUnRegister("n0call-0"));
  EXPECT_FALSE(link.Registered());
}

TEST_F(Tl2Requests, OnlyRepliesNamingTheOwnCallChangeRegistered) {
  struct Case {
    const char* own;
    const char* replyCall;
    bool counts;
  };
  for (const Case& c : {Case{"N0CALL", "N0CALL", true}, Case{"N0CALL", "n0call", true},
                        Case{"N0CALL", "N0CALL-0", true}, Case{"N0CALL-0", "N0CALL", true},
                        Case{"n0call-7", "N0CALL-7", true}, Case{"N0CALL", "N0CALL-1", false},
                        Case{"N0CALL-1", "N0CALL", false}, Case{"N0CALL", "ALIAS", false},
                        Case{"N0CALL", "", false}, Case{"N0CALL", "N0CALL-00", true}}) {
    SCOPED_TRACE(Cat(c.own, " / ", c.replyCall));
    LinkHarness h;
    h.Connect(c.own);
    h.Receive(InFrame('X', 1, "\x01"s, c.replyCall));
    EXPECT_EQ(h.link.Registered(), c.counts);
    h.Receive(InFrame('X', 1, "\x01"s, c.own));
    ASSERT_TRUE(h.link.Registered());
    h.Receive(InFrame('x', 1, "\x01"s, c.replyCall));
    EXPECT_EQ(h.link.Registered(), !c.counts);
  }
}

TEST_F(Tl2Requests, RegisteringNeedsACallSign) {
  EXPECT_FALSE(link.VOKRegister(""));
  EXPECT_FALSE(link.VOKUnRegister(""));
  EXPECT_TRUE(link.VOKRegister("N0CALL"));  // true even without a connection
  EXPECT_TRUE(socket.writes.empty());
  Connect();
  EXPECT_TRUE(link.VOKUnRegister("OTHER-3"));
  EXPECT_EQ(socket.TakeWritten(), WireHeader(0, 'x', 0, "OTHER-3", "", 0));
}

// ---- monitor switch ---------------------------------------------------------------

TEST_F(Tl2Requests, MonitorSwitchFlipsOnlyWhenMonitoringGoesOnOrOff) {
  Connect("N0CALL");
  link.SetMonitor("iusc");
  EXPECT_EQ(link.MonitorMask(), "IUSC");
  EXPECT_EQ(socket.TakeWritten(), WireHeader(0, 'm', 0, "", "", 0));
  EXPECT_TRUE(Logged("{L2} Set Monitor <iusc> CallSign(N0CALL)"));

  // From one mask to another: the new letters count, the engine's switch stays.
  link.SetMonitor("s");
  EXPECT_EQ(link.MonitorMask(), "S");
  EXPECT_TRUE(socket.writes.empty());

  link.SetMonitor("n");
  EXPECT_EQ(link.MonitorMask(), "N");
  EXPECT_EQ(socket.TakeWritten(), WireHeader(0, 'm', 0, "", "", 0));

  link.SetMonitor("N");
  EXPECT_EQ(link.MonitorMask(), "N");
  EXPECT_TRUE(socket.writes.empty());
}

TEST_F(Tl2Requests, MonitorMaskWithUnknownLettersOrEmptyChangesNothing) {
  Connect();
  link.SetMonitor("IU");
  socket.writes.clear();
  for (const char* bad : {"IUX", "", "I U", "n!"}) {
    SCOPED_TRACE(bad);
    link.SetMonitor(bad);
    EXPECT_EQ(link.MonitorMask(), "IU");
    EXPECT_TRUE(socket.writes.empty());
  }
}

TEST_F(Tl2Requests, MonitorMaskChangesWhileIdleSendNothing) {
  link.SetMonitor("M");
  EXPECT_EQ(link.MonitorMask(), "M");
  link.SetMonitor("N");
  EXPECT_EQ(link.MonitorMask(), "N");
  EXPECT_TRUE(socket.writes.empty());
}

TEST_F(Tl2Requests, AMaskOfMAloneKeepsTheEngineSwitchAsOnConnecting) {
  // Connecting sends 'm' only for I, U, S or C; switching must agree, or the
  // engine's switch ends up inverted after a reconnection.
  Connect();
  link.SetMonitor("M");
  EXPECT_EQ(link.MonitorMask(), "M");
  EXPECT_TRUE(socket.writes.empty());
  link.SetMonitor("MI");
  EXPECT_EQ(socket.TakeWritten(), WireHeader(0, 'm', 0, "", "", 0));
  link.SetMonitor("M");
  EXPECT_EQ(socket.TakeWritten(), WireHeader(0, 'm', 0, "", "", 0));
  link.SetMonitor("N");
  EXPECT_TRUE(socket.writes.empty());
}

// ---- connects ---------------------------------------------------------------------------

TEST_F(Tl2Requests, ConnectWithoutPathOrPid) {
  Connect();
  link.ConnectExt(3, 0, "N0CALL", "NOBODY-1", "");
  EXPECT_EQ(socket.TakeWritten(), WireHeader(2, 'C', 0, "N0CALL", "NOBODY-1", 0));
  link.ConnectExt(3, 0xF0, "N0CALL", "NOBODY-1", ",, ,*,");  // a path of nothing
  EXPECT_EQ(socket.TakeWritten(), WireHeader(2, 'C', 0, "N0CALL", "NOBODY-1", 0));
}

TEST_F(Tl2Requests, ConnectThroughDigipeatersSendsTheBareCalls) {
  Connect();
  link.ConnectExt(1, 0xF0, "N0CALL", "NOBODY-1", "RELAY-1*, RELAY-2");
  std::string block = Block({"RELAY-1", "RELAY-2"});
  ASSERT_EQ(block.size(), 21u);
  EXPECT_EQ(socket.TakeWritten(), WireHeader(0, 'v', 0, "N0CALL", "NOBODY-1", 21) + block);
  EXPECT_TRUE(Logged("{L2} Connect with VIA Information"));
  EXPECT_TRUE(Logged("{L2} VIA->[RELAY-1 RELAY-2]"));

  // Empty pieces count for nothing, however many there are.
  link.ConnectExt(1, 0, "N0CALL", "NOBODY-1", std::string(100000, ',') + "RELAY-3" + ",,");
  EXPECT_EQ(socket.TakeWritten(),
            WireHeader(0, 'v', 0, "N0CALL", "NOBODY-1", 11) + Block({"RELAY-3"}));
}

TEST_F(Tl2Requests, ConnectWithAnOtherPidSendsThePidAndNoPath) {
  Connect();
  link.ConnectExt(2, 0xCF, "N0CALL", "NODE", "RELAY-1,RELAY-2");
  EXPECT_EQ(socket.TakeWritten(), WireHeader(1, 'c', 0xCF, "N0CALL", "NODE", 1) + "\xCF"s);
}

TEST_F(Tl2Requests, ConnectWithTwentyFiveDigipeatersFitsTheBlock) {
  Connect();
  std::vector<std::string> calls = Calls(25);
  link.ConnectExt(1, 0, "N0CALL", "FAR", Joined(calls, ","));
  std::vector<Frame> sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].header.kind, 'v');
  EXPECT_EQ(sent[0].data, Block(calls));
  EXPECT_EQ(sent[0].data.size(), 251u);
}

TEST_F(Tl2Requests, ConnectWhosePathCannotBeSentIsRefused) {
  Connect();
  link.ConnectExt(1, 0, "N0CALL", "FAR", Joined(Calls(26), ","));
  EXPECT_TRUE(Logged("{L2} <BuildVia> Path refused: more than 25 digipeaters"));
  EXPECT_TRUE(Logged("{L2} <ConnectExt> Connect to FAR refused: path can not be sent"));
  link.ConnectExt(1, 0, "N0CALL", "FAR", "RELAY,ABCDEFGHIJK");
  EXPECT_TRUE(Logged("{L2} <BuildVia> Path refused: call ABCDEFGHIJK does not fit its slot"));
  // Not even a connect without the path.
  EXPECT_TRUE(socket.writes.empty());
}

TEST_F(Tl2Requests, ConnectWithItsOwnPidIgnoresAPathItWouldNotCarry) {
  Connect();
  link.ConnectExt(1, 0xCF, "N0CALL", "FAR", Joined(Calls(30), ","));
  std::vector<Frame> sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].header.kind, 'c');
  EXPECT_EQ(sent[0].data, "\xCF");
  EXPECT_FALSE(Logged("{L2} <BuildVia> Path refused: more than 25 digipeaters"));
}

TEST_F(Tl2Requests, DisconnectSendsTheCalls) {
  Connect();
  link.DisconnectExt(5, "N0CALL", "NOBODY-1");
  EXPECT_EQ(socket.TakeWritten(), WireHeader(4, 'd', 0, "N0CALL", "NOBODY-1", 0));
}

// ---- data and unproto -----------------------------------------------------------------

TEST_F(Tl2Requests, SendDataCarriesPidAndCalls) {
  Connect();
  link.SendData(2, 0xF0, "N0CALL", "NOBODY-1", "line\r"s + '\0');
  EXPECT_EQ(socket.TakeWritten(),
            WireHeader(1, 'D', 0xF0, "N0CALL", "NOBODY-1", 6) + "line\r"s + '\0');
  EXPECT_TRUE(Logged("{L2} SendData Received Port(2) Pid(240) To(NOBODY-1)"));
}

TEST_F(Tl2Requests, UnprotoWithoutPathIsAnMFrame) {
  Connect();
  link.SendUNPROTO(1, 0xF0, "N0CALL", "ID", "", "HELLO");
  EXPECT_EQ(socket.TakeWritten(), WireHeader(0, 'M', 0xF0, "N0CALL", "ID", 5) + "HELLO");
  link.SendUNPROTO(1, 0xF0, "N0CALL", "ID", "   ", "HELLO");  // blanks are no path
  EXPECT_EQ(socket.TakeWritten(), WireHeader(0, 'M', 0xF0, "N0CALL", "ID", 5) + "HELLO");
  EXPECT_TRUE(Logged("{L2} SendUNPROTO Received Port(1) Pid(240) To(ID)"));
}

TEST_F(Tl2Requests, UnprotoThroughDigipeatersPutsTheBlockBeforeTheText) {
  Connect();
  link.SendUNPROTO(1, 0xF0, "N0CALL", "ID", "RELAY-1 RELAY-2", "HELLO");
  std::vector<Frame> sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].header.kind, 'V');
  EXPECT_EQ(sent[0].header.pid, 0xF0);
  EXPECT_EQ(sent[0].data, Block({"RELAY-1", "RELAY-2"}) + "HELLO");
  EXPECT_EQ(sent[0].data.size(), 26u);
}

TEST_F(Tl2Requests, UnprotoWhosePathCannotBeSentIsRefused) {
  Connect();
  link.SendUNPROTO(1, 0xF0, "N0CALL", "ID", Joined(Calls(26), " "), "HELLO");
  link.SendUNPROTO(1, 0xF0, "N0CALL", "ID", "TOOLONGCALL1", "HELLO");
  EXPECT_TRUE(socket.writes.empty());
  EXPECT_EQ(CountLogged("{L2} <SendUNPROTO> Frame to ID refused: path can not be sent"), 2u);
}

// ---- what the requests report ---------------------------------------------------------------

TEST_F(Tl2Requests, EachRequestReportsWhetherItsFrameWentOut) {
  using Request = std::function<bool(TL2&)>;
  struct Case {
    const char* name;
    Request request;
    bool sendable;  // when connected
  };
  const std::string tooManyDigis = Joined(Calls(26), ",");
  const Case cases[] = {
      {"connect", [](TL2& l) { return l.ConnectExt(1, 0, "N0CALL", "FAR", ""); }, true},
      {"connect via", [](TL2& l) { return l.ConnectExt(1, 0, "N0CALL", "FAR", "RELAY"); }, true},
      {"connect, path too long",
       [&](TL2& l) { return l.ConnectExt(1, 0, "N0CALL", "FAR", tooManyDigis); }, false},
      {"connect, call too long",
       [](TL2& l) { return l.ConnectExt(1, 0, "N0CALL", "FAR", "ABCDEFGHIJK"); }, false},
      {"disconnect", [](TL2& l) { return l.DisconnectExt(1, "N0CALL", "FAR"); }, true},
      {"data", [](TL2& l) { return l.SendData(1, 0xF0, "N0CALL", "FAR", "hi"); }, true},
      {"unproto", [](TL2& l) { return l.SendUNPROTO(1, 0xF0, "N0CALL", "ID", "", "hi"); }, true},
      {"unproto via", [](TL2& l) { return l.SendUNPROTO(1, 0xF0, "N0CALL", "ID", "R1", "hi"); }, true},
      {"unproto, path too long",
       [&](TL2& l) { return l.SendUNPROTO(1, 0xF0, "N0CALL", "ID", Joined(Calls(26), " "), "hi"); },
       false},
      {"raw", [](TL2& l) { return l.SendKiss(1, std::string(kMaxRawFrame, 'k')); }, true},
      {"raw, too long", [](TL2& l) { return l.SendKiss(1, std::string(kMaxRawFrame + 1, 'k')); }, false},
      {"link frames", [](TL2& l) { return l.AskLinkFrames(1, "N0CALL", "FAR"); }, true},
  };
  enum class State { kIdle, kConnecting, kConnected };
  for (State state : {State::kIdle, State::kConnecting, State::kConnected}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(Cat(c.name, " in state ", static_cast<int>(state)));
      LinkHarness h;
      if (state == State::kConnected) h.Connect();
      if (state == State::kConnecting) {
        h.link.SetAddress("127.0.0.1");
        h.link.SetCallSign("N0CALL");
        h.link.SetActive(true);
      }
      const bool expected = state == State::kConnected && c.sendable;
      EXPECT_EQ(c.request(h.link), expected);
      EXPECT_EQ(h.Sent().empty(), !expected);
    }
  }
}

TEST_F(Tl2Requests, AskLinkFramesNamesOwnCallThenRemoteWithNoData) {
  Connect();
  EXPECT_TRUE(link.AskLinkFrames(2, "N0CALL", "N0BBB-1"));
  EXPECT_EQ(socket.TakeWritten(), WireHeader(1, 'Y', 0, "N0CALL", "N0BBB-1", 0));
}

TEST_F(Tl2Requests, EveryCallReachesTheEngineWithSsidZeroAsTheBareCall) {
  // The engine compares calls as written: "N0BBS-0" would never meet the
  // "N0BBS" the air carries.
  using Request = std::function<void(TL2&)>;
  struct Case {
    const char* name;
    Request request;
    std::string wire;
  } cases[] = {
      {"register", [](TL2& l) { l.VOKRegister("N0BBS-0"); }, WireHeader(0, 'X', 0, "N0BBS", "", 0)},
      {"unregister", [](TL2& l) { l.VOKUnRegister("n0bbs-00"); }, WireHeader(0, 'x', 0, "n0bbs", "", 0)},
      {"connect", [](TL2& l) { l.ConnectExt(1, 0, "N0BBS-0", "N0XYZ-0", ""); },
       WireHeader(0, 'C', 0, "N0BBS", "N0XYZ", 0)},
      {"connect via", [](TL2& l) { l.ConnectExt(1, 0, "N0BBS-0", "N0XYZ-10", "RELAY-0*,WIDE2-0"); },
       WireHeader(0, 'v', 0, "N0BBS", "N0XYZ-10", 21) + Block({"RELAY", "WIDE2"})},
      {"disconnect", [](TL2& l) { l.DisconnectExt(1, "N0BBS-0", "N0XYZ-0"); },
       WireHeader(0, 'd', 0, "N0BBS", "N0XYZ", 0)},
      {"data", [](TL2& l) { l.SendData(1, 0xF0, "N0BBS-0", "N0XYZ-0", "hi"); },
       WireHeader(0, 'D', 0xF0, "N0BBS", "N0XYZ", 2) + "hi"},
      {"link frames", [](TL2& l) { l.AskLinkFrames(1, "N0BBS-0", "N0XYZ-0"); },
       WireHeader(0, 'Y', 0, "N0BBS", "N0XYZ", 0)},
      {"unproto via", [](TL2& l) { l.SendUNPROTO(1, 0xF0, "N0BBS-0", "ID-0", "RELAY-0", "hi"); },
       WireHeader(0, 'V', 0xF0, "N0BBS", "ID", 13) + Block({"RELAY"}) + "hi"},
      {"other SSIDs stay", [](TL2& l) { l.SendData(1, 0xF0, "N0BBS-1", "N0XYZ-15", ""); },
       WireHeader(0, 'D', 0xF0, "N0BBS-1", "N0XYZ-15", 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkHarness h;
    h.Connect();
    h.socket.TakeWritten();
    c.request(h.link);
    EXPECT_EQ(h.socket.TakeWritten(), c.wire);
  }
}

// ---- the digipeater block ------------------------------------------------------------------

TEST_F(Tl2Requests, BuildViaWritesCountAndTenByteSlots) {
  std::string block = "stale";
  EXPECT_TRUE(link.BuildVia("", block));
  EXPECT_TRUE(block.empty());
  EXPECT_TRUE(link.BuildVia("   ", block));
  EXPECT_TRUE(block.empty());

  EXPECT_TRUE(link.BuildVia("  ABCDEFG   HIJKLMN ", block));
  EXPECT_EQ(block, "\x02"s + "ABCDEFG\0\0\0"s + "HIJKLMN\0\0\0"s);

  // A call of exactly ten bytes fills its slot without spoiling the next.
  EXPECT_TRUE(link.BuildVia("ABCDEFGHIJ K", block));
  EXPECT_EQ(block, "\x02"s + "ABCDEFGHIJ" + "K\0\0\0\0\0\0\0\0\0"s);
}

TEST_F(Tl2Requests, BuildViaRefusesWhatTheBlockCannotHold) {
  std::string block;
  EXPECT_TRUE(link.BuildVia(Joined(Calls(25), " "), block));
  EXPECT_EQ(block.size(), 251u);
  EXPECT_EQ(ByteAt(block, 0), 25);

  EXPECT_FALSE(link.BuildVia(Joined(Calls(26), " "), block));
  EXPECT_TRUE(block.empty());
  EXPECT_FALSE(link.BuildVia("OK ABCDEFGHIJK", block));
  EXPECT_TRUE(block.empty());
  // However long the path, the answer is a refusal, not an overrun.
  std::string many;
  for (int i = 0; i < 100000; ++i) many += "C ";
  EXPECT_FALSE(link.BuildVia(many, block));
}

}  // namespace
}  // namespace tw::testing
