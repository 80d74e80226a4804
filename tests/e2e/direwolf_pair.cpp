#include "tests/e2e/direwolf_pair.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

namespace tw::e2e {

namespace {

using Clock = std::chrono::steady_clock;

std::string ErrorText(const std::string& what) { return what + ": " + std::strerror(errno); }

std::string FindOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/local/bin:/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (dir.empty()) continue;
    std::string candidate = dir + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

std::string MakeTempDirectory(std::string& whyNot) {
  const char* tmp = std::getenv("TMPDIR");
  std::string base = tmp && *tmp ? tmp : "/tmp";
  std::string pattern = base + "/tw-direwolf-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) {
    whyNot = ErrorText("cannot make a temporary directory under " + base);
    return {};
  }
  return name.data();
}

// The engine accepts only registered ports (1024 to 49151) and silently
// falls back to its default port for any other, so the kernel's ephemeral
// ports (from 32768 up) will not do. Candidates are drawn at random from
// below that range and held, all four at once, so that they differ; they are
// released for the engines to take a moment later.
bool PickPorts(std::array<std::uint16_t, 2>& tcp, std::array<std::uint16_t, 2>& udp,
               std::string& whyNot) {
  constexpr int kLowest = 20000;
  constexpr int kHighest = 32000;
  constexpr int kTries = 200;
  std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<int> draw(kLowest, kHighest);
  std::vector<int> held;
  auto take = [&](int type, std::uint16_t& port) {
    for (int i = 0; i < kTries; ++i) {
      int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
      if (fd < 0) return false;
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_addr.s_addr = htonl(INADDR_ANY);
      auto candidate = static_cast<std::uint16_t>(draw(random));
      address.sin_port = htons(candidate);
      if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        held.push_back(fd);
        port = candidate;
        return true;
      }
      close(fd);
    }
    return false;
  };
  bool ok = true;
  for (auto& port : tcp) ok = ok && take(SOCK_STREAM, port);
  for (auto& port : udp) ok = ok && take(SOCK_DGRAM, port);
  if (!ok) {
    whyNot = "no free TCP/UDP ports between " + std::to_string(kLowest) + " and " +
             std::to_string(kHighest);
  }
  for (int fd : held) close(fd);
  return ok;
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out.flush());
}

std::string FileName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

// The engine keeps at most 29 bytes of an audio device name, so the FIFO is
// named relative to the engine's working directory, the pair's directory.
std::string EngineConfig(const DirewolfEngine& e, long sampleRate) {
  std::ostringstream c;
  c << "# Written by the end-to-end test harness; audio in over UDP, out into a FIFO.\n"
    << "ADEVICE UDP:" << e.audioPort << " file:" << FileName(e.fifo) << "\n"
    << "ARATE " << sampleRate << "\n"
    << "ACHANNELS 1\n"
    << "CHANNEL 0\n"
    << "MYCALL " << e.call << "\n"
    << "MODEM 1200\n"
    << "AGWPORT " << e.agwPort << "\n"
    << "KISSPORT 0\n"
    << "FRACK 3\n"
    << "RETRY 3\n";
  return c.str();
}

// Starts `args` in its own process group with output into `logPath`. The
// child dies with the test process, so a crashed test leaves nothing behind.
pid_t Spawn(const std::vector<std::string>& args, const std::string& workDir,
            const std::string& logPath, std::string& whyNot) {
  // Everything the child needs is prepared here: after fork only
  // async-signal-safe calls are allowed.
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t parent = getpid();

  pid_t pid = fork();
  if (pid < 0) {
    whyNot = ErrorText("fork");
    return -1;
  }
  if (pid == 0) {
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(126);
    if (chdir(workDir.c_str()) != 0) _exit(126);
    int in = open("/dev/null", O_RDONLY);
    int out = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  setpgid(pid, pid);  // also from this side, so the group exists before any kill
  return pid;
}

bool Exited(pid_t& pid, int& status) {
  if (pid <= 0) return true;
  pid_t r = waitpid(pid, &status, WNOHANG);
  if (r == pid || (r < 0 && errno == ECHILD)) {
    pid = -1;
    return true;
  }
  return false;
}

std::string StatusText(int status) {
  if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
  return "status " + std::to_string(status);
}

bool AcceptsTcp(std::uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return ok;
}

}  // namespace

std::unique_ptr<DirewolfPair> DirewolfPair::Start(const DirewolfPairOptions& options,
                                                  std::string& whyNot) {
  std::string engineProgram = FindOnPath("direwolf");
  if (engineProgram.empty()) {
    whyNot = "direwolf is not installed (no 'direwolf' on PATH)";
    return nullptr;
  }
  if (options.relayProgram.empty() || access(options.relayProgram.c_str(), X_OK) != 0) {
    whyNot = "the audio relay '" + options.relayProgram + "' is missing";
    return nullptr;
  }
  std::unique_ptr<DirewolfPair> pair(new DirewolfPair);
  pair->dir_ = MakeTempDirectory(whyNot);
  if (pair->dir_.empty()) return nullptr;
  if (!pair->Launch(options, engineProgram, whyNot) || !pair->WaitUntilUp(options, whyNot)) {
    return nullptr;  // whyNot carries the end of the log; the destructor stops what did start
  }
  return pair;
}

bool DirewolfPair::Launch(const DirewolfPairOptions& options, const std::string& engineProgram,
                          std::string& whyNot) {
  std::array<std::uint16_t, 2> tcp{};
  std::array<std::uint16_t, 2> udp{};
  if (!PickPorts(tcp, udp, whyNot)) return false;

  DirewolfEngine* engines[] = {&a_, &b_};
  const std::string* calls[] = {&options.callA, &options.callB};
  const char* names[] = {"a", "b"};
  for (int i = 0; i < 2; ++i) {
    DirewolfEngine& e = *engines[i];
    std::string stem = dir_ + "/" + names[i];
    e.call = *calls[i];
    e.agwPort = tcp[static_cast<std::size_t>(i)];
    e.audioPort = udp[static_cast<std::size_t>(i)];
    e.fifo = stem + ".audio";
    e.config = stem + ".conf";
    e.log = stem + ".log";
    e.relayLog = stem + "-relay.log";
    if (mkfifo(e.fifo.c_str(), 0600) != 0) {
      whyNot = ErrorText("mkfifo " + e.fifo);
      return false;
    }
    if (!WriteFile(e.config, EngineConfig(e, options.sampleRate))) {
      whyNot = "cannot write " + e.config;
      return false;
    }
  }

  // Relays first: each holds its FIFO open for reading, without which the
  // engine's audio output would block on opening it.
  for (int i = 0; i < 2; ++i) {
    DirewolfEngine& from = *engines[i];
    const DirewolfEngine& to = *engines[1 - i];
    from.relay = Spawn({options.relayProgram, "--fifo", from.fifo, "--port",
                        std::to_string(to.audioPort), "--rate", std::to_string(options.sampleRate),
                        "--gain", std::to_string(options.gain), "--max-seconds",
                        std::to_string(options.lifetimeSeconds)},
                       dir_, from.relayLog, whyNot);
    if (from.relay < 0) return false;
  }
  for (DirewolfEngine* e : engines) {
    // -t 0: no colour codes in the log; -q d: no APRS descriptions.
    e->engine = Spawn({engineProgram, "-c", e->config, "-t", "0", "-q", "d"}, dir_, e->log, whyNot);
    if (e->engine < 0) return false;
  }
  return true;
}

bool DirewolfPair::WaitUntilUp(const DirewolfPairOptions& options, std::string& whyNot) {
  auto deadline = Clock::now() + options.startTimeout;
  bool upA = false;
  bool upB = false;
  while (!(upA && upB)) {
    for (DirewolfEngine* e : {&a_, &b_}) {
      int status = 0;
      if (Exited(e->relay, status)) {
        whyNot = "the audio relay of " + e->call + " ended (" + StatusText(status) + "): " +
                 Tail(e->relayLog, 400);
        return false;
      }
      if (Exited(e->engine, status)) {
        whyNot = "direwolf for " + e->call + " ended during start-up (" + StatusText(status) +
                 "); its output ends: " + Tail(e->log, 600);
        return false;
      }
    }
    upA = upA || AcceptsTcp(a_.agwPort);
    upB = upB || AcceptsTcp(b_.agwPort);
    if (upA && upB) break;
    if (Clock::now() > deadline) {
      const DirewolfEngine& late = upA ? b_ : a_;
      whyNot = "direwolf for " + late.call + " never accepted connections on AGW port " +
               std::to_string(late.agwPort) + "; its output ends: " + Tail(late.log, 600);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

DirewolfPair::~DirewolfPair() { Stop(); }

void DirewolfPair::Stop() {
  if (stopped_) return;
  stopped_ = true;
  // Engines before relays: an engine whose reader vanished would get
  // SIGPIPE in the middle of a transmission and say so in its log.
  pid_t* order[] = {&a_.engine, &b_.engine, &a_.relay, &b_.relay};
  for (pid_t* pid : order) {
    if (*pid <= 0) continue;
    kill(-*pid, SIGTERM);
    auto deadline = Clock::now() + std::chrono::seconds(3);
    int status = 0;
    while (!Exited(*pid, status) && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (*pid > 0) {
      kill(-*pid, SIGKILL);
      waitpid(*pid, &status, 0);
      *pid = -1;
    }
  }
  if (!keepFiles_ && !dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
}

std::string DirewolfPair::Tail(const std::string& path, std::size_t bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "(no " + path + ")";
  in.seekg(0, std::ios::end);
  auto size = static_cast<std::size_t>(in.tellg());
  std::size_t from = size > bytes ? size - bytes : 0;
  in.seekg(static_cast<std::streamoff>(from));
  std::string text(size - from, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  return text;
}

}  // namespace tw::e2e
