// The loopback engine as a child process, for the control's session tests
// and its benchmark. TW_LOOPBACK_ENGINE names the program.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "control/activex/vokapix.h"

namespace tw::activex::testing {

// loopback-engine on a free port, in a child process that ends with the
// scope, or with the test program if that dies first.
class EngineProcess {
 public:
  EngineProcess() {
    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      ::dup2(out[1], STDOUT_FILENO);
      ::dup2(::open("/dev/null", O_WRONLY), STDERR_FILENO);
      ::execl(TW_LOOPBACK_ENGINE, TW_LOOPBACK_ENGINE, "--port", "0", nullptr);
      ::_exit(127);
    }
    ::close(out[1]);
    FILE* lines = ::fdopen(out[0], "r");
    char first[128] = {};
    if (std::fgets(first, sizeof first, lines) != nullptr) std::sscanf(first, "%*[^:]:%d", &port_);
    std::fclose(lines);
  }
  ~EngineProcess() { Kill(); }
  LONG Port() const { return port_; }
  // Gone at once, as when the engine crashes.
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }

 private:
  pid_t pid_ = 0;
  int port_ = 0;
};

}  // namespace tw::activex::testing
