// A repeating timer delivered through the loop.
#pragma once

#include <functional>

namespace tw {

class Timer {
 public:
  virtual ~Timer() = default;

  virtual void SetHandler(std::function<void()> tick) = 0;
  virtual void SetInterval(unsigned milliseconds) = 0;
  virtual unsigned Interval() const = 0;

  // Enabling (re)starts the countdown of one interval.
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
};

}  // namespace tw
