// The last log lines, for views that show the log of a program that has
// been running for days: a ring of at most kLines lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

class RecentLog {
 public:
  static constexpr std::size_t kLines = 200;
  // A line is kept up to this length; the log's own lines are far shorter,
  // but a view must stay small whatever a line holds.
  static constexpr std::size_t kLineLimit = 1000;

  void Add(std::string_view line);
  std::vector<std::string> Lines() const { return {lines_.begin(), lines_.end()}; }
  // Lines added since the start, kept or not: tells a reader whether the
  // ring changed since it last looked.
  std::uint64_t Added() const { return added_; }

 private:
  std::deque<std::string> lines_;
  std::uint64_t added_ = 0;
};

}  // namespace tw
