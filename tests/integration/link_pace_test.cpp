// The link against a loopback engine paced like a radio: the engine's count
// of a link's frames not yet delivered ('Y') reaches the link as
// OnLinkFrames, and a disconnect sent at once loses what was not delivered.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/integration/engine_fixture.h"

namespace tw::integration {
namespace {

const std::string kCallA = "N0CALL-1";
const std::string kCallB = "N0CALL-2";

loopback::EngineConfig Paced() {
  loopback::EngineConfig config;
  config.baud = 9600;  // 255 bytes in about 213 ms
  return config;
}

class LinkPaceTest : public EngineTest {
 protected:
  LinkPaceTest() : EngineTest(Paced()), a(NewLink(kCallA)), b(NewLink(kCallB)) {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(Start(a));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    a.link.OnLinkFrames = [this](TL2&, int port, const std::string& from, const std::string& to,
                                 std::uint32_t count) {
      EXPECT_EQ(port, 1);
      EXPECT_EQ(from, kCallA);
      EXPECT_EQ(to, kCallB);
      counts.push_back(count);
    };
    ASSERT_TRUE(a.link.ConnectExt(1, kPidText, kCallA, kCallB, ""));
    ASSERT_TRUE(RunUntil([&] { return !a.connects.empty() && !b.connects.empty(); }));
  }

  // Asks for the count and waits for the answer.
  std::uint32_t Outstanding() {
    std::size_t before = counts.size();
    EXPECT_TRUE(a.link.AskLinkFrames(1, kCallA, kCallB));
    EXPECT_TRUE(RunUntil([&] { return counts.size() > before; }));
    return counts.empty() ? 0 : counts.back();
  }

  RecordingLink& a;
  RecordingLink& b;
  std::vector<std::uint32_t> counts;
};

TEST_F(LinkPaceTest, TheCountOfFramesNotYetDeliveredGoesDownToZero) {
  const std::string data = Payload(600, 3);  // three frames on the air
  ASSERT_TRUE(a.link.SendData(1, kPidText, kCallA, kCallB, data));
  std::uint32_t first = Outstanding();
  EXPECT_GE(first, 1u);
  EXPECT_LE(first, 3u);
  const auto giveUp = std::chrono::steady_clock::now() + kPatience;
  while (Outstanding() != 0 && std::chrono::steady_clock::now() < giveUp) loop.RunFor(50ms);
  ASSERT_FALSE(counts.empty());
  ASSERT_EQ(counts.back(), 0u);
  for (std::size_t i = 1; i < counts.size(); ++i) EXPECT_LE(counts[i], counts[i - 1]);
  ASSERT_TRUE(RunUntil([&] { return b.received.size() == data.size(); }));
  EXPECT_EQ(b.received, data);
}

TEST_F(LinkPaceTest, ADisconnectSentAtOnceDiscardsWhatWasNotDelivered) {
  // As measured against Dire Wolf: the data sent just before 'd' never arrives.
  ASSERT_TRUE(a.link.SendData(1, kPidText, kCallA, kCallB, Payload(2000, 4)));
  ASSERT_TRUE(a.link.DisconnectExt(1, kCallA, kCallB));
  ASSERT_TRUE(RunUntil([&] { return !a.disconnects.empty() && !b.disconnects.empty(); }));
  RunQuietSpell();
  EXPECT_TRUE(b.received.empty());
}

}  // namespace
}  // namespace tw::integration
