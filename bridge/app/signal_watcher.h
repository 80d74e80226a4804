// SIGINT, SIGTERM and SIGHUP as ordinary calls on a thread of their own: the
// signals are blocked in every thread and one thread waits for them
// (sigwait), so the callback may do anything a thread may (post to the
// apartment, take locks), which a signal handler must not.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace tw {

class SignalWatcher {
 public:
  // Blocks SIGINT, SIGTERM and SIGHUP in the calling thread, and so in every thread
  // it starts afterwards, and ignores SIGPIPE (a write to a connection the
  // peer closed is an error of that write, not the end of the program).
  // Call first in main, before any thread exists: a thread started earlier
  // would keep the signals' default action, ending the program at once.
  static void TakeOverSignals();

  // Starts the thread; `onSignal` runs on it with the signal's number, once
  // per signal.
  explicit SignalWatcher(std::function<void(int signal)> onSignal);
  // Ends the thread.
  ~SignalWatcher();
  SignalWatcher(const SignalWatcher&) = delete;
  SignalWatcher& operator=(const SignalWatcher&) = delete;

 private:
  void Watch();

  std::function<void(int)> onSignal_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace tw
