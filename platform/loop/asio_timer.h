// The repeating timer over Asio. An interval of 0 never ticks (enabling it
// arms nothing until a real interval is set). The tick handler may disable,
// re-enable, reconfigure or destroy the timer.
#pragma once

#include <functional>
#include <memory>

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>

#include "platform/loop/timer.h"

namespace tw {

class AsioTimer final : public Timer {
 public:
  explicit AsioTimer(asio::io_context& context);
  ~AsioTimer() override;

  AsioTimer(const AsioTimer&) = delete;
  AsioTimer& operator=(const AsioTimer&) = delete;

  void SetHandler(std::function<void()> tick) override { tick_ = std::move(tick); }
  // Takes effect with the next countdown; the one under way keeps its length.
  void SetInterval(unsigned milliseconds) override;
  unsigned Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override;
  bool Enabled() const override { return enabled_; }

 private:
  void Arm(asio::steady_timer::time_point deadline);
  void Disarm();
  void Expired(unsigned generation);

  asio::steady_timer timer_;
  std::function<void()> tick_;
  unsigned interval_ = 1000;
  bool enabled_ = false;
  bool armed_ = false;
  // Expiries of a countdown since cancelled or restarted are stale.
  unsigned generation_ = 0;
  std::shared_ptr<AsioTimer*> self_;
};

}  // namespace tw
