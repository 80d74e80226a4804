// The window's parts that need no display: the log box's rule, the help
// text's sources and limits, and the queue between the loop's thread and the
// window's.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "bridge/status/status_snapshot.h"
#include "bridge/ui/window/help_text.h"
#include "bridge/ui/window/log_box.h"
#include "bridge/ui/window/ui_queue.h"

namespace tw::window {
namespace {

TEST(LogBox, LinesEndWithCrLfAndTheBoxKeepsItsLastCharacters) {
  struct Case {
    std::size_t filled;  // characters in the box before the line
    std::size_t line;    // characters of the line
    bool cut;
  };
  for (const Case c : {Case{0, 10, false}, Case{29988, 10, false}, Case{29989, 10, true}, Case{29000, 3000, true},
                       Case{100, 40000, true}}) {
    SCOPED_TRACE(std::to_string(c.filled) + "+" + std::to_string(c.line));
    LogBox box;
    std::string filled;
    if (c.filled > 0) {
      const std::string first(c.filled - 2, 'f');
      box.Add(first);
      filled = first + "\r\n";
    }
    ASSERT_EQ(box.Text(), filled);
    const std::string line(c.line, 'L');
    EXPECT_EQ(box.Add(line), c.cut);
    const std::string kept = c.cut ? filled.substr(filled.size() - std::min(filled.size(), LogBox::kKeep)) : filled;
    EXPECT_EQ(box.Text(), kept + line + "\r\n");
  }
}

class HelpTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("tw-help-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_ / "first");
    std::filesystem::create_directories(dir_ / "second");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void Write(const std::string& sub, const std::string& text) {
    std::ofstream(dir_ / sub / kHelpFile, std::ios::binary) << text;
  }
  std::string Dir(const std::string& sub) { return (dir_ / sub).string(); }
  std::filesystem::path dir_;
};

TEST_F(HelpTextTest, TheFirstDirectoryThatHasTheFileWins) {
  Write("second", "from the data directory\n");
  HelpText help = LoadHelpText({Dir("first"), Dir("second")});
  EXPECT_EQ(help.text, "from the data directory\n");
  EXPECT_EQ(help.source, Dir("second") + "/strmread.txt");
  Write("first", "from the working directory\n");
  EXPECT_EQ(LoadHelpText({Dir("first"), Dir("second")}).text, "from the working directory\n");
}

TEST_F(HelpTextTest, AMissingFileGivesAMessageNamingWhereItWasLookedFor) {
  std::filesystem::create_directories(dir_ / "first" / kHelpFile);  // a directory of that name
  HelpText help = LoadHelpText({Dir("first"), Dir("second")});
  EXPECT_TRUE(help.source.empty());
  EXPECT_NE(help.text.find("could not be read"), std::string::npos);
  EXPECT_NE(help.text.find(Dir("second") + "/strmread.txt"), std::string::npos);
}

TEST_F(HelpTextTest, ALargeFileIsShownUpToTheLimitWithANote) {
  Write("first", std::string(5000, 'h'));
  HelpText help = LoadHelpText({Dir("first")}, 4096);
  EXPECT_EQ(help.text.substr(0, 4096), std::string(4096, 'h'));
  EXPECT_NE(help.text.find("is not shown"), std::string::npos);
  EXPECT_EQ(LoadHelpText({Dir("first")}, 5000).text, std::string(5000, 'h'));
}

TEST(UiQueue, OneWakeForManyUpdatesAndOldLogLinesGiveWayFirst) {
  int wakes = 0;
  UiQueue queue([&] { ++wakes; });
  queue.Push({Update::Kind::kMyCall, "N0CALL"});
  const std::string line(1000, 'x');
  for (int i = 0; i < 200; ++i) queue.Push({Update::Kind::kLog, line + std::to_string(i)});
  EXPECT_EQ(wakes, 1);
  std::vector<Update> taken = queue.Take();
  ASSERT_FALSE(taken.empty());
  EXPECT_EQ(taken.front().kind, Update::Kind::kMyCall) << "only log lines are dropped";
  EXPECT_EQ(taken.back().text, line + "199") << "the newest lines are kept";
  std::size_t bytes = 0;
  for (const Update& u : taken) bytes += u.kind == Update::Kind::kLog ? u.text.size() + 2 : 0;
  EXPECT_LE(bytes, UiQueue::kMaxLogBytes);
  queue.Push({Update::Kind::kPort, " 1"});
  EXPECT_EQ(wakes, 2) << "a new wake once the window took what was there";
}

TEST(UiQueue, OnlyTheNewestStateWaitsAndKeepsItsPlaceAfterWhatCameBefore) {
  int wakes = 0;
  UiQueue queue([&] { ++wakes; });
  auto state = [](const std::string& call) {
    auto s = std::make_shared<StatusSnapshot>();
    s->myCall = call;
    return std::shared_ptr<const StatusSnapshot>(s);
  };
  queue.Push({Update::Kind::kStatus, {}, state("FIRST")});
  queue.Push({Update::Kind::kLog, "a line"});
  queue.Push({Update::Kind::kStatus, {}, state("SECOND")});
  queue.Push({Update::Kind::kMyCall, "N0CALL"});
  queue.Push({Update::Kind::kStatus, {}, state("THIRD")});
  EXPECT_EQ(wakes, 1);
  const std::vector<Update> taken = queue.Take();
  ASSERT_EQ(taken.size(), 3u);
  EXPECT_EQ(taken[0].text, "a line");
  EXPECT_EQ(taken[1].kind, Update::Kind::kMyCall);
  ASSERT_EQ(taken[2].kind, Update::Kind::kStatus);
  EXPECT_EQ(taken[2].status->myCall, "THIRD");
}

TEST(UiQueue, UpdatesFromAnotherThreadArriveInOrder) {
  UiQueue queue([] {});
  std::thread loop([&] {
    for (int i = 0; i < 1000; ++i) queue.Push({Update::Kind::kLog, std::to_string(i)});
  });
  std::vector<Update> all;
  while (all.size() < 1000) {
    for (Update& u : queue.Take()) all.push_back(std::move(u));
    std::this_thread::yield();
  }
  loop.join();
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(all[static_cast<std::size_t>(i)].text, std::to_string(i));
}

}  // namespace
}  // namespace tw::window
