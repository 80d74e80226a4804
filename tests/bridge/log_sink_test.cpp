// The last stop before the front end: front end and file see the same
// lines, the file's stamped with the local time; the state views pass.
#include "bridge/app/log_sink.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "bridge/log_text.h"
#include "bridge/status/status_snapshot.h"

namespace tw {
namespace {

struct Recorder : BridgeView {
  void addlog(const std::string& line) override { seen.push_back(line); }
  void ShowMyCall(const std::string& call) override { seen.push_back("mycall " + call); }
  void ShowDefaultPort(const std::string& text) override { seen.push_back("port" + text); }
  void ShowAccept(const std::string& text) override { seen.push_back("accept " + text); }
  void ShowStatus(const std::shared_ptr<const StatusSnapshot>& snapshot) override {
    seen.push_back(snapshot ? "status" : "no status");
  }
  void ShowLinksUp(int count) override { seen.push_back("links " + std::to_string(count)); }
  std::vector<std::string> seen;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The line after its "2026-12-08 21:27:03 " stamp; nothing when unstamped.
std::optional<std::string> Unstamped(const std::string& line) {
  const std::string shape = "dddd-dd-dd dd:dd:dd ";
  if (line.size() < shape.size()) return std::nullopt;
  for (std::size_t i = 0; i < shape.size(); ++i) {
    const bool digit = line[i] >= '0' && line[i] <= '9';
    if (shape[i] == 'd' ? !digit : line[i] != shape[i]) return std::nullopt;
  }
  return line.substr(shape.size());
}

TEST(LogSink, FrontAndFileGetEachLineOnceTheFileStamped) {
  const std::string path = ::testing::TempDir() + "log_sink_test.log";
  std::remove(path.c_str());
  {
    std::ofstream earlier(path);
    earlier << "an earlier run\n";
  }
  Recorder front;
  LogSink sink(front);
  sink.addlog("before the file");
  ASSERT_EQ(sink.OpenFile(path), "");
  sink.addlog("EVENT: PE is ready");
  sink.ShowLinksUp(2);
  sink.ShowStatus(std::make_shared<const StatusSnapshot>());
  sink.addlog("now wanted");
  sink.ShowMyCall("N0CALL");
  sink.ShowDefaultPort(" 2");

  EXPECT_EQ(front.seen, (std::vector<std::string>{"before the file", "EVENT: PE is ready", "links 2", "status",
                                                  "now wanted", "mycall N0CALL", "port 2"}));

  std::istringstream file(ReadAll(path));
  std::vector<std::string> unstamped;
  std::string line;
  std::getline(file, line);
  EXPECT_EQ(line, "an earlier run");  // appended, never truncated
  while (std::getline(file, line)) {
    const std::optional<std::string> text = Unstamped(line);
    ASSERT_TRUE(text) << line;
    unstamped.push_back(*text);
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
