// Runs the project's programs (tidewire, loopback-engine) as child
// processes for the program's integration and end-to-end tests: each with
// its output in a file that a test waits on, ended with the test at the
// latest.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::program_test {

using Millis = std::chrono::milliseconds;

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() { Kill(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // `args[0]` is the program's path; standard output and error go to
  // `outputPath`. The child gets SIGKILL when the test process dies.
  bool Start(const std::vector<std::string>& args, const std::string& outputPath, std::string& error);

  // Waits until the output holds `text` at least `count` times.
  bool WaitForOutput(std::string_view text, Millis timeout, int count = 1) const;
  std::string Output() const;

  void Signal(int signal) const;
  // The exit status, or 128 + the signal that ended it; nothing on timeout.
  std::optional<int> WaitForExit(Millis timeout);
  void Kill();
  // The running child's process id, or -1.
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  std::string outputPath_;
};

// A program of this build: beside the test executable.
std::string BuildProgram(std::string_view name);

// A fresh directory for one test's files, under TMPDIR or /tmp.
std::string TempDirectory();

// A loopback engine on `port` (0: any free port, read back from its first
// line), tracing each frame it receives (level 3) into its output.
struct LoopbackEngine {
  bool Start(const std::string& dir, std::uint16_t wanted, const std::vector<std::string>& extra,
             std::string& error);
  ChildProcess process;
  std::uint16_t port = 0;
};

// A port free on 127.0.0.1 a moment ago.
std::uint16_t FreePort();

// tidewire on 127.0.0.1 at a free port, started with the command line's
// first three fields (`mycall,defport,acceptany`) followed by
// ",<engine port>,<listen port>", after `options`; up once it listens. Without
// a status page unless `statusPage`, which then is on a free port too
// (statusPort).
struct Tidewire {
  bool Start(const std::string& dir, const std::string& commandLine, std::uint16_t enginePort,
             std::string& error, const std::vector<std::string>& options = {}, bool statusPage = false);
  ChildProcess process;
  std::uint16_t listenPort = 0;
  std::uint16_t statusPort = 0;
};

// A TCP port on 127.0.0.1 that was free a moment ago.
std::uint16_t FreePort();

}  // namespace tw::program_test
