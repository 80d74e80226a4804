#include "tests/program/program_rig.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace tw::program_test {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

std::uint16_t FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  std::uint16_t port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

namespace {

std::size_t Occurrences(const std::string& text, std::string_view part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
  return count;
}

}  // namespace

bool ChildProcess::Start(const std::vector<std::string>& args, const std::string& outputPath, std::string& error) {
  Kill();
  outputPath_ = outputPath;
  // Emptied here, not in the child: a wait that starts before the child has
  // run must not find the previous run's output in the file.
  const int fresh = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fresh < 0) {
    error = outputPath + ": " + std::strerror(errno);
    return false;
  }
  close(fresh);
  // Prepared before fork: the child may only make async-signal-safe calls.
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) {
    error = std::string("fork: ") + std::strerror(errno);
    return false;
  }
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(126);
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(outputPath.c_str(), O_WRONLY | O_APPEND);
    if (in < 0 || out < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    // The test's own mask (gtest blocks nothing, but a runner may) is not the program's.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  pid_ = pid;
  return true;
}

std::string ChildProcess::Output() const {
  std::ifstream file(outputPath_, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

bool ChildProcess::WaitForOutput(std::string_view text, Millis timeout, int count) const {
  const auto deadline = Clock::now() + timeout;
  while (true) {
    if (Occurrences(Output(), text) >= static_cast<std::size_t>(count)) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(Millis(20));
  }
}

void ChildProcess::Signal(int signal) const {
  if (pid_ > 0) kill(pid_, signal);
}

std::optional<int> ChildProcess::WaitForExit(Millis timeout) {
  const auto deadline = Clock::now() + timeout;
  while (pid_ > 0) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (done < 0 || Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(Millis(20));
  }
  return std::nullopt;
}

void ChildProcess::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

std::string BuildProgram(std::string_view name) {
  return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / name).string();
}

std::string TempDirectory() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/tw-program-XXXXXX";
  return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

bool LoopbackEngine::Start(const std::string& dir, std::uint16_t wanted, const std::vector<std::string>& extra,
                           std::string& error) {
  constexpr std::string_view kListening = "loopback-engine listening on 127.0.0.1:";
  std::vector<std::string> args = {BuildProgram("loopback-engine"), "--port", std::to_string(wanted),
                                   "--trace", "3"};
  args.insert(args.end(), extra.begin(), extra.end());
  // A port just given up may be taken for a moment by someone else.
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (!process.Start(args, dir + "/engine.log", error)) return false;
    if (process.WaitForOutput(kListening, Millis(10000))) {
      const std::string out = process.Output();
      if (const std::size_t at = out.find(kListening); at != std::string::npos) {
        port = static_cast<std::uint16_t>(std::atoi(out.c_str() + at + kListening.size()));
        return true;
      }
    }
    error = "the loopback engine did not start: " + process.Output();
    process.Kill();
    std::this_thread::sleep_for(Millis(250));
  }
  return false;
}

bool Tidewire::Start(const std::string& dir, const std::string& commandLine, std::uint16_t enginePort,
                     std::string& error, const std::vector<std::string>& options, bool statusPage) {
  // The control from this build, side by side, whatever a user registered.
  setenv("TIDEWIRE_COM_REGISTRY", (dir + "/com-registry").c_str(), 1);
  for (int attempt = 0; attempt < 5; ++attempt) {
    listenPort = FreePort();
    statusPort = statusPage ? FreePort() : 0;
    const std::string line = commandLine + "," + std::to_string(enginePort) + "," + std::to_string(listenPort);
    std::vector<std::string> args = {BuildProgram("tidewire"), "--listen-address", "127.0.0.1", "--status-port",
                                     std::to_string(statusPort)};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(line);
    if (!process.Start(args, dir + "/tidewire.log", error)) {
      return false;
    }
    const bool up = process.WaitForOutput("listening for the client on", Millis(20000)) &&
                    (!statusPage || process.WaitForOutput("status page on http://", Millis(5000)));
    if (up) return true;
    error = "tidewire did not start: " + process.Output();
    process.Kill();  // the free port was taken in between: another try
  }
  return false;
}

}  // namespace tw::program_test
