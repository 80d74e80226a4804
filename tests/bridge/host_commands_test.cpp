// Host-mode commands, as the clients in use send them.
#include <gtest/gtest.h>

#include "tests/bridge/bridge_harness.h"

namespace tw::testing {
namespace {

const std::string kGone = Block("S1A*** DISCONNECTED");

TEST_F(BridgeTest, HostCommandsAnswerAsAKamDoes) {
  struct Case {
    std::string block;
    std::string reply;
    std::string calls;
    std::string log;  // one line that must be there, or ""
  } cases[] = {
      // Connects: C or an abbreviation of CONNECT, a path after V or VIA, a port after #.
      {"C1AC nobody-1 v a b,c #2", Block("C1A"), "AX25Connect 2 N0CALL NOBODY-1 A,B,C", ""},
      {"C1Bconnect NOBODY-1 VIA A,,B , C", Block("C1B"), "AX25Connect 1 N0CALL NOBODY-1 A,B,C", ""},
      {"C1ACONN NOBODY-1 #3", Block("C1A"), "AX25Connect 3 N0CALL NOBODY-1 ", ""},
      {"C1AC NOBODY-1 #17", Block("C1A") + kGone, "", "ERROR radio port out of range #17"},
      {"C1AC NOBODY-1 #", Block("C1A") + kGone, "", "ERROR radio port out of range #"},
      {"C1AC", Block("C1A") + kGone, "", "ERROR connect without a call-sign"},
      // Other words on port 1 are settings, not connects or disconnects.
      // The radio's settings are the engine's: the same answer, a plain line.
      {"C1ACHECK 30", Block("C1A"), "", "ignored KAM setting: CHECK 30"},
      {"C1ADWAIT 0", Block("C1A"), "", "ignored KAM setting: DWAIT 0"},
      {"C10MAXFRAME 4", Block("C10"), "", "ignored KAM setting: MAXFRAME 4"},
      // Anything else is an error, its block on the same line.
      {"C1ACTEXT hello", Block("C1A"), "", "ERROR Unknown Hostmode Client request> \\xC0C1ACTEXT hello\\xC0"},
      {"D1AMAXFRAME 4", Block("C1AA/V Link state is: DISCONNECTED"), "", ""},
      {"C1ACH 5", Block("C00"), "", ""},
      {"C0AMAXUSERS 1", Block("C00"), "", ""},
      {"C1Adisc", Block("C1ACan't DISCONNECT, A/V Link state is: DISCONNECTED"), "", ""},
      // MYCALL: the word after MYCALL or MY; of "A/B" the first call; none asks.
      {"C1AMYCALL n0new", Block("C00"), "VOKUnRegister N0CALL;VOKRegister N0NEW", ""},
      {"C10MY N0NEW-1/N0NEW-2", Block("C00"), "VOKUnRegister N0CALL;VOKRegister N0NEW-1", ""},
      {"C1AMYCALL", Block("C00MYCALL N0CALL"), "", ""},
      {"C1AMYPTCALL N0NEW", Block("C1A"), "", "ERROR Unknown Hostmode Client request> \\xC0C1AMYPTCALL N0NEW\\xC0"},
      // SSID 0 is the bare call, for the engine compares calls as written.
      {"C10MY N0BBS-0", Block("C00"), "VOKUnRegister N0CALL;VOKRegister N0BBS", ""},
      {"C10MYCALL n0bbs-00/N0BBS-1", Block("C00"), "VOKUnRegister N0CALL;VOKRegister N0BBS", ""},
      {"C10MY N0BBS-10", Block("C00"), "VOKUnRegister N0CALL;VOKRegister N0BBS-10", ""},
      {"C1AC n0xyz-0 v relay-0,wide2-0", Block("C1A"), "AX25Connect 1 N0CALL N0XYZ RELAY,WIDE2", ""},
      {"C1AC N0XYZ-0 VIA RELAY-1", Block("C1A"), "AX25Connect 1 N0CALL N0XYZ RELAY-1", ""},
      // TRIES, in any case, on the block's own port and stream.
      {"C1ATRIES", Block("C1ATRIES 0"), "", ""},
      {"C1Jtries", Block("C1JTRIES 0"), "", ""},
      {"C1CTRIES 5", Block("C1CTRIES 0"), "", ""},
      {"C10Tries", Block("C10TRIES 0"), "", ""},
      {"C1ATRI", Block("C1A"), "", "ERROR Unknown Hostmode Client request> \\xC0C1ATRI\\xC0"},
      // Every command block is answered, on its own port and stream.
      {"C20TOR", Block("C20"), "", "ERROR Unknown Hostmode Client request> \\xC0C20TOR\\xC0"},
      {"C", Block("C00"), "", "ERROR Unknown Hostmode Client request> \\xC0C\\xC0"},
      {"C1KC NOBODY-1", Block("C1K"), "", "ERROR client stream out of range K"},
      {"X1A", "", "", "ERROR Unknown Hostmode Client request> \\xC0X1A\\xC0"},
      {"X1AMAXFRAME 4", "", "", "ERROR Unknown Hostmode Client request> \\xC0X1AMAXFRAME 4\\xC0"},
      {"?", Block("C00"), "", ""},
      {"D1Adata", Block("C1AA/V Link state is: DISCONNECTED"), "", ""},
      // Leaving host mode, in either case; the block is answered as a terminal line too.
      {"q", "INTFACE was HOST\rcmd:\rEH?", "", ""},
      {"Q", "INTFACE was HOST\rcmd:\rEH?", "", ""},
  };
  for (const Case& c : cases) {
    BridgeHarness h;
    h.StartHost();
    SCOPED_TRACE(c.block);
    EXPECT_EQ(h.Reply(Block(c.block)), c.reply);
    EXPECT_EQ(h.control.TakeCalls(), c.calls);
    if (!c.log.empty()) {
      EXPECT_TRUE(h.Logged(c.log));
    } else {
      EXPECT_FALSE(h.Logged("ERROR Unknown Hostmode Client request>"));
    }
  }
}

TEST_F(BridgeTest, AnEngineSettingIsLoggedOncePerNameAndAnsweredEveryTime) {
  StartHost();
  const std::string blocks = Block("C10MAXFRAME 4") + Block("C10PACLEN 128") + Block("C10MAXFRAME 7");
  EXPECT_EQ(Reply(blocks), Block("C10") + Block("C10") + Block("C10"));
  EXPECT_EQ(view.lines, (std::vector<std::string>{"ignored KAM setting: MAXFRAME 4", "ignored KAM setting: PACLEN 128"}));
}

TEST_F(BridgeTest, StatusQueryIsOneBlockWithALinePerStream) {
  StartHost();
  const std::int32_t alpha = Outgoing('A', "ALPHA");
  control.links[alpha].szVIA = "RELAY";
  Reply(Block("C1BC BRAVO"));
  const std::int32_t charlie = Outgoing('C', "CHARLIE");
  Reply(Block("C1CD"));
  control.links.erase(charlie);  // its AX25Info now fails
  Forget();

  const std::string want = Block(
      "C00FREE BYTES 936\r"
      "A/V stream - CONNECTED to ALPHA VIA RELAY\r"
      "B/V stream - CONNECT in progress \r"
      "C/V stream - DISC in progress \r"
      "D/V stream - DISCONNECTED\rE/V stream - DISCONNECTED\rF/V stream - DISCONNECTED\r"
      "G/V stream - DISCONNECTED\rH/V stream - DISCONNECTED\rI/V stream - DISCONNECTED\r"
      "J/V stream - DISCONNECTED\r");
  for (const char* query : {"C1AS", "C00STATUS", "C0Ast"}) EXPECT_EQ(Reply(Block(query)), want) << query;
  EXPECT_TRUE(Logged("AX25info method fail hostcase status 3"));
}

TEST(HostStatus, AStreamWhoseDataTheEngineStillHoldsIsMeteredAfterItsPrefix) {
  enum class Link { kConnected, kConnectedVia, kConnecting, kDisconnecting };
  struct Case {
    Link link;
    std::int32_t frames, bytes;  // what the control reports; frames < 0: no report
    std::string line;            // stream A's line
  } cases[] = {
      {Link::kConnected, 12, 1145, "A/V #1145(12) stream - CONNECTED to N0XYZ"},
      {Link::kConnected, 1, 0, "A/V #0(1) stream - CONNECTED to N0XYZ"},
      {Link::kConnected, 0, 0, "A/V stream - CONNECTED to N0XYZ"},
      {Link::kConnected, 0, 77, "A/V stream - CONNECTED to N0XYZ"},
      {Link::kConnected, -1, 0, "A/V stream - CONNECTED to N0XYZ"},
      {Link::kConnectedVia, 3, 600, "A/V #600(3) stream - CONNECTED to N0XYZ VIA RELAY"},
      {Link::kDisconnecting, 2, 300, "A/V #300(2) stream - DISC in progress N0XYZ"},
      {Link::kConnecting, 2, 300, "A/V stream - CONNECT in progress "},
  };
  const std::string others =
      "B/V stream - DISCONNECTED\rC/V stream - DISCONNECTED\rD/V stream - DISCONNECTED\r"
      "E/V stream - DISCONNECTED\rF/V stream - DISCONNECTED\rG/V stream - DISCONNECTED\r"
      "H/V stream - DISCONNECTED\rI/V stream - DISCONNECTED\rJ/V stream - DISCONNECTED\r";
  const std::string query = Block("C1AS");
  for (const Case& c : cases) {
    // The query whole, and cut in two as a serial line may deliver it.
    for (std::size_t cut : {query.size(), std::size_t{3}}) {
      SCOPED_TRACE(Cat(c.line, " cut at ", cut));
      BridgeHarness h;
      h.StartHost();
      std::int32_t id = h.control.nextId;
      if (c.link == Link::kConnecting) {
        h.Reply(Block("C1AC N0XYZ"));
      } else {
        id = h.Outgoing('A', "N0XYZ");
        if (c.link == Link::kConnectedVia) h.control.links[id].szVIA = "RELAY";
        if (c.link == Link::kDisconnecting) h.Reply(Block("C1AD"));
      }
      if (c.frames >= 0) h.control.outstanding[id] = {c.frames, c.bytes};
      h.Forget();
      std::string reply = h.Reply(query.substr(0, cut));
      reply += h.Reply(query.substr(cut));
      EXPECT_EQ(reply, Block("C00FREE BYTES 936\r" + c.line + "\r" + others));
    }
  }
}

TEST_F(BridgeTest, RefusedConnectKeepsTheStreamFree) {
  StartHost();
  control.refuseConnect = true;
  EXPECT_EQ(Reply(Block("C1AC NOBODY-1")), Block("C1A") + kGone);
  // The written text first, then why.
  EXPECT_TRUE(Logged("ERROR AX25Connect refused NOBODY-1 on radio port 1: the engine is not connected"));
  EXPECT_EQ(State(1), StreamState::Disconnected);
  control.refuseConnect = false;
  EXPECT_EQ(Reply(Block("C1AC NOBODY-1")), Block("C1A"));
  EXPECT_EQ(State(1), StreamState::Connecting);
}

TEST_F(BridgeTest, DataGoesOutUnescapedAndARefusedSendEndsTheStream) {
  StartHost();
  const std::int32_t id = Outgoing('A', "NOBODY-1");
  EXPECT_EQ(Reply(Block("D1A\xDB\xDC" "x\xDB\xDD") + Block("D1A")), "");
  EXPECT_EQ(control.TakeCalls(), Cat("AX25Send ", id, " \xC0x\xDB"));

  control.refuseSend = true;
  EXPECT_EQ(Reply(Block("D1Alost")), kGone);
  EXPECT_EQ(control.TakeCalls(), Cat("AX25Send ", id, " lost;AX25Disconnect ", id));
  EXPECT_TRUE(Logged("ERROR AX25Send not accepted"));
  EXPECT_TRUE(Logged("stream A disconnected"));
  EXPECT_EQ(State(1), StreamState::Disconnected);
  Ended(id);  // the control's late report changes nothing
  EXPECT_EQ(Written(), "");
}

TEST_F(BridgeTest, MyCallIsRefusedWhileAStreamIsBusy) {
  StartHost();
  Reply(Block("C1JC NOBODY-1"));
  Forget();
  for (const char* command : {"C1AMYCALL N0NEW", "C1AMY N0NEW"}) {
    EXPECT_EQ(Reply(Block(command)), Block("C00Not while connected"));
  }
  EXPECT_EQ(core.mycall(), "N0CALL");
  EXPECT_EQ(control.TakeCalls(), "");
}

TEST_F(BridgeTest, DisconnectOfALinkTheControlNoLongerKnowsFreesTheStream) {
  StartHost();
  const std::int32_t id = Outgoing('A', "NOBODY-1");
  EXPECT_EQ(Reply(Block("C1AD")), Block("C1A"));
  EXPECT_EQ(State(1), StreamState::Disconnecting);
  EXPECT_EQ(control.TakeCalls(), Cat("AX25Disconnect ", id));

  const std::int32_t stale = Outgoing('B', "NOBODY-2");
  control.links.erase(stale);
  EXPECT_EQ(Reply(Block("C1BD")), Block("C1B") + Block("S1B*** DISCONNECTED"));
  EXPECT_TRUE(Logged("ERROR disconnect method fail"));
  EXPECT_EQ(State(2), StreamState::Disconnected);
  EXPECT_EQ(control.TakeCalls(), Cat("AX25Disconnect ", stale));
}

}  // namespace
}  // namespace tw::testing
