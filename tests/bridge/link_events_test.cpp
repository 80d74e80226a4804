// The control's events: links up, down and carrying data, engine lost and
// back, and what is held for a client that is away.
#include <gtest/gtest.h>

#include "tests/bridge/bridge_harness.h"

namespace tw::testing {
namespace {

TEST_F(BridgeTest, IncomingLinksTakeTheFirstFreeStreamFromAcceptedPorts) {
  StartHost("N0CALL,2,false");
  Incoming("ONE", 1);
  EXPECT_TRUE(Logged("refused connect attempt from ONE on radio port 1"));
  EXPECT_EQ(Written(), "");
  Reply(Block("C1AC NOBODY-1 #2"));  // A is connecting, so not free
  Forget();
  Incoming("TWO", 2);
  EXPECT_EQ(Written(), Block("S1B*** CONNECTED to TWO"));
  for (int i = 0; i < 8; ++i) Incoming("MORE", 2);
  Forget();
  const std::int32_t eleventh = Incoming("ELEVENTH", 2);
  EXPECT_EQ(Written(), "");
  EXPECT_EQ(control.TakeCalls(), Cat("AX25Disconnect ", eleventh));
  EXPECT_TRUE(Logged("refused connect attempt from ELEVENTH on radio port 2"));
}

TEST_F(BridgeTest, ConnectEndedBeforeItWasUpTellsTheClientThroughTheEvent) {
  StartHost();
  Reply(Block("C1AC NOBODY-1"));
  Ended(1);  // the engine was down: the control reports the end later
  EXPECT_EQ(Written(), Block("S1A*** DISCONNECTED"));
  EXPECT_EQ(State(1), StreamState::Disconnected);
}

TEST_F(BridgeTest, ALinkAStreamHoldsIsNeverTakenForANewIncomingOne) {
  StartHost();
  Reply(Block("C1AC NOBODY-1") + Block("C1AD"));
  EXPECT_EQ(State(1), StreamState::Disconnecting);
  Forget();
  core.OnAX25Connect(1);  // the connect completed after the disconnect was asked for
  EXPECT_EQ(Written(), "");
  EXPECT_EQ(State(2), StreamState::Disconnected);
  EXPECT_EQ(control.TakeCalls(), "");
  Ended(1);
  EXPECT_EQ(Written(), Block("S1A*** DISCONNECTED"));
}

TEST_F(BridgeTest, EngineLossFreesEveryStreamAndConnectingAgainWorks) {
  StartHost();
  Outgoing('A', "NOBODY-1");
  Reply(Block("C1BC NOBODY-2"));
  Forget();
  core.OnReady(false);
  EXPECT_EQ(Written(), Block("S1A*** DISCONNECTED") + Block("S1B*** DISCONNECTED"));
  EXPECT_TRUE(Logged("EVENT: engine lost"));
  EXPECT_FALSE(Logged("EVENT: PE is ready"));
  control.links.clear();
  core.OnAX25Disconnect(1);  // the control's own reports find nothing left
  core.OnAX25Disconnect(2);
  EXPECT_EQ(Written(), "");

  core.OnReady(true);
  EXPECT_TRUE(Logged("VOKPE version 1.6"));
  EXPECT_EQ(Reply(Block("C1AC NOBODY-1")), Block("C1A"));
  EXPECT_EQ(control.TakeCalls(), "VOKRegister N0CALL;AX25Connect 1 N0CALL NOBODY-1 ");
}

TEST_F(BridgeTest, DataBlocksCarryAtMostOneFramesDataEscaped) {
  StartHost();
  const std::int32_t id = Outgoing('C', "NOBODY-1");
  core.OnAX25Receive(id, "one\xC0");
  core.OnAX25Receive(id, "two");
  core.OnAX25Receive(id, std::string(600, 'x'));
  core.OnAX25Receive(99, "nobody's");
  EXPECT_EQ(Written(), Block("D1Cone\xDB\xDC") + Block("D1Ctwo") + Block("D1C" + std::string(256, 'x')) +
                           Block("D1C" + std::string(256, 'x')) + Block("D1C" + std::string(88, 'x')));
}

TEST_F(BridgeTest, WhatArrivesWhileTheClientIsAwayIsHeldAndDeliveredInOrder) {
  StartHost();
  const std::int32_t a = Outgoing('A', "NOBODY-1");
  Socket().ClientLeaves();
  core.OnAX25Receive(a, "first");
  const std::int32_t b = Incoming("NOBODY-2");
  core.OnAX25Receive(b, "second");
  Ended(a);
  Socket().ClientConnects();  // still in host mode
  EXPECT_EQ(Written(), Block("D1Afirst") + Block("S1B*** CONNECTED to NOBODY-2") + Block("D1Bsecond") +
                           Block("S1A*** DISCONNECTED"));

  // A client in the terminal dialogue gets them once it is back in host mode.
  Reply(Block("q"));
  core.OnAX25Receive(b, "third");
  EXPECT_EQ(Written(), "");
  EXPECT_EQ(Reply("RESET\r"), "\xC0\xC0S00\xC0" + Block("D1Bthird"));
}

TEST_F(BridgeTest, TooMuchHeldForAnAbsentClientEndsThatLinkWithOneErrorLine) {
  StartHost();
  const std::int32_t id = Outgoing('A', "NOBODY-1");
  Socket().ClientLeaves();
  for (int i = 0; i < 300; ++i) core.OnAX25Receive(id, std::string(250, 'x'));
  EXPECT_EQ(std::count_if(view.lines.begin(), view.lines.end(),
                          [](const std::string& line) { return line.starts_with("ERROR"); }),
            1);
  EXPECT_TRUE(Logged("ERROR stream A holds over 65536 bytes for the client, link disconnected"));
  EXPECT_EQ(control.TakeCalls(), Cat("AX25Disconnect ", id));
  EXPECT_EQ(State(1), StreamState::Disconnecting);
  Ended(id);

  Socket().ClientConnects();
  const std::string got = Written();
  EXPECT_LE(got.size(), HeldBlocks::kStreamBudget + HeldBlocks::kDisconnectReserve);
  EXPECT_EQ(got.substr(0, 255), Block("D1A" + std::string(250, 'x')));
  EXPECT_TRUE(got.ends_with(std::string(250, 'x') + "\xC0" + Block("S1A*** DISCONNECTED")));
}

// A client whose queue fills (it stopped reading) is ended with one ERROR
// line; its links stay, and what they send is held and reaches the next
// client in order, wherever the queue filled, even when that one stops
// reading in the middle of the held blocks too.
TEST(ClientStopsReading, ConnectionEndsLinksStayNextClientGetsTheRest) {
  const std::string big(600, 'b');  // three blocks: 256, 256 and 88 bytes of data
  const std::vector<std::string> blocks = {
      Block("D1Aone"), Block("D1A" + big.substr(0, 256)), Block("D1A" + big.substr(256, 256)),
      Block("D1A" + big.substr(512)), Block("S1B*** CONNECTED to NOBODY-2"), Block("D1Btwo"),
      Block("S1A*** DISCONNECTED")};
  struct Case {
    std::size_t first;   // blocks the first client's queue takes
    std::size_t second;  // blocks the second client's queue takes, of those left
  } cases[] = {{0, 99}, {1, 99}, {2, 99}, {3, 1}, {4, 0}, {6, 99}, {7, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(Cat("first ", c.first, ", second ", c.second));
    BridgeHarness h;
    h.StartHost();
    const std::int32_t a = h.Outgoing('A', "NOBODY-1");
    auto room = [&](std::size_t from, std::size_t count) {
      std::size_t bytes = 0;
      for (std::size_t i = from; i < std::min(blocks.size(), from + count); ++i) bytes += blocks[i].size();
      return bytes;
    };
    h.Socket().writeRoom = room(0, c.first);
    h.core.OnAX25Receive(a, "one");
    h.core.OnAX25Receive(a, big);
    const std::int32_t b = h.Incoming("NOBODY-2");
    h.core.OnAX25Receive(b, "two");
    h.Ended(a);

    std::string got = h.Written();
    const std::size_t ended = c.first < blocks.size() ? 1 : 0;
    EXPECT_EQ(std::count_if(h.view.lines.begin(), h.view.lines.end(),
                            [](const std::string& line) { return line.starts_with("ERROR"); }),
              ended);
    EXPECT_EQ(h.Logged("ERROR the client stopped reading and its queue is full: connection closed, links kept"),
              ended == 1);
    EXPECT_EQ(h.Socket().ClientConnected(), ended == 0);
    EXPECT_EQ(h.control.TakeCalls(), "");  // no link ended for it
    EXPECT_EQ(h.State(2), StreamState::Connected);

    const std::size_t left = blocks.size() - std::min(c.first, blocks.size());
    h.Socket().writeRoom = room(c.first, c.second);
    h.Socket().ClientConnects();
    got += h.Written();
    if (c.second < left) {
      EXPECT_FALSE(h.Socket().ClientConnected());
      h.Socket().writeRoom = SIZE_MAX;
      h.Socket().ClientConnects();
      got += h.Written();
    }
    std::string all;
    for (const std::string& block : blocks) all += block;
    EXPECT_EQ(got, all);
    EXPECT_TRUE(h.core.Held().Empty());
    EXPECT_EQ(h.core.Held().Held(1) + h.core.Held().Held(2), 0u);
  }
}

TEST_F(BridgeTest, ReadyRegistrationAndRefusalsAreLoggedAsWhatTheyAre) {
  StartHost();
  core.OnReady(true);
  EXPECT_EQ(view.lines, (std::vector<std::string>{"EVENT: PE is ready", "VOKPE version 1.6"}));
  EXPECT_EQ(control.TakeCalls(), "VOKRegister N0CALL");
  core.OnRegister("N0CALL", false);
  EXPECT_TRUE(Logged("ERROR registration of N0CALL refused"));
  EXPECT_EQ(view.myCall, "(unset)");
  core.OnRegister("N0CALL", true);
  EXPECT_EQ(view.myCall, "N0CALL");

  BridgeHarness nameless;
  nameless.StartHost("");
  nameless.core.OnReady(true);
  EXPECT_EQ(nameless.control.TakeCalls(), "");
}

}  // namespace
}  // namespace tw::testing
