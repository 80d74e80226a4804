// Says at once why the engine cannot be reached. The control keeps trying on
// its own and reports only when it gives up, half a minute later, without a
// cause; so when the engine has not answered shortly after the control was
// switched on (at start-up, or after the engine was lost), one connection of
// our own to the same address finds the cause (refused, no route, name not
// found) and the log says it with what to check. Once per outage: the line
// comes again only after the engine has answered in between.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/loop/event_loop.h"

namespace tw {

// "ERROR engine at 127.0.0.1:8000: connection refused; check that ...".
std::string EngineUnreachableLine(std::string_view host, int port, std::string_view systemError);

class EngineCheck {
 public:
  static constexpr unsigned kGraceMs = 2000;

  EngineCheck(EventLoop& loop, std::function<void(std::string_view)> addlog);
  ~EngineCheck();
  EngineCheck(const EngineCheck&) = delete;
  EngineCheck& operator=(const EngineCheck&) = delete;

  // The control was switched on: check unless the engine answers in time.
  void Start(const std::string& host, int port);
  // The engine answered.
  void Ready();
  // Shutdown: nothing more.
  void Stop();

 private:
  void Probe();

  EventLoop& loop_;
  std::function<void(std::string_view)> addlog_;
  std::unique_ptr<Timer> timer_;
  std::unique_ptr<ClientSocket> probe_;
  std::string host_;
  int port_ = 0;
  bool reported_ = false;
  bool stopped_ = false;
};

}  // namespace tw
