// The program around the bridge core, without its front end: enters the COM
// apartment on the thread that calls Run, creates the control there by
// ProgID, runs the bridge on that thread's loop until asked to stop, then
// shuts down in order and leaves the apartment.
//
// Front ends: the console calls Run on the main thread. A window that needs
// the main thread for itself calls Run on a second thread; its BridgeView
// then receives every log line and display value on that (the loop's)
// thread and hands them over to the window, and the window's close calls
// RequestShutdown. Nothing of the bridge or the control is touched from
// any other thread.
#pragma once

#include <atomic>
#include <chrono>
#include <string>

#include "bridge/bridge_core.h"
#include "bridge/app/log_sink.h"
#include "platform/com/twcom.h"

namespace tw {

class App {
 public:
  // After the shutdown, the loop runs on until it has been quiet this long
  // (the disconnect and unregister requests written, the sockets closed),
  // but never longer than kShutdownGrace.
  static constexpr std::chrono::milliseconds kShutdownQuiet{250};
  static constexpr std::chrono::milliseconds kShutdownGrace{3000};

  explicit App(LogSink& view) : view_(view) {}
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // Runs the bridge on the calling thread until RequestShutdown. Returns the
  // empty text after a run that ended by request, or why the bridge could
  // not start (the control cannot be created, a bad command line, the
  // listen port taken), for the front end to report before exiting with
  // status 1.
  std::string Run(const StartOptions& options);

  // From any thread, at any time (also before Run or after it ended), but
  // not from a signal handler. A second request while the shutdown lets the
  // last requests out cuts that short.
  void RequestShutdown();

 private:
  std::string RunInApartment(const StartOptions& options);

  LogSink& view_;
  std::atomic<bool> shutdownRequested_{false};
  std::atomic<TW_APARTMENT> apartment_{0};
};

}  // namespace tw
