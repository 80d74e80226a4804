#include "bridge/engine_supervisor.h"

#include <utility>

namespace tw {

EngineSupervisor::EngineSupervisor(EventLoop& loop, BridgeControl& control,
                                   std::function<void(std::string_view)> addlog)
    : control_(control), timer_(loop.NewTimer()), addlog_(std::move(addlog)) {
  timer_->SetInterval(kRetryIntervalMs);
  timer_->SetHandler([this] { Tick(); });
}

void EngineSupervisor::GaveUp() {
  if (stopped_) return;
  if (!outage_) {
    outage_ = true;
    addlog_(kNotReachable);
  }
  if (!timer_->Enabled()) timer_->SetEnabled(true);
}

void EngineSupervisor::Ready() {
  outage_ = false;
  timer_->SetEnabled(false);
}

void EngineSupervisor::Stop() {
  stopped_ = true;
  timer_->SetEnabled(false);
}

void EngineSupervisor::Tick() {
  if (stopped_) {
    timer_->SetEnabled(false);
    return;
  }
  control_.SetActive(true);
}

}  // namespace tw
