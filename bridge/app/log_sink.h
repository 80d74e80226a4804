// The last stop of every line and value on the way to the front end (the
// console or the window): the log file, when one is named, gets the same
// lines, stamped with the local time. It sits behind the status feed, so
// the status page, the front end and the file see the same lines.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "bridge/bridge_view.h"
#include "bridge/ui/console_view.h"

namespace tw {

class LogSink final : public BridgeView {
 public:
  explicit LogSink(BridgeView& front) : front_(front) {}
  ~LogSink() override;
  LogSink(const LogSink&) = delete;
  LogSink& operator=(const LogSink&) = delete;

  // Appends every line from now on to `path`, stamped. Returns why not.
  std::string OpenFile(const std::string& path);

  void addlog(const std::string& line) override;
  void ShowMyCall(const std::string& callSign) override;
  void ShowDefaultPort(const std::string& text) override;
  void ShowAccept(const std::string& text) override;
  void ShowStatus(const std::shared_ptr<const StatusSnapshot>& snapshot) override { front_.ShowStatus(snapshot); }
  void ShowLinksUp(int count) override { front_.ShowLinksUp(count); }

 private:
  BridgeView& front_;
  std::FILE* file_ = nullptr;
  std::unique_ptr<ConsoleView> fileView_;
};

}  // namespace tw
