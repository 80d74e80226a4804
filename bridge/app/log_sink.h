// Where every line of the program's log goes, once: to the front end (the
// console or the window), to the log file when one is named, and to any
// other reader that hooks in (a status view). The one place lines leave.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bridge/bridge_view.h"
#include "bridge/ui/console_view.h"

namespace tw {

class LogSink final : public BridgeView {
 public:
  using Hook = std::function<void(const std::string& line)>;

  explicit LogSink(BridgeView& front) : front_(front) {}
  ~LogSink() override;
  LogSink(const LogSink&) = delete;
  LogSink& operator=(const LogSink&) = delete;

  // Appends every line from now on to `path`, stamped. Returns why not.
  std::string OpenFile(const std::string& path);
  // Lines only an operator chasing a problem wants (--verbose).
  void SetVerbose(bool on) { verbose_ = on; }
  // Called with each log line after the front end has it, on the same
  // thread as addlog.
  void AddHook(Hook hook) { hooks_.push_back(std::move(hook)); }

  void addlog(const std::string& line) override;
  void Verbose(const std::string& line) {
    if (verbose_) addlog(line);
  }
  void ShowMyCall(const std::string& callSign) override;
  void ShowDefaultPort(const std::string& text) override;
  void ShowAccept(const std::string& text) override;

 private:
  BridgeView& front_;
  std::FILE* file_ = nullptr;
  std::unique_ptr<ConsoleView> fileView_;
  std::vector<Hook> hooks_;
  bool verbose_ = false;
};

}  // namespace tw
