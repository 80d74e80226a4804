// Stands between the bridge and its front end: every log line and display
// value passes through to the front end unchanged, and the log lines are
// also kept in a ring of recent lines. While attached to a running bridge it
// looks at the bridge's state every kIntervalMs on the loop's thread and
// publishes a new snapshot (state and recent lines) when anything changed.
//
// Everything here runs on the loop's thread; `publish` hands the snapshot
// to the readers on other threads.
#pragma once

#include <functional>
#include <memory>

#include "bridge/bridge_control.h"
#include "bridge/bridge_view.h"
#include "bridge/status/recent_log.h"
#include "bridge/status/status_snapshot.h"
#include "platform/loop/event_loop.h"

namespace tw {

class StatusFeed final : public BridgeView {
 public:
  static constexpr unsigned kIntervalMs = 250;
  using Publish = std::function<void(const SnapshotPtr&)>;

  StatusFeed(BridgeView& frontEnd, Publish publish) : frontEnd_(frontEnd), publish_(std::move(publish)) {}

  void addlog(const std::string& line) override;
  void ShowMyCall(const std::string& callSign) override { frontEnd_.ShowMyCall(callSign); }
  void ShowDefaultPort(const std::string& text) override { frontEnd_.ShowDefaultPort(text); }
  void ShowAccept(const std::string& text) override { frontEnd_.ShowAccept(text); }
  void ShowLinksUp(int count) override { frontEnd_.ShowLinksUp(count); }

  // Starts looking at `core` (publishing its state at once); both must
  // outlive the attachment. Detach before the core goes.
  void Attach(EventLoop& loop, const BridgeCore& core, BridgeControl& control);
  void Detach();

  // Publishes when the state or the log changed since the last snapshot.
  void Refresh();

  const RecentLog& Recent() const { return recent_; }

 private:
  BridgeView& frontEnd_;
  Publish publish_;
  RecentLog recent_;
  std::unique_ptr<Timer> timer_;
  const BridgeCore* core_ = nullptr;
  BridgeControl* control_ = nullptr;
  SnapshotPtr last_;
  std::uint64_t linesPublished_ = 0;
};

}  // namespace tw
