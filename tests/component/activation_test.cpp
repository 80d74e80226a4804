// Activation, deactivation and reconnection of the component.
#include <gtest/gtest.h>

#include "tests/component/component_harness.h"

namespace tw::testing {
namespace {

class Activation : public ::testing::Test, public ComponentHarness {};

TEST_F(Activation, ActiveOnlyAfterTheVersionReplyThenRequestsWork) {
  api.SetCallSign(kOwn);
  api.SetActive(true);
  Socket().CompleteConnect();
  EXPECT_FALSE(api.Active());
  EXPECT_FALSE(api.SendData(1, 0xF0, kOwn, "N0TEST", "x")) << "refused before the engine answered";
  Engine(VersionReply());
  EXPECT_TRUE(api.Active());
  EXPECT_EQ(api.VOKVersion(), "2005.127");
  EXPECT_EQ(Events(), "OnReady(true)");
  Socket().writes.clear();
  EXPECT_TRUE(api.SendData(1, 0xF0, kOwn, "N0TEST", "x"));
  EXPECT_EQ(SentKinds(), "D");
}

TEST_F(Activation, AnErrorAfterReadyEndsTheLinkAndRetriesAfterAPause) {
  BringUp();
  Socket().Fail("connection reset");
  EXPECT_FALSE(api.Active());
  EXPECT_EQ(Events(), "OnReady(false)");
  EXPECT_FALSE(api.SendData(1, 0xF0, kOwn, "N0TEST", "x")) << "no request succeeds on a dead link";
  EXPECT_EQ(Socket().connectCalls, 1) << "no attempt at once: the engine may be restarting";
  ASSERT_TRUE(api.ReconnectPending());
  FakeTimer* retry = TimerWithInterval(TVOKAPI::kRetryIntervalMs);
  ASSERT_NE(retry, nullptr);
  retry->Fire();
  EXPECT_EQ(Socket().connectCalls, 2);
  Socket().CompleteConnect();
  Engine(VersionReply());
  EXPECT_TRUE(api.Active());
  EXPECT_EQ(Events(), "OnReady(false) OnReady(true)");
}

TEST_F(Activation, AnEngineThatClosesCleanlyIsRetriedToo) {
  BringUp();
  Socket().PeerCloses();
  EXPECT_EQ(Events(), "OnReady(false)");
  EXPECT_TRUE(api.ReconnectPending());
}

TEST_F(Activation, RetriesAreSpacedThenOnErrorAndBudgetComesBack) {
  api.SetCallSign(kOwn);
  api.SetActive(true);
  FakeTimer* retry = nullptr;
  for (int failure = 1; failure < TVOKAPI::kRetries; ++failure) {
    Socket().Fail();
    retry = TimerWithInterval(TVOKAPI::kRetryIntervalMs);
    ASSERT_NE(retry, nullptr);
    ASSERT_TRUE(retry->Enabled()) << "failure " << failure;
    EXPECT_EQ(api.Retry(), TVOKAPI::kRetries - failure);
    retry->Fire();
  }
  EXPECT_EQ(Socket().connectCalls, TVOKAPI::kRetries);
  Socket().Fail();
  EXPECT_EQ(Events(), "OnError");
  EXPECT_FALSE(api.ReconnectPending());

  // The container switches it on again: a fresh cycle with the whole budget.
  api.SetActive(true);
  EXPECT_EQ(Socket().connectCalls, TVOKAPI::kRetries + 1);
  Socket().Fail();
  EXPECT_EQ(api.Retry(), TVOKAPI::kRetries - 1);
  retry->Fire();
  Socket().CompleteConnect();
  Engine(VersionReply());
  EXPECT_EQ(api.Retry(), TVOKAPI::kRetries) << "restored when the engine answered";
}

TEST_F(Activation, SwitchingOffStopsAnAttemptAndAPendingRetry) {
  api.SetCallSign(kOwn);
  api.SetActive(true);
  ASSERT_TRUE(Socket().Active());
  api.SetActive(false);
  EXPECT_FALSE(Socket().Active()) << "the attempt under way is aborted";

  api.SetActive(true);
  Socket().Fail();
  ASSERT_TRUE(api.ReconnectPending());
  api.SetActive(false);
  EXPECT_FALSE(api.ReconnectPending());
  const int attempts = Socket().connectCalls;
  Fire(TVOKAPI::kRetryIntervalMs);
  EXPECT_EQ(Socket().connectCalls, attempts);
  EXPECT_EQ(Events(), "");
}

TEST_F(Activation, SwitchingOnWhileARetryWaitsConnectsAtOnceWithoutASecondCycle) {
  api.SetCallSign(kOwn);
  api.SetActive(true);
  Socket().Fail();
  ASSERT_TRUE(api.ReconnectPending());
  api.SetActive(true);
  EXPECT_EQ(Socket().connectCalls, 2);
  EXPECT_FALSE(api.ReconnectPending());
}

TEST_F(Activation, DeactivationClosesTheTableWithoutChannelEvents) {
  BringUp();
  EngineConnects("N0IN");
  events.clear();
  api.SetActive(false);
  EXPECT_FALSE(api.AX25());
  EXPECT_EQ(SentKinds(), "d");
  EXPECT_EQ(Events(), "OnReady(false)");
  EXPECT_FALSE(api.ReconnectPending());
}

TEST(ActivationLifetime, DestructionRaisesNothingAndNothingItStartedOutlivesIt) {
  FakeEventLoop loop;
  bool raised = false;
  {
    TVOKAPI api(loop);
    api.OnAX25Disconnect = [&](int) { raised = true; };
    api.OnReady = [&](bool) { raised = true; };
    api.OnError = [&] { raised = true; };
    api.SetCallSign("N0CALL");
    api.SetAX25(true);
    // A connect the link refuses (no engine yet) posts its notice for later.
    EXPECT_NE(api.AX25Connect(1, "N0CALL", "N0TEST", ""), 0);
    api.SetActive(true);
    loop.clientSockets.at(0)->Fail();
    ASSERT_TRUE(api.ReconnectPending());
    EXPECT_EQ(TVOKAPI::PostedWork(), 1);
  }
  EXPECT_EQ(loop.liveTimers, 0);
  loop.RunPosted();
  EXPECT_FALSE(raised);
  EXPECT_EQ(TVOKAPI::PostedWork(), 0);
}

}  // namespace
}  // namespace tw::testing
