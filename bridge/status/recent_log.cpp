#include "bridge/status/recent_log.h"

namespace tw {

void RecentLog::Add(std::string_view line) {
  if (lines_.size() == kLines) lines_.pop_front();
  lines_.emplace_back(line.substr(0, kLineLimit));
  ++added_;
}

}  // namespace tw
