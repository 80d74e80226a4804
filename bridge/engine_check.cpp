#include "bridge/engine_check.h"

#include <utility>

#include "bridge/log_text.h"
#include "platform/text/text.h"

namespace tw {

std::string EngineUnreachableLine(std::string_view host, int port, std::string_view systemError) {
  const std::string error = UpperText(systemError);
  std::string cause;
  std::string check;
  if (Contains(error, "REFUSED")) {
    cause = "connection refused";
    check = Cat("check that the packet engine is running and takes clients on TCP port ", port);
  } else if (Contains(error, "UNREACHABLE") || Contains(error, "NO ROUTE")) {
    cause = "no route to it";
    check = "check the engine's address (--engine-host) and the network";
  } else if (Contains(error, "NOT FOUND") || Contains(error, "NAME OR SERVICE") || Contains(error, "NO ADDRESS")) {
    cause = "name not found";
    check = "check the engine's host name (--engine-host)";
  } else if (Contains(error, "TIMED OUT")) {
    cause = "no answer (timed out)";
    check = "check the engine's address and any firewall on the way";
  } else {
    cause = LogBytes(systemError);
    check = "check the engine's address (--engine-host) and port";
  }
  return Cat("ERROR engine at ", LogBytes(host), ":", port, ": ", cause, "; ", check);
}

EngineCheck::EngineCheck(EventLoop& loop, std::function<void(std::string_view)> addlog)
    : loop_(loop), addlog_(std::move(addlog)), timer_(loop.NewTimer()) {
  timer_->SetInterval(kGraceMs);
  timer_->SetHandler([this] {
    timer_->SetEnabled(false);
    Probe();
  });
}

EngineCheck::~EngineCheck() {
  if (probe_) probe_->SetHandlers({});
}

void EngineCheck::Start(const std::string& host, int port) {
  if (stopped_ || reported_) return;
  host_ = host;
  port_ = port;
  timer_->SetEnabled(true);
}

void EngineCheck::Ready() {
  reported_ = false;
  timer_->SetEnabled(false);
  if (probe_) probe_->Close();
}

void EngineCheck::Stop() {
  stopped_ = true;
  timer_->SetEnabled(false);
  if (probe_) probe_->Close();
}

void EngineCheck::Probe() {
  if (stopped_ || reported_) return;
  if (!probe_) probe_ = loop_.NewClientSocket();
  probe_->Close();
  // Reached: the engine is there, and the control's own attempt will get
  // its answer; nothing to say.
  probe_->SetHandlers({
      [this] { probe_->Close(); },
      nullptr,
      [this](const std::string& description) {
        if (stopped_ || reported_) return;
        reported_ = true;
        addlog_(EngineUnreachableLine(host_, port_, description));
      },
      nullptr,
  });
  probe_->Connect(host_, static_cast<std::uint16_t>(port_));
}

}  // namespace tw
