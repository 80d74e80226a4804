// What the engine still holds of a link's data: counted from the frames sent
// and the engine's answers, asked about once a second while any is held.
#include <gtest/gtest.h>

#include <sstream>

#include "control/component/link_meter.h"
#include "control/link/frame_codec.h"
#include "tests/component/component_harness.h"

namespace tw::testing {
namespace {

// Steps: "S<n>" n bytes sent, "A" a question goes out, "Y<n>" the engine
// answers n frames, "C" all counted out.
void Run(LinkMeter& meter, const std::string& steps) {
  std::istringstream in(steps);
  std::string step;
  while (in >> step) {
    const std::uint32_t n = step.size() > 1 ? static_cast<std::uint32_t>(std::stoul(step.substr(1))) : 0;
    switch (step[0]) {
      case 'S': meter.Sent(n, kMaxPiece); break;
      case 'A': meter.Asked(); break;
      case 'Y': meter.Answered(n); break;
      case 'C': meter.Clear(); break;
      default: FAIL() << "unknown step " << step;
    }
  }
}

TEST(LinkMeter, AnswersCountOutTheOldestFramesAsOfTheirQuestion) {
  struct Case {
    const char* steps;
    std::size_t frames;
    std::size_t bytes;
  } cases[] = {
      {"", 0, 0},
      {"S100 S255 S256", 4, 611},          // 256 bytes are two frames, as the link cuts them
      {"S0", 1, 0},                        // an empty frame is a frame
      {"S600", 3, 600},
      {"S100 A Y0", 0, 0},
      {"S10 S20 S30 A Y1", 1, 30},         // the newest one is what is left
      {"S10 S20 S30 A Y2", 2, 50},
      {"S10 A S20 Y0", 1, 20},             // sent after the question: still held
      {"S10 S20 A S30 A Y2 Y1", 1, 30},    // answers in the order of their questions
      {"S10 S20 A S30 A Y2", 3, 60},
      {"S10 Y0", 0, 0},                    // an answer nobody asked for counts as of now
      {"S10 S20 A Y5", 2, 30},             // more than were sent: nothing counted out
      {"S10 A Y0 S5 A Y1", 1, 5},
      {"S10 A Y0 A Y0 S5", 1, 5},
      {"S10 S20 A C", 0, 0},
      {"S10 S20 A C S7 Y0", 0, 0},         // the question was forgotten: as of now
      {"S10 S20 A C S7 A Y1", 1, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.steps);
    LinkMeter meter;
    Run(meter, c.steps);
    EXPECT_EQ(meter.Frames(), c.frames);
    EXPECT_EQ(meter.Bytes(), c.bytes);
  }
}

TEST(LinkMeter, HoldsAtMostItsLimitOfFramesAndQuestions) {
  LinkMeter meter;
  for (std::size_t i = 0; i < LinkMeter::kMaxFrames + 3; ++i) meter.Sent(1 + i % 2, kMaxPiece);
  EXPECT_EQ(meter.Frames(), LinkMeter::kMaxFrames);
  EXPECT_EQ(meter.Bytes(), LinkMeter::kMaxFrames / 2 * 3);
  for (std::size_t i = 0; i < LinkMeter::kMaxQuestions + 5; ++i) meter.Asked();
  EXPECT_EQ(meter.Unanswered(), LinkMeter::kMaxQuestions);
  meter.Answered(0);
  EXPECT_EQ(meter.Frames(), 0u);
}

class Meter : public ::testing::Test, public ComponentHarness {
 protected:
  void Connected() {
    BringUp();
    ASSERT_EQ(api.AX25Connect(1, kOwn, "N0TEST", ""), 1);
    EngineConnects("N0TEST");
    Sent();
  }
  void EngineHolds(std::uint32_t frames) { Engine(InFrame('Y', 1, Count32(frames), kOwn, "N0TEST")); }
  void Poll() { Fire(TVOKAPI::kDrainPollMs); }
  std::string Outstanding(int id = 1) {
    int frames = -1;
    int bytes = -1;
    if (!api.AX25Outstanding(id, frames, bytes)) return "none";
    return Cat(bytes, "(", frames, ")");
  }
};

TEST_F(Meter, TheEngineIsAskedOnceASecondWhileItHoldsDataAndOnlyThen) {
  Connected();
  EXPECT_EQ(Outstanding(), "0(0)");
  EXPECT_EQ(TimerWithInterval(TVOKAPI::kDrainPollMs), nullptr) << "no data, no question";
  ASSERT_TRUE(api.AX25Send(1, Numbered(600)));
  EXPECT_EQ(SentKinds(), "DDD");
  EXPECT_EQ(Outstanding(), "600(3)") << "sent, so held until the engine says otherwise";
  Poll();
  auto asked = Sent();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].header.kind, 'Y');
  EXPECT_EQ(asked[0].header.callFrom, kOwn);
  EXPECT_EQ(asked[0].header.callTo, "N0TEST");
  ASSERT_TRUE(api.AX25Send(1, Numbered(100)));  // after the question
  EXPECT_EQ(SentKinds(), "D");
  EngineHolds(1);
  EXPECT_EQ(Outstanding(), "190(2)");
  Poll();
  EXPECT_EQ(SentKinds(), "Y");
  EngineHolds(0);
  EXPECT_EQ(Outstanding(), "0(0)");
  Poll();
  EXPECT_EQ(SentKinds(), "") << "nothing held: not asked";
  EXPECT_FALSE(TimerWithInterval(TVOKAPI::kDrainPollMs)->Enabled());
  EXPECT_EQ(Outstanding(2), "none");
}

TEST_F(Meter, AnEngineThatNeverAnswersIsNoLongerAskedAndItsDataCountsAsSent) {
  Connected();
  ASSERT_TRUE(api.AX25Send(1, "data"));
  Sent();
  for (int tick = 0; tick < TVOKAPI::kDrainSilentTicks; ++tick) Poll();
  EXPECT_EQ(SentKinds(), std::string(TVOKAPI::kDrainSilentTicks, 'Y'));
  EXPECT_EQ(Outstanding(), "4(1)");
  Poll();
  EXPECT_EQ(Outstanding(), "0(0)");
  ASSERT_TRUE(api.AX25Send(1, "more"));
  Poll();
  EXPECT_EQ(SentKinds(), "D");
  EXPECT_EQ(Outstanding(), "0(0)");
}

TEST_F(Meter, ADrainAsksForItselfAndItsAnswersMeterTheLinkToo) {
  Connected();
  ASSERT_TRUE(api.AX25Send(1, Numbered(300)));
  Sent();
  ASSERT_TRUE(api.AX25Disconnect(1));
  EXPECT_EQ(SentKinds(), "Y");
  EngineHolds(1);
  EXPECT_EQ(Outstanding(), "45(1)");
  Poll();
  EXPECT_EQ(SentKinds(), "Y") << "one question a second, not one for each";
  EngineHolds(0);
  EXPECT_EQ(SentKinds(), "d");
  EXPECT_EQ(Outstanding(), "0(0)");
}

TEST_F(Meter, TheMeterIsThereOnlyForOpenTablesAndRecordedLinks) {
  Connected();
  EXPECT_EQ(Outstanding(7), "none");
  api.SetAX25(false);
  EXPECT_EQ(Outstanding(1), "none");
}

}  // namespace
}  // namespace tw::testing
