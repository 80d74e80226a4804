#include <gtest/gtest.h>

#include <memory>

#include "platform/loop/asio_event_loop.h"
#include "tests/loop/loop_test_support.h"

namespace tw::testing {
namespace {

class TimerTest : public ::testing::Test {
 protected:
  AsioEventLoop loop;
};

TEST_F(TimerTest, TicksRepeatedlyOnTheLoop) {
  auto timer = loop.NewTimer();
  int ticks = 0;
  timer->SetHandler([&] { ++ticks; });
  timer->SetInterval(5);
  EXPECT_EQ(timer->Interval(), 5u);
  timer->SetEnabled(true);
  EXPECT_TRUE(timer->Enabled());
  EXPECT_EQ(ticks, 0);
  EXPECT_TRUE(loop.RunUntil([&] { return ticks >= 5; }, kPatience));
}

TEST_F(TimerTest, DisablingInsideTheTickStopsIt) {
  auto timer = loop.NewTimer();
  int ticks = 0;
  timer->SetHandler([&] {
    if (++ticks == 3) timer->SetEnabled(false);
  });
  timer->SetInterval(2);
  timer->SetEnabled(true);
  ASSERT_TRUE(loop.RunUntil([&] { return ticks == 3; }, kPatience));
  loop.RunFor(kQuietSpell);
  EXPECT_EQ(ticks, 3);
  EXPECT_FALSE(timer->Enabled());

  timer->SetEnabled(true);  // and it can be started again
  EXPECT_TRUE(loop.RunUntil([&] { return ticks == 4; }, kPatience));
}

TEST_F(TimerTest, OneShotByRestartingInsideTheTick) {
  // The link's poll timer: each tick stops the timer; later work restarts it.
  auto timer = loop.NewTimer();
  int ticks = 0;
  timer->SetHandler([&] {
    ++ticks;
    timer->SetEnabled(false);
    timer->SetInterval(3);
    if (ticks < 3) timer->SetEnabled(true);
  });
  timer->SetInterval(1);
  timer->SetEnabled(true);
  ASSERT_TRUE(loop.RunUntil([&] { return ticks == 3; }, kPatience));
  loop.RunFor(kQuietSpell);
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(timer->Interval(), 3u);
}

TEST_F(TimerTest, DisabledFromOutsideItDoesNotTick) {
  auto timer = loop.NewTimer();
  int ticks = 0;
  timer->SetHandler([&] { ++ticks; });
  timer->SetInterval(1);
  timer->SetEnabled(true);
  timer->SetEnabled(false);
  loop.RunFor(kQuietSpell);
  EXPECT_EQ(ticks, 0);
}

TEST_F(TimerTest, IntervalZeroNeverTicksUntilAnIntervalIsSet) {
  auto timer = loop.NewTimer();
  int ticks = 0;
  timer->SetHandler([&] { ++ticks; });
  timer->SetInterval(0);
  timer->SetEnabled(true);
  loop.RunFor(kQuietSpell);
  EXPECT_EQ(ticks, 0);
  EXPECT_TRUE(timer->Enabled());
  timer->SetInterval(2);
  EXPECT_TRUE(loop.RunUntil([&] { return ticks >= 2; }, kPatience));
}

TEST_F(TimerTest, DestroyingItCancelsTheCountdown) {
  auto ticks = std::make_shared<int>(0);
  auto timer = loop.NewTimer();
  timer->SetHandler([ticks] { ++*ticks; });
  timer->SetInterval(1);
  timer->SetEnabled(true);
  timer.reset();
  loop.RunFor(kQuietSpell);
  EXPECT_EQ(*ticks, 0);
}

TEST_F(TimerTest, TheTickMayDestroyTheTimerOrReplaceItsHandler) {
  auto timer = loop.NewTimer();
  int first = 0;
  int second = 0;
  timer->SetHandler([&] {
    ++first;
    timer->SetHandler([&] {
      ++second;
      timer.reset();
    });
  });
  timer->SetInterval(1);
  timer->SetEnabled(true);
  ASSERT_TRUE(loop.RunUntil([&] { return timer == nullptr; }, kPatience));
  loop.RunFor(kQuietSpell);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 1);
}

}  // namespace
}  // namespace tw::testing
