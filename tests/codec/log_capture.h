// A trace log switched fully on whose lines are collected for inspection.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "control/link/trace_log.h"

namespace tw::testing {

// Length of the "YYYY-MM-DD HH:MM:SS " prefix of a dated line.
inline constexpr std::size_t kStampPrefix = 20;

class LogCapture {
 public:
  explicit LogCapture(int level = 5) {
    log.SetSwitch("YES");
    log.SetLevel(level);
    log.SetSink([this](const std::string& line) { lines.push_back(line); });
  }

  // The messages of the dated lines, without their date and time.
  std::vector<std::string> Messages() const {
    std::vector<std::string> messages;
    for (const auto& line : lines) {
      if (line.size() >= kStampPrefix) messages.push_back(line.substr(kStampPrefix));
    }
    return messages;
  }

  bool Logged(std::string_view message) const {
    auto messages = Messages();
    return std::find(messages.begin(), messages.end(), message) != messages.end();
  }

  TraceLog log;
  std::vector<std::string> lines;
};

}  // namespace tw::testing
