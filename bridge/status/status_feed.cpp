#include "bridge/status/status_feed.h"

namespace tw {

void StatusFeed::addlog(const std::string& line) {
  recent_.Add(line);
  frontEnd_.addlog(line);
}

void StatusFeed::Attach(EventLoop& loop, const BridgeCore& core, BridgeControl& control) {
  core_ = &core;
  control_ = &control;
  last_.reset();
  timer_ = loop.NewTimer();
  timer_->SetInterval(kIntervalMs);
  timer_->SetHandler([this] { Refresh(); });
  timer_->SetEnabled(true);
  Refresh();
}

void StatusFeed::Detach() {
  timer_.reset();
  core_ = nullptr;
  control_ = nullptr;
}

void StatusFeed::Refresh() {
  if (core_ == nullptr || !publish_) return;
  StatusSnapshot now = BuildSnapshot(*core_, *control_);
  if (last_ && last_->SameState(now) && linesPublished_ == recent_.Added()) return;
  now.log = recent_.Lines();
  linesPublished_ = recent_.Added();
  last_ = std::make_shared<const StatusSnapshot>(std::move(now));
  publish_(last_);
}

}  // namespace tw
