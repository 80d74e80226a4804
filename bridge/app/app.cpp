#include "bridge/app/app.h"

#include <memory>
#include <utility>
#include <string>

#include "bridge/app/control_host.h"
#include "bridge/app/dispatch_control.h"
#include "bridge/app/event_sink.h"
#include "bridge/app/hresult_text.h"
#include "bridge/log_text.h"
#include "control/activex/vokapix.h"
#include "platform/text/text.h"
#include "platform/com/twcom.hpp"

namespace tw {

namespace {

// The apartment's loop, except that the bridge's client comes over the
// terminal line when one is set, in place of the listening socket.
class ClientLineLoop final : public EventLoop {
 public:
  ClientLineLoop(EventLoop& loop, ClientLine line) : loop_(loop), line_(std::move(line)) {}
  std::unique_ptr<ClientSocket> NewClientSocket() override { return loop_.NewClientSocket(); }
  std::unique_ptr<ListenSocket> NewListenSocket() override {
    if (line_.kind == ClientLine::Kind::Tcp) return loop_.NewListenSocket();
    return loop_.NewLineClient(line_);
  }
  std::unique_ptr<ListenSocket> NewLineClient(const ClientLine& line) override { return loop_.NewLineClient(line); }
  std::unique_ptr<Timer> NewTimer() override { return loop_.NewTimer(); }
  void Post(std::function<void()> task) override { loop_.Post(std::move(task)); }

 private:
  EventLoop& loop_;
  const ClientLine line_;
};

// Runs the loop until nothing but the own check has happened for
// App::kShutdownQuiet: what the shutdown wrote has left, and the
// connections have finished closing. The check ticks so that quiet is seen
// even when no other handler runs.
void RunUntilQuiet(EventLoop& loop) {
  using Clock = std::chrono::steady_clock;
  std::unique_ptr<Timer> tick = loop.NewTimer();
  unsigned ticks = 0;
  unsigned ticksSeen = 0;
  tick->SetInterval(50);
  tick->SetHandler([&ticks] { ++ticks; });
  tick->SetEnabled(true);
  Clock::time_point lastBusy = Clock::now();
  com::RunUntil(
      [&] {
        const Clock::time_point now = Clock::now();
        if (ticks == ticksSeen) lastBusy = now;  // something else ran
        ticksSeen = ticks;
        return now - lastBusy >= App::kShutdownQuiet;
      },
      App::kShutdownGrace);
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

std::string App::Run(const StartOptions& options, const ClientLine& line) {
  const HRESULT entered = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(entered)) return "cannot enter the COM apartment: " + HresultText(entered);
  apartment_ = TwCurrentApartment();
  std::string error = RunInApartment(options, line);
  apartment_ = 0;
  CoUninitialize();
  return error;
}

void App::RequestShutdown() {
  ++shutdownRequests_;
  // Before Run has entered the apartment the flag alone is seen; after it
  // left, the stop finds no apartment and does nothing.
  if (const TW_APARTMENT apartment = apartment_; apartment != 0) TwApartmentStop(apartment);
}

std::string App::WaitForLinks(const BridgeCore& core) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + stopTimeout_;
  const unsigned requests = shutdownRequests_;
  const auto askedAgain = [&] { return shutdownRequests_ != requests; };
  while (core.LinksUp() > 0) {
    if (askedAgain()) return "asked again to stop";
    const Clock::time_point now = Clock::now();
    if (now >= deadline) return "stop timeout of " + std::to_string(stopTimeout_.count()) + " s reached";
    // Also ends early on a stop left over from the first request.
    com::RunUntil([&] { return core.LinksUp() == 0 || askedAgain(); },
                  std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
  }
  return {};
}

std::string App::RunInApartment(const StartOptions& options, const ClientLine& clientLine) {
  EventLoop* loop = com::CurrentLoop();
  if (loop == nullptr) return "the COM apartment has no loop";
  ClientLineLoop bridgeLoop(*loop, clientLine);
  com::ComPtr<EventSink> sink = EventSink::Create([this](std::string_view line) { view_.addlog(std::string(line)); });
  ControlHost host;
  if (std::string error = host.Create(sink.Get()); !error.empty()) return error;
  // Beside the program is the usual place (the build tree, the package);
  // the registry naming another copy is worth a line.
  if (!host.SideBySideLibrary().empty()) {
    if (verbose_) {
      view_.addlog("control " VOKAPIX_PROGID " not registered, using the one beside the program: " +
                   host.SideBySideLibrary());
    }
  }
  if (!host.RegisteredLibrary().empty()) {
    view_.addlog("using the engine control from " + DirectoryOf(host.RegisteredLibrary()));
    if (verbose_) view_.addlog("control " VOKAPIX_PROGID " registered as " + host.RegisteredLibrary());
  }
  DispatchControl control(host.Dispatch(), [this](std::string_view line) { view_.addlog(std::string(line)); });

  std::string error;
  {
    BridgeCore core(bridgeLoop, control, view_);
    sink->SetTarget(&core);
    error = core.initvars(options);
    if (error.empty()) {
      StatusServer statusServer(board_, version_);
      StartStatusPage(statusServer);
      feed_.Attach(*loop, core, control);
      while (shutdownRequests_ == 0) TwLoopRun();
      // A stop asked for while start-up was under way is still pending; it
      // must not cut the shutdown's own run short.
      TwLoopRunOnce();
      view_.addlog("shutting down");
      core.StopLinks();
      if (const std::string cut = WaitForLinks(core); !cut.empty()) core.CutLinks(cut);
      core.Form_Unload();
      RunUntilQuiet(*loop);
      feed_.Detach();
    }
    sink->SetTarget(nullptr);
  }
  host.Release();
  return error;
}

// A status page that cannot be served is no reason to stop the bridge.
void App::StartStatusPage(StatusServer& server) {
  if (statusPage_.port == 0) return;
  const std::string address = LogBytes(statusPage_.address);
  const std::string why = server.Start(statusPage_.address, statusPage_.port);
  if (!why.empty()) {
    view_.addlog(Cat("ERROR no status page: cannot listen on ", address, " port ", statusPage_.port, ": ", why));
    return;
  }
  const bool v6 = address.find(':') != std::string::npos;
  view_.addlog(Cat("status page on http://", v6 ? "[" + address + "]" : address, ":", server.Port(), "/"));
}

}  // namespace tw
