// A disconnect after data waits until the engine has sent the data.
#include <gtest/gtest.h>

#include "tests/component/component_harness.h"

namespace tw::testing {
namespace {

class Drain : public ::testing::Test, public ComponentHarness {
 protected:
  // A connected channel 1 to N0TEST that has sent data, then AX25Disconnect.
  void SendThenDisconnect() {
    BringUp();
    ASSERT_EQ(api.AX25Connect(1, kOwn, "N0TEST", ""), 1);
    EngineConnects("N0TEST");
    ASSERT_TRUE(api.AX25Send(1, Numbered(2000)));
    Sent();
    ASSERT_TRUE(api.AX25Disconnect(1));
  }
  void EngineHolds(std::uint32_t frames) { Engine(InFrame('Y', 1, Count32(frames), kOwn, "N0TEST")); }
  void Poll() { Fire(TVOKAPI::kDrainPollMs); }
};

TEST_F(Drain, TheDisconnectWaitsUntilTheEngineHoldsNothing) {
  SendThenDisconnect();
  auto asked = Sent();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].header.kind, 'Y');
  EXPECT_EQ(asked[0].header.callFrom, kOwn);
  EXPECT_EQ(asked[0].header.callTo, "N0TEST");
  for (std::uint32_t left : {8u, 5u, 1u}) {
    EngineHolds(left);
    Poll();
    EXPECT_EQ(SentKinds(), "Y") << left;
  }
  EXPECT_FALSE(api.AX25Send(1, "more")) << "a channel that is ending takes no data";
  LinkInfoResult info;
  ASSERT_TRUE(api.AX25Info(1, info));
  EXPECT_EQ(info.iLinkStatus, kLinkConnected);
  EngineHolds(0);
  EXPECT_EQ(SentKinds(), "d");
  EXPECT_TRUE(api.AX25Disconnect(1)) << "asked twice: true, nothing more";
  EXPECT_EQ(SentKinds(), "");
  EngineDisconnects("N0TEST");
  EXPECT_EQ(events.back(), "OnAX25Disconnect(1)");
}

TEST_F(Drain, ACountThatStopsGoingDownGivesUpAfterAMinute) {
  SendThenDisconnect();
  Sent();
  EngineHolds(3);
  for (int tick = 1; tick < TVOKAPI::kDrainStallTicks; ++tick) {
    Poll();
    EngineHolds(3);
  }
  EXPECT_EQ(SentKinds().find('d'), std::string::npos);
  Poll();
  EXPECT_EQ(SentKinds(), "d");
}

TEST_F(Drain, AnEngineThatNeverAnswersGetsTheDisconnectAfterFiveSeconds) {
  SendThenDisconnect();
  Sent();
  for (int tick = 1; tick < TVOKAPI::kDrainSilentTicks; ++tick) Poll();
  EXPECT_EQ(SentKinds().find('d'), std::string::npos);
  Poll();
  EXPECT_EQ(SentKinds(), "d");
}

TEST_F(Drain, WithoutDataTheDisconnectGoesAtOnce) {
  BringUp();
  ASSERT_EQ(api.AX25Connect(1, kOwn, "N0TEST", ""), 1);
  EngineConnects("N0TEST");
  Sent();
  ASSERT_TRUE(api.AX25Disconnect(1));
  EXPECT_EQ(SentKinds(), "d");
}

// Between the once-a-second questions a draining link is asked again soon
// after each answer, never while a question is still unanswered, and the
// quick timer stops once no link drains. Each step: what happens, then the
// kinds of the frames the component wrote.
TEST_F(Drain, ADrainingLinkIsAskedAgainSoonAfterEachAnswer) {
  enum Step { kAnswer, kQuick, kSecond };
  struct Case {
    Step step;
    std::uint32_t frames;  // for kAnswer
    const char* written;
  };
  const Case steps[] = {
      {kQuick, 0, ""},     // the first question has no answer yet
      {kAnswer, 16, ""},   //
      {kQuick, 0, "Y"},    // answered: asked again
      {kQuick, 0, ""},     // not while that one is unanswered
      {kSecond, 0, "Y"},   // the tick of the second asks regardless
      {kAnswer, 16, ""},   // one of the two answered
      {kQuick, 0, ""},     //
      {kAnswer, 9, ""},    // both answered
      {kQuick, 0, "Y"},    //
      {kAnswer, 0, "d"},   // nothing left: the disconnect goes
      {kQuick, 0, ""},     //
  };
  SendThenDisconnect();
  ASSERT_EQ(SentKinds(), "Y");
  int i = 0;
  for (const Case& c : steps) {
    if (c.step == kAnswer) EngineHolds(c.frames);
    if (c.step == kQuick) Fire(TVOKAPI::kDrainQuickPollMs);
    if (c.step == kSecond) Poll();
    EXPECT_EQ(SentKinds(), c.written) << "step " << i;
    ++i;
  }
  FakeTimer* quick = TimerWithInterval(TVOKAPI::kDrainQuickPollMs);
  ASSERT_NE(quick, nullptr);
  EXPECT_FALSE(quick->Enabled()) << "no link drains, nothing to ask";
}

TEST_F(Drain, DataWithoutADisconnectIsNotAskedAboutQuickly) {
  BringUp();
  ASSERT_EQ(api.AX25Connect(1, kOwn, "N0TEST", ""), 1);
  EngineConnects("N0TEST");
  ASSERT_TRUE(api.AX25Send(1, Numbered(2000)));
  Sent();
  Poll();
  ASSERT_EQ(SentKinds(), "Y") << "the meter asks once a second";
  EngineHolds(8);
  EXPECT_EQ(TimerWithInterval(TVOKAPI::kDrainQuickPollMs), nullptr);
}

TEST_F(Drain, ClosingTheTableDoesNotWait) {
  SendThenDisconnect();
  Sent();
  api.SetAX25(false);
  EXPECT_EQ(SentKinds(), "d");
  Poll();
  EXPECT_EQ(SentKinds(), "");
}

}  // namespace
}  // namespace tw::testing
