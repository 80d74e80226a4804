// A timer for tests: it never fires by itself; the test calls Fire().
#pragma once

#include "platform/loop/timer.h"

namespace tw {

class FakeTimer : public Timer {
 public:
  explicit FakeTimer(int* liveCount = nullptr) : liveCount_(liveCount) {
    if (liveCount_ != nullptr) ++*liveCount_;
  }
  ~FakeTimer() override {
    if (liveCount_ != nullptr) --*liveCount_;
  }
  FakeTimer(const FakeTimer&) = delete;
  FakeTimer& operator=(const FakeTimer&) = delete;

  void SetHandler(std::function<void()> tick) override { tick_ = std::move(tick); }
  void SetInterval(unsigned milliseconds) override { interval_ = milliseconds; }
  unsigned Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override {
    enabled_ = enabled;
    if (enabled) ++starts;
  }
  bool Enabled() const override { return enabled_; }

  // Runs the handler as the loop would when the interval has passed.
  void Fire() {
    if (enabled_ && tick_) tick_();
  }

  int starts = 0;

 private:
  int* liveCount_;
  std::function<void()> tick_;
  unsigned interval_ = 1000;
  bool enabled_ = false;
};

}  // namespace tw
