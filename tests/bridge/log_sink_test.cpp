// The one way out for log lines: front end, file and hooks see the same
// lines, the file's and the console's stamped with the local time.
#include "bridge/app/log_sink.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "bridge/log_text.h"

namespace tw {
namespace {

struct Recorder : BridgeView {
  void addlog(const std::string& line) override { seen.push_back(line); }
  void ShowMyCall(const std::string& call) override { seen.push_back("mycall " + call); }
  void ShowDefaultPort(const std::string& text) override { seen.push_back("port" + text); }
  void ShowAccept(const std::string& text) override { seen.push_back("accept " + text); }
  std::vector<std::string> seen;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

const std::regex kStamped(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d (.*))");

TEST(LogSink, FrontFileAndHooksGetEachLineOnceTheFileStamped) {
  const std::string path = ::testing::TempDir() + "log_sink_test.log";
  std::remove(path.c_str());
  {
    std::ofstream earlier(path);
    earlier << "an earlier run\n";
  }
  Recorder front;
  std::vector<std::string> hooked;
  LogSink sink(front);
  ASSERT_EQ(sink.OpenFile(path), "");
  sink.AddHook([&](const std::string& line) { hooked.push_back(line); });
  sink.addlog("EVENT: PE is ready");
  sink.Verbose("only for a problem hunt");
  sink.SetVerbose(true);
  sink.Verbose("now wanted");
  sink.ShowMyCall("N0CALL");
  sink.ShowDefaultPort(" 2");

  EXPECT_EQ(front.seen, (std::vector<std::string>{"EVENT: PE is ready", "now wanted", "mycall N0CALL", "port 2"}));
  EXPECT_EQ(hooked, (std::vector<std::string>{"EVENT: PE is ready", "now wanted"}));

  std::istringstream file(ReadAll(path));
  std::vector<std::string> unstamped;
  std::string line;
  std::getline(file, line);
  EXPECT_EQ(line, "an earlier run");  // appended, never truncated
  while (std::getline(file, line)) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, kStamped)) << line;
    unstamped.push_back(match[1]);
  }
  EXPECT_EQ(unstamped,
            (std::vector<std::string>{"EVENT: PE is ready", "now wanted", "MyCall: N0CALL", "Default Radio Port: 2"}));
  std::remove(path.c_str());
}

TEST(LogSink, AFileThatCannotBeOpenedSaysWhy) {
  Recorder front;
  LogSink sink(front);
  EXPECT_EQ(sink.OpenFile("/nonexistent-dir/tw.log"),
            "cannot open the log file /nonexistent-dir/tw.log: No such file or directory");
  sink.addlog("still shown");
  EXPECT_EQ(front.seen, std::vector<std::string>{"still shown"});
}

TEST(LogSink, TheStampIsTheLocalTimeAndTheJournalMakesItsOwn) {
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(LocalStamp(std::chrono::system_clock::from_time_t(1796765223)), "2026-12-08 21:27:03 ");
  unsetenv("JOURNAL_STREAM");
  EXPECT_FALSE(JournalStamps());
  setenv("JOURNAL_STREAM", "8:12345", 1);
  EXPECT_TRUE(JournalStamps());
  unsetenv("JOURNAL_STREAM");
}

}  // namespace
}  // namespace tw
