// What the bridge shows: its log and three display boxes. A console front
// end prints the log lines; the window shows them in its log box (which ends
// each line with CR LF and keeps the box within its size) and the values in
// its boxes. Called on the loop's thread; a window on another thread hands
// the values over itself.
#pragma once

#include <memory>
#include <string>

namespace tw {

struct StatusSnapshot;

class BridgeView {
 public:
  virtual ~BridgeView() = default;

  // One log line, without a line end. Bytes from the network arrive here
  // already escaped, so a line holds only printable ASCII.
  virtual void addlog(const std::string& line) = 0;

  // The registered call-sign (`MyCallbox`); empty at shutdown.
  virtual void ShowMyCall(const std::string& callSign) = 0;
  // The default radio port (`VOKport`), as " 1".
  virtual void ShowDefaultPort(const std::string& text) = 0;
  // Which radio ports incoming links are accepted from (`anybox`): "ANY", or
  // the default radio port as " 2".
  virtual void ShowAccept(const std::string& text) = 0;

  // The state of streams, engine and client, each time it changed; only
  // front ends that show it take it. Comes from the loop's thread.
  virtual void ShowStatus(const std::shared_ptr<const StatusSnapshot>& snapshot) { (void)snapshot; }
  // How many streams hold a link, each time it changes; a window asks
  // before closing them. Views that never ask ignore it.
  virtual void ShowLinksUp(int /*count*/) {}
};

}  // namespace tw
