#include "bridge/app/signal_watcher.h"

#include <pthread.h>

#include <csignal>
#include <utility>

namespace tw {

namespace {

sigset_t ShutdownSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

}  // namespace

void SignalWatcher::TakeOverSignals() {
  std::signal(SIGPIPE, SIG_IGN);
  // A shell starts background commands with SIGINT ignored; the program
  // decides for itself what the signals mean.
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  // SIGHUP (the terminal went away) is left ignored when it was: whoever
  // started the program under nohup wants it to outlive the terminal.
  if (std::signal(SIGHUP, SIG_DFL) == SIG_IGN) std::signal(SIGHUP, SIG_IGN);
  const sigset_t set = ShutdownSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

SignalWatcher::SignalWatcher(std::function<void(int)> onSignal) : onSignal_(std::move(onSignal)) {
  // Blocked before the thread starts, so it inherits the mask that sigwait
  // needs, even when the caller never called TakeOverSignals.
  const sigset_t set = ShutdownSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  thread_ = std::thread([this] { Watch(); });
}

// The thread is woken with a SIGTERM of its own, which it knows from a real
// one by the flag set first.
SignalWatcher::~SignalWatcher() {
  stopping_ = true;
  pthread_kill(thread_.native_handle(), SIGTERM);
  thread_.join();
}

void SignalWatcher::Watch() {
  const sigset_t set = ShutdownSignals();
  while (true) {
    int signal = 0;
    if (sigwait(&set, &signal) != 0) continue;
    if (stopping_) return;
    onSignal_(signal);
  }
}

}  // namespace tw
