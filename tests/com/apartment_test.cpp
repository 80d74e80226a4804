// The apartment: entering and leaving, the loop's runs and stops, posts from
// other threads, and the end of an apartment.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/loop/event_loop.h"
#include "tests/com/com_test_support.h"

namespace tw::com::testing {
namespace {

TEST(ApartmentTest, NothingRunsOrIsCreatedOutsideAnApartment) {
  EXPECT_EQ(TwCurrentApartment(), 0u);
  EXPECT_EQ(CurrentLoop(), nullptr);
  EXPECT_EQ(TwLoopRun(), CO_E_NOTINITIALIZED);
  EXPECT_EQ(TwLoopRunOnce(), CO_E_NOTINITIALIZED);
  EXPECT_EQ(TwLoopStop(), CO_E_NOTINITIALIZED);
  int dummy = 0;
  void* object = &dummy;
  EXPECT_EQ(CoCreateInstance(kTestClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &object), CO_E_NOTINITIALIZED);
  EXPECT_EQ(object, nullptr);
  object = &dummy;
  EXPECT_EQ(CoGetClassObject(kTestClsid, CLSCTX_ALL, nullptr, IID_IClassFactory, &object), CO_E_NOTINITIALIZED);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(TwCheckApartment(0), RPC_E_WRONG_THREAD);
  CoUninitialize();  // harmless
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), E_NOTIMPL);
  EXPECT_EQ(CoInitializeEx(&dummy, COINIT_APARTMENTTHREADED), E_INVALIDARG);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | 0x100), E_INVALIDARG);
}

TEST(ApartmentTest, EntriesNestAndTheLastLeaveEndsIt) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  const TW_APARTMENT first = TwCurrentApartment();
  EXPECT_NE(first, 0u);
  EXPECT_NE(CurrentLoop(), nullptr);
  EXPECT_EQ(TwCheckApartment(first), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
  CoUninitialize();
  EXPECT_EQ(TwCurrentApartment(), first);
  CoUninitialize();
  EXPECT_EQ(TwCurrentApartment(), 0u);
  EXPECT_EQ(CurrentLoop(), nullptr);
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_NE(TwCurrentApartment(), first);  // ids are never reused
  EXPECT_EQ(TwCheckApartment(first), RPC_E_WRONG_THREAD);
  CoUninitialize();
}

TEST(ApartmentTest, PostsAndStopsFromAnotherThreadRunOnTheApartmentThreadInOrder) {
  ScopedApartment apartment;
  const TW_APARTMENT id = TwCurrentApartment();
  const auto home = std::this_thread::get_id();
  std::vector<int> order;
  std::atomic<int> elsewhere{0};
  std::atomic<bool> allRan{false};
  std::thread other([&] {
    EXPECT_EQ(TwCheckApartment(id), RPC_E_WRONG_THREAD);
    for (int i = 0; i < 100; ++i) {
      ASSERT_EQ(PostToApartment(id,
                                [&, i] {
                                  if (std::this_thread::get_id() != home) ++elsewhere;
                                  order.push_back(i);
                                  if (i == 99) allRan = true;
                                }),
                S_OK);
    }
    while (!allRan) std::this_thread::yield();
    EXPECT_EQ(TwApartmentStop(id), S_OK);
  });
  EXPECT_EQ(TwLoopRun(), S_OK);
  other.join();
  ASSERT_EQ(order.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
  EXPECT_EQ(elsewhere, 0);
}

TEST(ApartmentTest, RunForRunOnceAndRunUntilTellWhyTheyReturned) {
  ScopedApartment apartment;
  EXPECT_EQ(TwLoopRunFor(10), S_OK);  // the time ran out
  int ran = 0;
  CurrentLoop()->Post([&] { ++ran; });
  CurrentLoop()->Post([&] { ++ran; });
  EXPECT_EQ(TwLoopRunOnce(), S_OK);
  EXPECT_EQ(ran, 2);
  EXPECT_EQ(TwLoopStop(), S_OK);
  EXPECT_EQ(TwLoopRunOnce(), S_FALSE);  // the pending stop, consumed
  EXPECT_EQ(TwLoopRunOnce(), S_OK);
  CurrentLoop()->Post([] { TwLoopStop(); });
  EXPECT_EQ(TwLoopRunFor(60000), S_FALSE);
  // A handler that posts itself again forever does not hold RunOnce.
  std::function<void()> again = [&] {
    ++ran;
    CurrentLoop()->Post(again);
  };
  CurrentLoop()->Post(again);
  EXPECT_EQ(TwLoopRunOnce(), S_OK);
  EXPECT_LE(ran, 2 + TW_LOOP_RUN_ONCE_LIMIT);
  const int before = ran;
  EXPECT_EQ(RunUntil([&] { return ran >= before + 5; }, std::chrono::seconds(10)), S_OK);
  EXPECT_EQ(RunUntil([] { return false; }, std::chrono::milliseconds(5)), S_FALSE);
  EXPECT_EQ(TwLoopRunUntil(nullptr, nullptr, 0), E_INVALIDARG);
}

TEST(ApartmentTest, EndingDropsPendingPostsAndRefusesLaterOnes) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  const TW_APARTMENT id = TwCurrentApartment();
  struct Counts {
    int runs = 0;
    int drops = 0;
  } counts;
  ASSERT_EQ(TwApartmentPost(
                id, [](void* c) { ++static_cast<Counts*>(c)->runs; }, [](void* c) { ++static_cast<Counts*>(c)->drops; },
                &counts),
            S_OK);
  auto captured = std::make_shared<int>(0);
  ASSERT_EQ(PostToApartment(id, [captured] {}), S_OK);
  EXPECT_EQ(captured.use_count(), 2);
  CoUninitialize();
  EXPECT_EQ(counts.runs, 0);
  EXPECT_EQ(counts.drops, 1);
  EXPECT_EQ(captured.use_count(), 1);  // the dropped task let go of what it held
  EXPECT_EQ(TwApartmentPost(id, [](void*) {}, nullptr, nullptr), RPC_E_DISCONNECTED);
  EXPECT_EQ(TwApartmentStop(id), RPC_E_DISCONNECTED);
}

TEST(ApartmentTest, LeavingInsideARunEndsTheApartmentWhenTheRunReturns) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  TW_APARTMENT during = 0;
  CurrentLoop()->Post([&] {
    CoUninitialize();
    during = TwCurrentApartment();
  });
  EXPECT_EQ(TwLoopRun(), S_OK);
  EXPECT_NE(during, 0u);
  EXPECT_EQ(TwCurrentApartment(), 0u);
}

TEST(ApartmentTest, AHandlerThatThrowsIsReportedAndTheLoopStaysUsable) {
  ScopedApartment apartment;
  CurrentLoop()->Post([] { throw std::runtime_error("handler bug"); });
  EXPECT_EQ(TwLoopRunOnce(), E_UNEXPECTED);
  int ran = 0;
  CurrentLoop()->Post([&] { ++ran; });
  EXPECT_EQ(TwLoopRunOnce(), S_OK);
  EXPECT_EQ(ran, 1);
}

}  // namespace
}  // namespace tw::com::testing
