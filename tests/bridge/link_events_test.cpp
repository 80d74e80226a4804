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
