#include "platform/loop/asio_timer.h"

#include <chrono>

namespace tw {

AsioTimer::AsioTimer(asio::io_context& context)
    : timer_(context), self_(std::make_shared<AsioTimer*>(this)) {}

AsioTimer::~AsioTimer() { *self_ = nullptr; }

void AsioTimer::SetInterval(unsigned milliseconds) {
  interval_ = milliseconds;
  if (interval_ == 0) {
    Disarm();
  } else if (enabled_ && !armed_) {
    Arm(asio::steady_timer::clock_type::now() + std::chrono::milliseconds(interval_));
  }
}

void AsioTimer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (enabled) {
    Arm(asio::steady_timer::clock_type::now() + std::chrono::milliseconds(interval_));
  } else {
    Disarm();
  }
}

void AsioTimer::Arm(asio::steady_timer::time_point deadline) {
  if (interval_ == 0) {
    Disarm();
    return;
  }
  const unsigned generation = ++generation_;
  armed_ = true;
  timer_.expires_at(deadline);
  timer_.async_wait([self = self_, generation](const std::error_code& ec) {
    if (!ec && *self != nullptr) (*self)->Expired(generation);
  });
}

void AsioTimer::Disarm() {
  ++generation_;
  armed_ = false;
  timer_.cancel();
}

void AsioTimer::Expired(unsigned generation) {
  if (generation != generation_ || !enabled_) return;
  // The next countdown is measured from this expiry so that ticks do not
  // drift, but a loop that fell behind gets one tick, not a burst.
  const auto now = asio::steady_timer::clock_type::now();
  auto next = timer_.expiry() + std::chrono::milliseconds(interval_);
  if (next <= now) next = now + std::chrono::milliseconds(interval_);
  Arm(next);
  // A copy, because the handler may replace itself or destroy the timer.
  auto tick = tick_;
  if (tick) tick();
}

}  // namespace tw
