// Keeps trying to reach the engine after the control gave up its own spaced
// attempts: the bridge often starts before the engine, and engines restart.
// Every 10 s it switches the control's Active on again, until the engine
// answers; it says once per outage that the engine is not reachable, not
// once per try. Once stopped (shutdown) it never switches anything on again.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "bridge/bridge_control.h"
#include "platform/loop/event_loop.h"

namespace tw {

class EngineSupervisor {
 public:
  static constexpr unsigned kRetryIntervalMs = 10000;
  static constexpr std::string_view kNotReachable = "ERROR PE not reachable, trying again every 10 s";

  EngineSupervisor(EventLoop& loop, BridgeControl& control, std::function<void(std::string_view)> addlog);

  // The control raised OnError.
  void GaveUp();
  // The engine answered (OnReady true): the outage is over.
  void Ready();
  // Shutdown began.
  void Stop();

  bool Retrying() const { return timer_->Enabled(); }
  bool InOutage() const { return outage_; }

 private:
  void Tick();

  BridgeControl& control_;
  std::unique_ptr<Timer> timer_;
  std::function<void(std::string_view)> addlog_;
  bool outage_ = false;
  bool stopped_ = false;
};

}  // namespace tw
