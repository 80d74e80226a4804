#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/loop/asio_event_loop.h"
#include "tests/loop/loop_test_support.h"

namespace tw::testing {
namespace {

TEST(AsioEventLoopTest, TasksPostedFromAnotherThreadRunOnTheLoopThreadInOrder) {
  AsioEventLoop loop;
  constexpr int kTasks = 500;
  std::vector<int> order;  // touched only on the loop thread
  std::atomic<int> offLoop{0};
  const auto loopThread = std::this_thread::get_id();

  std::thread poster([&] {
    for (int i = 0; i < kTasks; ++i) {
      loop.Post([&, i] {
        if (std::this_thread::get_id() != loopThread) ++offLoop;
        order.push_back(i);
      });
    }
  });
  const bool allRan = loop.RunUntil([&] { return order.size() == kTasks; }, kPatience);
  poster.join();
  ASSERT_TRUE(allRan);
  EXPECT_EQ(offLoop.load(), 0);
  for (int i = 0; i < kTasks; ++i) ASSERT_EQ(order[static_cast<std::size_t>(i)], i);
}

TEST(AsioEventLoopTest, PostedTaskRunsAfterTheCurrentHandler) {
  AsioEventLoop loop;
  std::vector<char> trace;
  loop.Post([&] {
    loop.Post([&] { trace.push_back('b'); });
    trace.push_back('a');
  });
  loop.RunUntilIdle();
  EXPECT_EQ(trace, (std::vector<char>{'a', 'b'}));
}

TEST(AsioEventLoopTest, StopFromAnotherThreadEndsRun) {
  AsioEventLoop loop;
  std::atomic<bool> ran{false};
  std::thread stopper([&] {
    loop.Post([&] { ran = true; });
    // Stops only once the task has run, so Run cannot have returned for
    // any other reason.
    while (!ran) std::this_thread::yield();
    loop.Stop();
  });
  loop.Run();
  stopper.join();
  EXPECT_TRUE(ran);
}

TEST(AsioEventLoopTest, StopBeforeRunEndsOnlyTheNextRun) {
  AsioEventLoop loop;
  int ran = 0;
  loop.Stop();
  loop.Post([&] { ++ran; });
  loop.Run();  // returns at once
  EXPECT_EQ(ran, 0);
  EXPECT_TRUE(loop.RunUntil([&] { return ran == 1; }, kPatience));
}

TEST(AsioEventLoopTest, StopInsideAHandlerEndsRunUntil) {
  AsioEventLoop loop;
  loop.Post([&] { loop.Stop(); });
  EXPECT_FALSE(loop.RunUntil([] { return false; }, kPatience));
  int ran = 0;
  loop.Post([&] { ++ran; });
  EXPECT_TRUE(loop.RunUntil([&] { return ran == 1; }, kPatience));
}

TEST(AsioEventLoopTest, RunUntilGivesUpAtItsTimeout) {
  AsioEventLoop loop;
  EXPECT_FALSE(loop.RunUntil([] { return false; }, std::chrono::milliseconds(20)));
}

TEST(AsioEventLoopTest, RunUntilIdleRunsChainsOfTasksToTheirEnd) {
  AsioEventLoop loop;
  int remaining = 100;
  std::function<void()> step = [&] {
    if (--remaining > 0) loop.Post(step);
  };
  loop.Post(step);
  loop.RunUntilIdle();
  EXPECT_EQ(remaining, 0);
}

}  // namespace
}  // namespace tw::testing
