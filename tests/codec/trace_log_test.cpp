#include "control/link/trace_log.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "tests/codec/log_capture.h"

namespace tw {
namespace {

using namespace std::string_literals;
using testing::LogCapture;
namespace fs = std::filesystem;

std::string Repeat(std::string_view piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out.append(piece);
  return out;
}

bool LooksLikeStamp(std::string_view text) {
  static constexpr std::string_view kPattern = "dddd-dd-dd dd:dd:dd";
  if (text.size() != kPattern.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
    if (kPattern[i] == 'd' ? !digit : text[i] != kPattern[i]) return false;
  }
  return true;
}

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           (std::string("tw_trace_") + info->name() + "_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  static std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(Read(path));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  fs::path dir_;
};

TEST(TraceLogSwitch, OnlyTheExactTextYesSwitchesLoggingOn) {
  for (const char* value : {"yes", "Yes", "YES ", " YES", "YE", "NOT", ""}) {
    SCOPED_TRACE(value);
    LogCapture capture;
    capture.log.SetSwitch(value);
    capture.log.LogLine(1, "{L2} message");
    capture.log.LogHex(1, "data");
    EXPECT_FALSE(capture.log.On());
    EXPECT_TRUE(capture.lines.empty());
  }
  LogCapture capture;
  capture.log.SetSwitch("YES");
  capture.log.LogLine(1, "{L2} message");
  EXPECT_EQ(capture.Messages(), std::vector<std::string>{"{L2} message"});
}

TEST(TraceLogSwitch, TheComponentsBooleanSwitchKeepsTheTextInStep) {
  LogCapture capture;
  capture.log.SetOn(false);
  EXPECT_EQ(capture.log.Switch(), "NOT");
  capture.log.LogLine(1, "dropped");
  capture.log.SetOn(true);
  EXPECT_EQ(capture.log.Switch(), "YES");
  capture.log.LogLine(1, "kept");
  EXPECT_EQ(capture.Messages(), std::vector<std::string>{"kept"});
}

TEST(TraceLogLevel, TraceThreeWritesLevelsOneToThreeOnly) {
  LogCapture capture(3);
  for (int level = 1; level <= 5; ++level) capture.log.LogLine(level, "level " + std::to_string(level));
  EXPECT_EQ(capture.Messages(), (std::vector<std::string>{"level 1", "level 2", "level 3"}));
  EXPECT_TRUE(capture.log.Enabled(3));
  EXPECT_FALSE(capture.log.Enabled(4));
}

TEST(TraceLogLevel, HexDumpsAreGatedLikeLines) {
  LogCapture capture(4);
  capture.log.LogHex(5, "HELLO");
  EXPECT_TRUE(capture.lines.empty());
  capture.log.LogHex(4, "HELLO");
  EXPECT_EQ(capture.lines.size(), 1u);
}

TEST(TraceLogLevel, ADisabledMessageIsNeverBuilt) {
  int built = 0;
  auto make = [&] {
    ++built;
    return std::string("{L2} built");
  };
  LogCapture capture(3);
  capture.log.LogLine(4, make);
  capture.log.LogLine(5, make);
  EXPECT_EQ(built, 0);

  capture.log.SetSwitch("NOT");
  capture.log.LogLine(1, make);
  EXPECT_EQ(built, 0);
  EXPECT_TRUE(capture.lines.empty());

  capture.log.SetSwitch("YES");
  capture.log.LogLine(3, make);
  EXPECT_EQ(built, 1);
  EXPECT_EQ(capture.Messages(), std::vector<std::string>{"{L2} built"});
}

TEST(TraceLogLine, OneLinePerMessageWithDateTimeAndBlankPrefix) {
  LogCapture capture;
  std::string before = TraceLog::Timestamp();
  capture.log.LogLine(1, "{L2} <Op> first");
  capture.log.LogLine(2, "{L2} second \x00\xFF"s);
  std::string after = TraceLog::Timestamp();

  ASSERT_EQ(capture.lines.size(), 2u);
  for (const auto& line : capture.lines) {
    std::string stamp = line.substr(0, 19);
    EXPECT_TRUE(LooksLikeStamp(stamp)) << line;
    EXPECT_EQ(line[19], ' ');
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, after);
  }
  EXPECT_EQ(capture.lines[0].substr(20), "{L2} <Op> first");
  EXPECT_EQ(capture.lines[1].substr(20), "{L2} second \x00\xFF"s);
}

TEST(TraceLogHexDump, FiveBytesGiveOnePaddedLine) {
  std::string expected = " |48 45 4C 4C 4F " + Repeat("-- ", 11) + "|HELLO" + std::string(11, ' ');
  EXPECT_EQ(expected.size(), 67u);
  EXPECT_EQ(TraceLog::HexDump("HELLO"), expected + "\n");
}

TEST(TraceLogHexDump, SixteenBytesGiveExactlyOneUnpaddedLine) {
  EXPECT_EQ(TraceLog::HexDump("0123456789abcdef"),
            " |30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66 |0123456789abcdef\n");
}

TEST(TraceLogHexDump, SeventeenBytesGiveASecondLineWithFifteenPads) {
  std::string dump = TraceLog::HexDump("0123456789ABCDEFz");
  std::string second = " |7A " + Repeat("-- ", 15) + "|z" + std::string(15, ' ') + "\n";
  EXPECT_EQ(dump, " |30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46 |0123456789ABCDEF\n" + second);
}

TEST(TraceLogHexDump, OnlyBlankToLowerZAreShownAsCharacters) {
  std::string data = "\x00\x1F\x20\x7A\x7B\x7C\x7D\x7E\x7F\x80\xFF\x0D\x41\x21\x60\x0A"s;
  EXPECT_EQ(TraceLog::HexDump(data),
            " |00 1F 20 7A 7B 7C 7D 7E 7F 80 FF 0D 41 21 60 0A |.. z........A!`.\n");
}

TEST(TraceLogHexDump, HexGoesToTheSinkOneUndatedLineAtATime) {
  LogCapture capture;
  capture.log.LogHex(5, "0123456789ABCDEF\x01\x02"s);
  ASSERT_EQ(capture.lines.size(), 2u);
  EXPECT_EQ(capture.lines[0], " |30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46 |0123456789ABCDEF");
  EXPECT_EQ(capture.lines[1], " |01 02 " + Repeat("-- ", 14) + "|.." + std::string(14, ' '));

  capture.log.LogHex(5, "");
  EXPECT_EQ(capture.lines.size(), 2u);
}

TEST_F(TempDir, AMissingFileIsCreatedAndLinesAreAppended) {
  std::string path = PathOf("L2.LOG");
  ASSERT_FALSE(fs::exists(path));
  TraceLog log;
  log.SetSwitch("YES");
  log.SetLevel(5);
  log.SetFileName(path);
  log.LogLine(1, "{L2} one");
  ASSERT_TRUE(fs::exists(path));
  log.LogHex(5, "AB");
  log.LogLine(4, "{L2} two");

  auto lines = ReadLines(path);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(LooksLikeStamp(lines[0].substr(0, 19)));
  EXPECT_EQ(lines[0].substr(19), " {L2} one");
  EXPECT_EQ(lines[1], " |41 42 " + Repeat("-- ", 14) + "|AB" + std::string(14, ' '));
  EXPECT_EQ(lines[2].substr(19), " {L2} two");
}

TEST_F(TempDir, TwoLogsNamingOneFileInterleaveInCallOrder) {
  std::string path = PathOf("shared.log");
  TraceLog a;
  TraceLog b;
  for (TraceLog* log : {&a, &b}) {
    log->SetSwitch("YES");
    log->SetFileName(path);
  }
  a.LogLine(1, "{L2} a1");
  b.LogLine(1, "{L2Beacon} b1");
  a.LogLine(1, "{L2} a2");
  auto lines = ReadLines(path);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].substr(20), "{L2} a1");
  EXPECT_EQ(lines[1].substr(20), "{L2Beacon} b1");
  EXPECT_EQ(lines[2].substr(20), "{L2} a2");
}

TEST_F(TempDir, AnUnwritableFileIsSkippedAndTheSinkStillGetsTheLine) {
  LogCapture capture;
  for (const std::string& path : {dir_.string(), PathOf("missing/dir/x.log")}) {
    SCOPED_TRACE(path);
    capture.lines.clear();
    capture.log.SetFileName(path);
    EXPECT_NO_THROW(capture.log.LogLine(1, "{L2} still here"));
    EXPECT_NO_THROW(capture.log.LogHex(5, "xyz"));
    EXPECT_NO_THROW(capture.log.TruncateFile());
    ASSERT_EQ(capture.lines.size(), 2u);
    EXPECT_EQ(capture.lines[0].substr(20), "{L2} still here");
  }
  EXPECT_TRUE(fs::is_directory(dir_));
  EXPECT_FALSE(fs::exists(PathOf("missing")));

  // Logging goes on as soon as the name is usable again.
  std::string path = PathOf("ok.log");
  capture.log.SetFileName(path);
  capture.log.LogLine(1, "{L2} written");
  EXPECT_EQ(ReadLines(path).size(), 1u);
}

TEST_F(TempDir, TruncateFileEmptiesAnExistingFileAndCreatesAMissingOne) {
  std::string path = PathOf("VOK.LOG");
  TraceLog log;
  log.SetFileName(path);
  log.TruncateFile();
  ASSERT_TRUE(fs::exists(path));
  EXPECT_EQ(fs::file_size(path), 0u);

  log.SetOn(true);
  log.LogLine(1, "{VOK} old line");
  ASSERT_GT(fs::file_size(path), 0u);
  log.TruncateFile();
  EXPECT_EQ(fs::file_size(path), 0u);
  log.LogLine(1, "{VOK} new line");
  auto lines = ReadLines(path);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].substr(20), "{VOK} new line");
}

TEST_F(TempDir, WithoutAFileNameLinesReachOnlyTheSink) {
  auto before = std::distance(fs::directory_iterator(dir_), fs::directory_iterator());
  fs::path previous = fs::current_path();
  fs::current_path(dir_);
  LogCapture capture;
  capture.log.LogLine(1, "{VOK} only to the container");
  capture.log.TruncateFile();
  EXPECT_EQ(capture.lines.size(), 1u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), before);
  fs::current_path(previous);
}

}  // namespace
}  // namespace tw
