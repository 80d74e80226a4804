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
#include "bridge/bridge_view.h"
#include "bridge/status/status_board.h"
#include "bridge/status/status_feed.h"
#include "bridge/status/status_server.h"
#include "platform/com/twcom.h"
#include "platform/loop/client_line.h"

namespace tw {

class App {
 public:
  // After the shutdown, the loop runs on until it has been quiet this long
  // (the disconnect and unregister requests written, the sockets closed),
  // but never longer than kShutdownGrace.
  static constexpr std::chrono::milliseconds kShutdownQuiet{250};
  static constexpr std::chrono::milliseconds kShutdownGrace{3000};

  // How long the shutdown waits for the links to send what they hold.
  static constexpr std::chrono::seconds kDefaultStopTimeout{30};

  // `version` is the program's, for the status page.
  explicit App(BridgeView& view, StatusPageOptions statusPage = {}, std::string version = {})
      : frontEnd_(view),
        statusPage_(std::move(statusPage)),
        version_(std::move(version)),
        feed_(view, [this](const SnapshotPtr& snapshot) {
          board_.Publish(snapshot);
          frontEnd_.ShowStatus(snapshot);
        }) {}
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // Runs the bridge on the calling thread until RequestShutdown. Returns the
  // empty text after a run that ended by request, or why the bridge could
  // not start (the control cannot be created, a bad command line, the
  // listen port taken), for the front end to report before exiting with
  // status 1. The client is served on `line` (a pseudo-terminal or serial
  // line) instead of the listening socket when one is set.
  std::string Run(const StartOptions& options, const ClientLine& line = {});

  // Before Run: the bound on waiting for the links at shutdown.
  void SetStopTimeout(std::chrono::seconds timeout) { stopTimeout_ = timeout; }
  // Before Run: also the lines only a problem hunt needs (--verbose).
  void SetVerbose(bool on) { verbose_ = on; }

  // From any thread, at any time (also before Run or after it ended), but
  // not from a signal handler. The first request starts the shutdown, which
  // waits (within the stop timeout) until the links have sent what they
  // hold; a second one ends that wait, and the links are cut.
  void RequestShutdown();

 private:
  std::string RunInApartment(const StartOptions& options, const ClientLine& clientLine);
  void StartStatusPage(StatusServer& server);
  // Why the wait for the links ended early, or empty when they all ended.
  std::string WaitForLinks(const BridgeCore& core);

  BridgeView& frontEnd_;
  StatusPageOptions statusPage_;
  std::string version_;
  StatusBoard board_;
  // Every line and value for the front end passes here, on the loop's thread.
  StatusFeed feed_;
  BridgeView& view_ = feed_;
  std::chrono::seconds stopTimeout_ = kDefaultStopTimeout;
  bool verbose_ = false;
  std::atomic<unsigned> shutdownRequests_{0};
  std::atomic<TW_APARTMENT> apartment_{0};
};

}  // namespace tw
