// How the loop's thread reaches the window: display updates go into this
// queue from any thread, and the window's thread is woken (Fl::awake) to
// take them. One wake is outstanding at most, however many updates come.
// Log lines beyond what the log box could still show are dropped from the
// front of the queue, and a state replaces the one still waiting, so a
// window that falls behind never holds more than that.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tw {
struct StatusSnapshot;
}

namespace tw::window {

struct Update {
  enum class Kind { kLog, kMyCall, kPort, kAccept, kStatus, kLinksUp, kFinished };
  Kind kind;
  std::string text;
  std::shared_ptr<const StatusSnapshot> status = nullptr;  // for kStatus
};

class UiQueue {
 public:
  // `wake` is called (outside the lock) when the window must look at the
  // queue; the window calls Take from its own thread.
  explicit UiQueue(std::function<void()> wake) : wake_(std::move(wake)) {}

  void Push(Update update);
  std::vector<Update> Take();

  static constexpr std::size_t kMaxLogBytes = 64 * 1024;

 private:
  std::function<void()> wake_;
  std::mutex mutex_;
  std::deque<Update> updates_;
  std::size_t logBytes_ = 0;
  bool wakePending_ = false;
};

}  // namespace tw::window
