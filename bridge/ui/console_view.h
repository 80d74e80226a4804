// The headless front end's view: each log line, and each display value the
// window would show in its boxes, as one line on a stream (standard output),
// flushed at once so that a pipe or a log file sees it as it happens; each
// line stamped with the local time unless whoever reads it stamps it.
#pragma once

#include <cstdio>
#include <string>

#include "bridge/bridge_view.h"

namespace tw {

class ConsoleView final : public BridgeView {
 public:
  ConsoleView(std::FILE* out, bool stamped) : out_(out), stamped_(stamped) {}

  void addlog(const std::string& line) override;
  void ShowMyCall(const std::string& callSign) override;
  void ShowDefaultPort(const std::string& text) override;
  void ShowAccept(const std::string& text) override;

 private:
  void Line(const std::string& text);

  std::FILE* out_;
  bool stamped_;
};

}  // namespace tw
