// Switches an object's trace fully on and keeps its lines in memory (no
// file), split into dated messages and hex-dump lines.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "control/link/trace_log.h"

namespace tw::testing {

class LogLines {
 public:
  explicit LogLines(TraceLog& log, int level = 5) {
    log.SetSwitch("YES");
    log.SetLevel(level);
    log.SetFileName("");
    log.SetSink([this](const std::string& line) { Take(line); });
  }
  LogLines(const LogLines&) = delete;
  LogLines& operator=(const LogLines&) = delete;

  bool Logged(std::string_view message) const {
    return std::find(messages.begin(), messages.end(), message) != messages.end();
  }
  std::size_t Count(std::string_view message) const {
    return static_cast<std::size_t>(std::count(messages.begin(), messages.end(), message));
  }
  // Position of the first occurrence, or the number of messages when absent.
  std::size_t IndexOf(std::string_view message) const {
    return static_cast<std::size_t>(std::find(messages.begin(), messages.end(), message) -
                                    messages.begin());
  }
  void Clear() {
    messages.clear();
    dumps.clear();
  }

  std::vector<std::string> messages;  // dated lines without their date and time
  std::vector<std::string> dumps;     // hex-dump lines as written

 private:
  // "YYYY-MM-DD HH:MM:SS " in front of every dated line.
  static constexpr std::size_t kStampLength = 20;

  void Take(const std::string& line) {
    if (line.starts_with(" |")) {
      dumps.push_back(line);
    } else if (line.size() >= kStampLength) {
      messages.push_back(line.substr(kStampLength));
    } else {
      messages.push_back("<undated> " + line);
    }
  }
};

}  // namespace tw::testing
