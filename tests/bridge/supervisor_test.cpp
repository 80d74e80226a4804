// Reaching the engine again after the control gave up.
#include <gtest/gtest.h>

#include "tests/bridge/bridge_harness.h"

namespace tw::testing {
namespace {

TEST_F(BridgeTest, AfterTheControlGivesUpActiveIsSwitchedOnEveryTenSeconds) {
  Start();
  FakeTimer& timer = SupervisorTimer();
  EXPECT_FALSE(timer.Enabled());
  core.OnError();
  core.OnError();
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(timer.Interval(), 10000u);
  EXPECT_EQ(control.TakeCalls(), "");  // the first try waits its 10 s
  timer.Fire();
  timer.Fire();
  EXPECT_EQ(control.TakeCalls(), "Active 1;Active 1");
  core.OnError();  // the fresh cycle gave up too: the same outage

  core.OnReady(true);
  EXPECT_FALSE(timer.Enabled());
  EXPECT_EQ(control.TakeCalls(), "VOKRegister N0CALL");
  timer.Fire();
  EXPECT_EQ(control.TakeCalls(), "");

  core.OnError();  // a new outage
  EXPECT_EQ(std::count(view.lines.begin(), view.lines.end(), EngineSupervisor::kNotReachable), 2);
  core.Form_Unload();
  control.TakeCalls();
  EXPECT_FALSE(timer.Enabled());
  timer.SetEnabled(true);  // even a stray tick switches nothing on
  timer.Fire();
  core.OnError();
  EXPECT_EQ(control.TakeCalls(), "");
  EXPECT_EQ(std::count(view.lines.begin(), view.lines.end(), EngineSupervisor::kNotReachable), 2);
}

}  // namespace
}  // namespace tw::testing
