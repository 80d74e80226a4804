// Two Dire Wolf packet engines on this machine, each with its own AGW port,
// whose audio is cross-connected by two tw-audio-relay processes: what one
// engine transmits, the other receives. Everything lives in a fresh temporary
// directory (configurations, FIFOs, the programs' output) and on ports chosen
// at run time, so a run never meets a user's own engine.
//
// Every process runs in its own process group and is told to end when the
// test process dies; the pair is torn down when the object goes away.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace tw::e2e {

struct DirewolfPairOptions {
  std::string callA = "N0AAA";
  std::string callB = "N0BBB";
  std::string relayProgram;  // path of tw-audio-relay
  long sampleRate = 44100;
  double gain = 0.25;  // full-scale modem audio overdrives the other side's demodulator
  std::chrono::milliseconds startTimeout{20000};
  long lifetimeSeconds = 900;  // relays end by themselves after this, whatever happens
};

struct DirewolfEngine {
  std::string call;
  std::uint16_t agwPort = 0;
  std::uint16_t audioPort = 0;  // UDP, where the engine listens for received audio
  std::string fifo;             // the engine's transmit audio
  std::string config;
  std::string log;  // the engine's console output
  std::string relayLog;
  pid_t engine = -1;
  pid_t relay = -1;  // carries this engine's transmit audio to the other engine
};

class DirewolfPair {
 public:
  // Starts both engines and relays and waits until both AGW ports accept a
  // connection. Returns nullptr, with the reason in `whyNot`, when this
  // machine cannot run them (no engine installed, no free ports, an engine
  // that never comes up).
  static std::unique_ptr<DirewolfPair> Start(const DirewolfPairOptions& options,
                                             std::string& whyNot);

  ~DirewolfPair();
  DirewolfPair(const DirewolfPair&) = delete;
  DirewolfPair& operator=(const DirewolfPair&) = delete;

  const DirewolfEngine& A() const { return a_; }
  const DirewolfEngine& B() const { return b_; }
  const std::string& Directory() const { return dir_; }

  // Ends all four processes (SIGTERM to each group, SIGKILL after a grace
  // period) and removes the directory unless KeepFiles() was called.
  void Stop();

  // Leaves the directory in place for a look after a failure.
  void KeepFiles() { keepFiles_ = true; }

  // The last `bytes` of a file, e.g. an engine's log, for failure messages.
  static std::string Tail(const std::string& path, std::size_t bytes);

 private:
  DirewolfPair() = default;

  bool Launch(const DirewolfPairOptions& options, const std::string& engineProgram,
              std::string& whyNot);
  bool WaitUntilUp(const DirewolfPairOptions& options, std::string& whyNot);

  std::string dir_;
  DirewolfEngine a_;
  DirewolfEngine b_;
  bool keepFiles_ = false;
  bool stopped_ = false;
};

}  // namespace tw::e2e
