// Switching a link on and off, and what happens when the engine refuses it
// or goes away.
#include <gtest/gtest.h>

#include <string>

#include "tests/integration/engine_fixture.h"

namespace tw::integration {
namespace {

using LinkLifecycleTest = EngineTest;

TEST_F(LinkLifecycleTest, EngineGoingAwayEndsTheLinkAndARestartedOneRegistersItAgain) {
  RecordingLink& a = NewLink("N0CALL");
  ASSERT_NO_FATAL_FAILURE(Start(a));
  ASSERT_TRUE(a.link.Registered());

  ReplaceEngine();
  ASSERT_TRUE(RunUntil([&] { return a.downs + a.errors > 0; }));
  EXPECT_EQ(a.downs + a.errors, 1);
  EXPECT_FALSE(a.link.Connected());
  // The engine forgot the call with the connection.
  EXPECT_FALSE(a.link.Registered());

  a.link.SetPort(Engine().server.Port());
  EXPECT_EQ(a.link.Port(), Engine().server.Port());
  ASSERT_NO_FATAL_FAILURE(Start(a));
  EXPECT_EQ(a.ups, 2);
  EXPECT_TRUE(a.link.Registered());
  EXPECT_EQ(Engine().KindsFrom(1).substr(0, 3), "XGR");
  EXPECT_EQ(a.startup.versions.size(), 1u);
}

TEST_F(LinkLifecycleTest, RefusedConnectionRaisesAnErrorAndCanBeTriedAgain) {
  RecordingLink& a = NewLink("N0CALL");
  a.link.SetPort(RefusingPort(loop.Context()));
  a.link.SetActive(true);
  ASSERT_TRUE(RunUntil([&] { return a.errors == 1; }));
  EXPECT_FALSE(a.link.Connected());
  EXPECT_EQ(a.ups, 0);
  EXPECT_EQ(a.downs, 0);

  // As the component does while its retries last.
  a.link.SetActive(true);
  ASSERT_TRUE(RunUntil([&] { return a.errors == 2; }));

  a.link.SetPort(Engine().server.Port());
  ASSERT_NO_FATAL_FAILURE(Start(a));
  EXPECT_EQ(a.ups, 1);
}

TEST_F(LinkLifecycleTest, SwitchingOffWhileConnectingAbortsTheAttempt) {
  RecordingLink& refused = NewLink("N0CALL-1");
  refused.link.SetPort(RefusingPort(loop.Context()));
  RecordingLink& live = NewLink("N0CALL-2");

  // The loop has not run yet, so neither attempt can have ended.
  refused.link.SetActive(true);
  refused.link.SetActive(false);
  live.link.SetActive(true);
  live.link.SetActive(false);
  RunQuietSpell();
  EXPECT_EQ(refused.errors, 0);
  EXPECT_EQ(live.ups, 0);
  EXPECT_EQ(live.errors + live.downs, 0);
  EXPECT_FALSE(live.link.Connected());

  // Nothing of the aborted attempt is left to get in the way of a new one.
  ASSERT_NO_FATAL_FAILURE(Start(live));
  EXPECT_EQ(live.ups, 1);
  ASSERT_TRUE(RunUntil([&] { return Engine().engine.ClientCount() == 1; }));

  // Switching on while up starts no second connection.
  live.link.SetActive(true);
  ASSERT_NO_FATAL_FAILURE(Sync(live));
  EXPECT_EQ(live.ups, 1);
  EXPECT_EQ(Engine().engine.ClientCount(), 1u);
}

TEST_F(LinkLifecycleTest, SwitchingOffEndsTheSessionsAtTheOtherEnd) {
  RecordingLink& a = NewLink("N0CALL-1");
  RecordingLink& b = NewLink("N0CALL-2");
  ASSERT_NO_FATAL_FAILURE(Start(a));
  ASSERT_NO_FATAL_FAILURE(Start(b));
  a.link.ConnectExt(1, kPidText, "N0CALL-1", "N0CALL-2", "");
  ASSERT_TRUE(RunUntil([&] { return b.connects.size() == 1; }));

  a.link.SetActive(false);
  EXPECT_EQ(a.downs, 1);
  EXPECT_FALSE(a.link.Connected());
  EXPECT_FALSE(a.link.Registered());
  ASSERT_TRUE(RunUntil([&] { return b.disconnects.size() == 1; }));
  ASSERT_EQ(b.hisDisconnects.size(), 1u);
  EXPECT_EQ(b.hisDisconnects[0].station, "N0CALL-1");
  EXPECT_TRUE(b.link.Connected());
}

}  // namespace
}  // namespace tw::integration
