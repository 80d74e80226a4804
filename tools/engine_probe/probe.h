// The engine probe: connects to a packet engine, reports its version, radio
// ports and heard lists, and optionally registers a call-sign and monitors.
// It runs on any EventLoop, so tests drive it with the fake loop.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "control/link/tl2.h"
#include "platform/loop/event_loop.h"

namespace tw {

struct ProbeOptions {
  std::string host = "127.0.0.1";
  int port = 8000;
  std::string registerCall;  // empty: register nothing
  bool monitor = false;      // monitored frames, parsed
  bool raw = false;          // raw frames, decoded
  unsigned answerTimeoutMs = 5000;  // for the engine's first answers
  unsigned settleMs = 1500;         // quiet time after the last port reply
};

class EngineProbe {
 public:
  enum class Outcome { Running, Done, Unreachable, Silent, Lost };

  EngineProbe(EventLoop& loop, ProbeOptions options, std::ostream& out);
  ~EngineProbe();

  void Start();
  Outcome State() const { return outcome_; }
  // Set whenever the outcome leaves Running; the caller then stops its loop.
  std::function<void(Outcome)> OnFinished;

  TL2& Link() { return link_; }

 private:
  void WireEvents();
  void ArmTimer(unsigned ms);
  void TimerFired();
  void PrintReport();
  void PrintMonitored(char kind, const std::string& data);
  void PrintRaw(int port, const std::string& data);
  void Finish(Outcome outcome);

  EventLoop& loop_;
  ProbeOptions options_;
  std::ostream& out_;
  TL2 link_;
  std::unique_ptr<Timer> timer_;
  Outcome outcome_ = Outcome::Running;
  bool connected_ = false;
  bool versionSeen_ = false;
  bool portsSeen_ = false;
  bool reported_ = false;
};

}  // namespace tw
