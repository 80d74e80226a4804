// A long run of tidewire with a mail client's side that accounts for every
// byte: ten streams, each linked to the loopback engine's echo station (one
// radio port per stream), carry blocks of random size and content; the
// client leaves and comes back, the engine is killed and restarted, and
// tidewire is stopped with SIGTERM and started again once. The engine paces
// the data as a radio would (--baud), so that blocks are under way when each
// of those happens. Every byte sent
// must come back from the echo station, in order and unchanged, unless the
// link that carried it ended because the engine went away and the client
// was told "*** DISCONNECTED" for it. At the end a table per stream, and
// tidewire's memory and descriptors at the start and the end.
//
//   tw-soak [--minutes M] [--seed N] [--baud B] [--quiet]
//
// Exit status 0 when every loss is explained and nothing came back
// corrupted; 1 otherwise; 2 when the programs could not be run.
#include <dirent.h>
#include <sys/types.h>
#include <unistd.h>

#include <array>
#include <bitset>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/program/program_rig.h"
#include "tools/hostmode_client/hostmode_session.h"

namespace tw::soak {
namespace {

using program_test::ChildProcess;
using program_test::Millis;
using Clock = std::chrono::steady_clock;
using hostmode::HostBlock;
using hostmode::HostModeSession;
using hostmode::Received;

constexpr int kStreams = 10;
constexpr std::size_t kMaxBlock = 256;
// Bytes a stream may have on their way to the echo station and back; well
// inside what tidewire holds per stream for an absent client.
constexpr std::size_t kWindow = 4096;
constexpr Millis kStartWait{30000};
constexpr Millis kConnectWait{15000};

char StreamChar(int index) { return static_cast<char>('A' + index); }
int StreamIndex(char stream) { return stream >= 'A' && stream < 'A' + kStreams ? stream - 'A' : -1; }

struct Options {
  double minutes = 2;
  // The engine's radio pace: data spends time on the air, so that links end
  // and the client leaves with blocks under way. 0: at once.
  unsigned baud = 38400;
  std::uint32_t seed = 0;
  bool quiet = false;
};

std::optional<Options> Parse(int argc, char** argv) {
  Options options;
  options.seed = static_cast<std::uint32_t>(std::random_device{}());
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--minutes" && i + 1 < argc) {
      options.minutes = std::atof(argv[++i]);
      if (!(options.minutes > 0)) return std::nullopt;
    } else if (arg == "--seed" && i + 1 < argc) {
      options.seed = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else if (arg == "--baud" && i + 1 < argc) {
      options.baud = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
    } else if (arg == "--quiet") {
      options.quiet = true;
    } else {
      return std::nullopt;
    }
  }
  return options;
}

// What /proc says about a process.
struct Usage {
  long rssKiB = -1;
  int descriptors = -1;
};

Usage Measure(pid_t pid) {
  Usage usage;
  if (pid <= 0) return usage;
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) usage.rssKiB = std::atol(line.c_str() + 6);
  }
  if (DIR* dir = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str())) {
    usage.descriptors = 0;
    while (dirent* entry = readdir(dir)) {
      if (entry->d_name[0] != '.') ++usage.descriptors;
    }
    closedir(dir);
  }
  return usage;
}

// One stream's book: what is on its way on the current link, and totals.
struct StreamBook {
  bool up = false;
  bool connecting = false;
  Clock::time_point connectSince{};
  Clock::time_point retryAt{};
  int linkEngineEpoch = 0;  // the engine's life the link was made in
  std::string pending;      // sent on this link, not yet echoed, oldest first
  std::uint64_t sent = 0;
  std::uint64_t echoed = 0;
  std::uint64_t lostAllowed = 0;
  std::uint64_t lostUnexplained = 0;
  std::uint64_t corrupt = 0;
  std::uint64_t sentInWindow = 0;  // since the engine's record was last emptied
  int links = 0;
  int unanswered = 0;  // connects that got neither CONNECTED nor a refusal in time
  std::bitset<256> valuesSent;
  std::vector<std::string> events;  // one line per loss or fault
};

class Soak {
 public:
  explicit Soak(Options options) : options_(options), random_(options.seed) {}

  int Run() {
    dir_ = TempDirectory();
    if (dir_.empty()) return Fail("no temporary directory");
    start_ = Clock::now();
    std::string error;
    if (!engine_.Start(dir_, 0, EngineArguments(), error)) return Fail(error);
    enginePort_ = engine_.port;
    if (!StartTidewire()) return 2;
    usageStart_ = Measure(tidewire_.process.Pid());

    const auto end = start_ + std::chrono::duration_cast<Clock::duration>(
                                  std::chrono::duration<double>(options_.minutes * 60.0));
    const auto sigtermAt = start_ + (end - start_) / 2;
    bool sigtermDone = false;
    auto nextLeave = Clock::now() + Seconds(5, 15);
    auto nextEngineKill = Clock::now() + Seconds(30, 90);
    auto nextTrim = Clock::now() + std::chrono::seconds(10);

    while (Clock::now() < end) {
      const auto now = Clock::now();
      if (!sigtermDone && now >= sigtermAt) {
        sigtermDone = true;
        if (!StopAndRestartTidewire()) return Report(2);
        continue;
      }
      if (now >= nextEngineKill) {
        if (!RestartEngine()) return Report(2);
        nextEngineKill = Clock::now() + Seconds(30, 90);
        continue;
      }
      if (now >= nextLeave) {
        if (!LeaveAndReturn()) return Report(2);
        nextLeave = Clock::now() + Seconds(5, 15);
        continue;
      }
      if (now >= nextTrim) {
        // The engine's frame record is only read around the SIGTERM; it is
        // kept short the rest of the time.
        EmptyEngineRecord();
        nextTrim = now + std::chrono::seconds(10);
      }
      ConnectStreams();
      if (!SendSome(4)) return Report(2);
      client_->Pump(Millis(2), [] { return false; });
    }

    // Let everything on its way come back, then take the final figures.
    Settle(Millis(30000));
    usageEnd_ = Measure(tidewire_.process.Pid());
    for (StreamBook& book : books_) {
      if (!book.pending.empty()) {
        book.lostUnexplained += book.pending.size();
        book.events.push_back(Cat(book.pending.size(), " bytes never came back and no DISCONNECTED said why"));
        book.pending.clear();
      }
    }
    client_->Leave(Millis(5000));
    tidewire_.process.Signal(SIGTERM);
    const auto status = tidewire_.process.WaitForExit(Millis(60000));
    if (status != 0) Fault(Cat("tidewire ended with status ", status ? std::to_string(*status) : "none (timeout)"));
    engine_.process.Kill();
    return Report(0);
  }

 private:
  template <typename... Parts>
  static std::string Cat(const Parts&... parts) {
    std::ostringstream out;
    (out << ... << parts);
    return out.str();
  }

  Clock::duration Seconds(unsigned low, unsigned high) {
    return std::chrono::milliseconds(1000u * low + random_() % (1000u * (high - low)));
  }

  std::vector<std::string> EngineArguments() const {
    return {"--ports", std::to_string(kStreams), "--baud", std::to_string(options_.baud)};
  }

  // How long `bytes` take on one port at the engine's pace.
  long PaceMillis(std::size_t bytes) const {
    return options_.baud == 0 ? 0 : static_cast<long>(bytes * 8 * 1000 / options_.baud);
  }

  double Elapsed() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

  void Note(const std::string& line) {
    if (!options_.quiet) std::printf("[%7.1f s] %s\n", Elapsed(), line.c_str());
    std::fflush(stdout);
  }

  int Fail(const std::string& why) {
    std::fprintf(stderr, "tw-soak: %s\n", why.c_str());
    return 2;
  }

  void Fault(const std::string& what) {
    faults_.push_back(Cat("[", static_cast<int>(Elapsed()), " s] ", what));
    Note("FAULT: " + what);
  }

  bool StartTidewire() {
    std::string error;
    // Each run of tidewire keeps its log in a directory of its own.
    const std::string runDir = Cat(dir_, "/tidewire-", ++tidewireRuns_);
    std::filesystem::create_directories(runDir);
    if (!tidewire_.Start(runDir, "N0CALL,1,true", enginePort_, error)) return Fail(error) == 0;
    if (!tidewire_.process.WaitForOutput("MyCall: N0CALL", kStartWait)) {
      return Fail("tidewire never registered its call:\n" + tidewire_.process.Output()) == 0;
    }
    client_ = NewClient();
    if (!client_->Open("127.0.0.1", tidewire_.listenPort, kStartWait)) {
      return Fail("could not take tidewire into host mode: " + client_->Error()) == 0;
    }
    for (StreamBook& book : books_) {
      book.up = book.connecting = false;
      book.retryAt = Clock::now();
    }
    return true;
  }

  std::unique_ptr<HostModeSession> NewClient() {
    HostModeSession::Options options;
    options.dataPerBlock = kMaxBlock;
    options.keepReceived = false;
    auto client = std::make_unique<HostModeSession>(options);
    client->OnReceived = [this](const Received& item) { OnReceived(item); };
    return client;
  }

  // Everything tidewire sends, in the order it sent it.
  void OnReceived(const Received& item) {
    if (item.kind == Received::Kind::Overflow) Fault("a block from tidewire was too long for the client");
    if (item.kind != Received::Kind::Block) return;
    const HostBlock& block = item.block;
    const int index = StreamIndex(block.stream);
    if (index < 0 || block.port != hostmode::kStreamPort) return;
    StreamBook& book = books_[static_cast<std::size_t>(index)];
    if (block.kind == 'D') {
      Echoed(index, book, block.text);
    } else if (block.kind == 'S') {
      if (block.text.rfind("*** CONNECTED", 0) == 0) {
        if (book.up) Fault(Cat("stream ", StreamChar(index), ": CONNECTED while already connected"));
        book.up = true;
        book.connecting = false;
        book.linkEngineEpoch = engineEpoch_;
        ++book.links;
      } else if (block.text.rfind("*** DISCONNECTED", 0) == 0) {
        LinkEnded(index, book);
      }
    } else if (block.kind == 'C' && !block.text.empty() && book.connecting) {
      // A refused connect (no engine at the moment); tried again later.
      book.connecting = false;
      book.retryAt = Clock::now() + std::chrono::seconds(1);
    }
  }

  void Echoed(int index, StreamBook& book, const std::string& data) {
    const std::size_t matching = std::min(data.size(), book.pending.size());
    std::size_t same = 0;
    while (same < matching && data[same] == book.pending[same]) ++same;
    book.echoed += same;
    book.pending.erase(0, same);
    if (same == data.size()) return;
    const std::size_t wrong = data.size() - same;
    book.corrupt += wrong;
    book.events.push_back(Cat(wrong, " bytes came back that were not the next ones sent",
                              book.up ? "" : " (no link)", " at ", static_cast<int>(Elapsed()), " s"));
    Fault(Cat("stream ", StreamChar(index), ": ", wrong, " bytes out of order or changed"));
    book.pending.clear();
  }

  // The link ended and the client was told. What it still carried is lost;
  // allowed only when the engine went away during the link.
  void LinkEnded(int index, StreamBook& book) {
    const bool wasUp = book.up;
    book.up = book.connecting = false;
    book.retryAt = Clock::now() + std::chrono::milliseconds(200 + random_() % 1500);
    if (!wasUp) return;  // a connect that did not succeed
    if (book.pending.empty()) return;
    const std::size_t lost = book.pending.size();
    book.pending.clear();
    if (engineEpoch_ != book.linkEngineEpoch) {
      book.lostAllowed += lost;
      book.events.push_back(Cat(lost, " bytes: link ended by engine restart #", engineEpoch_,
                                " (", engineHow_, "), client told DISCONNECTED"));
    } else {
      book.lostUnexplained += lost;
      book.events.push_back(Cat(lost, " bytes: link ended at ", static_cast<int>(Elapsed()),
                                " s without an engine restart"));
      Fault(Cat("stream ", StreamChar(index), ": ", lost, " bytes lost on a DISCONNECTED nobody asked for"));
    }
  }

  void ConnectStreams() {
    const auto now = Clock::now();
    for (int i = 0; i < kStreams; ++i) {
      StreamBook& book = books_[static_cast<std::size_t>(i)];
      if (book.connecting && now - book.connectSince > kConnectWait) {
        // Neither linked nor refused: asked again, and counted.
        book.connecting = false;
        ++book.unanswered;
      }
      if (book.up || book.connecting || now < book.retryAt) continue;
      const std::string command = i == 0 ? "C ECHO" : Cat("C ECHO #", i + 1);
      if (!client_->SendCommand(StreamChar(i), command)) return;
      book.connecting = true;
      book.connectSince = now;
    }
  }

  // Up to `count` blocks on streams whose window has room.
  bool SendSome(int count) {
    for (int n = 0; n < count; ++n) {
      const int start = static_cast<int>(random_() % kStreams);
      for (int k = 0; k < kStreams; ++k) {
        const int i = (start + k) % kStreams;
        StreamBook& book = books_[static_cast<std::size_t>(i)];
        if (!book.up || book.pending.size() >= kWindow) continue;
        if (!SendBlock(i, book)) return false;
        break;
      }
    }
    return true;
  }

  bool SendBlock(int index, StreamBook& book) {
    const std::size_t size = 1 + random_() % kMaxBlock;
    std::string block(size, '\0');
    for (char& c : block) {
      c = static_cast<char>(random_() & 0xFF);
      book.valuesSent.set(static_cast<unsigned char>(c));
    }
    // Booked before the write: the echo may arrive while the write is under way.
    book.pending += block;
    book.sent += size;
    book.sentInWindow += size;
    if (client_->SendData(StreamChar(index), block)) return true;
    Fault(Cat("stream ", StreamChar(index), ": the client could not send: ", client_->Error()));
    return false;
  }

  bool AllUp() const {
    for (const StreamBook& book : books_) {
      if (!book.up) return false;
    }
    return true;
  }

  // Runs the connection until nothing is on its way, or `timeout`.
  bool Settle(Millis timeout) {
    return client_->Pump(timeout, [this] {
      for (const StreamBook& book : books_) {
        if (!book.pending.empty()) return false;
      }
      return true;
    });
  }

  // The client closes its side and reads what tidewire still sends, stays
  // away a while (what arrives meanwhile tidewire must hold), and comes back
  // to a bridge still in host mode.
  bool LeaveAndReturn() {
    for (int burst = 0; burst < 3; ++burst) {
      if (!SendSome(kStreams)) return false;
    }
    if (!client_->Leave(Millis(10000))) Fault("tidewire did not close after the client left");
    const auto away = std::chrono::milliseconds(100 + random_() % 2000);
    ++returns_;
    Note(Cat("client left; back in ", away.count(), " ms"));
    std::this_thread::sleep_for(away);
    client_ = NewClient();
    if (!client_->Connect("127.0.0.1", tidewire_.listenPort, kStartWait)) {
      return Fail("could not reconnect: " + client_->Error()) == 0;
    }
    for (StreamBook& book : books_) {
      // A connect sent before leaving may have been answered while away;
      // the answer comes with what tidewire held.
      if (book.connecting) book.connectSince = Clock::now();
    }
    return true;
  }

  bool RestartEngine() {
    ++engineEpoch_;
    const bool hard = random_() % 2 == 0;
    engineHow_ = hard ? "SIGKILL" : "SIGTERM";
    // Blocks on their way on every linked stream as the engine goes.
    if (!SendSome(kStreams)) return false;
    Note(Cat("engine restart #", engineEpoch_, " with ", engineHow_));
    if (hard) {
      engine_.process.Kill();
    } else {
      engine_.process.Signal(SIGTERM);
      if (!engine_.process.WaitForExit(Millis(10000))) engine_.process.Kill();
    }
    // Streams learn of the end from tidewire; sending goes on meanwhile.
    const auto back = Clock::now() + std::chrono::milliseconds(random_() % 3000);
    while (Clock::now() < back) {
      client_->Pump(Millis(20), [] { return false; });
    }
    std::string error;
    if (!engine_.Start(dir_, enginePort_, EngineArguments(), error)) {
      return Fail("the engine did not come back: " + error) == 0;
    }
    for (StreamBook& book : books_) book.sentInWindow = 0;
    return true;
  }

  // A directory of the soak's own, so that nothing that tidies up after
  // other tests takes it away during a long run.
  static std::string TempDirectory() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/tw-soak-XXXXXX";
    return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
  }

  void EmptyEngineRecord() {
    // The engine appends to its output; emptying the file starts a new record.
    std::error_code ec;
    std::filesystem::resize_file(dir_ + "/engine.log", 0, ec);
    if (ec) Fault("the engine's record could not be emptied: " + ec.message());
    for (StreamBook& book : books_) book.sentInWindow = 0;
  }

  // Data bytes the echo station heard per radio port, from the engine's
  // record since it was last emptied.
  std::map<int, std::uint64_t> EchoHeard() const {
    constexpr std::string_view kHeard = ") echo station heard ";
    std::map<int, std::uint64_t> bytes;
    std::ifstream in(dir_ + "/engine.log");
    for (std::string line; std::getline(in, line);) {
      const std::size_t heard = line.find(kHeard);
      const std::size_t port = line.find("Port(");
      if (heard == std::string::npos || port == std::string::npos) continue;
      bytes[std::atoi(line.c_str() + port + 5)] += std::strtoull(line.c_str() + heard + kHeard.size(), nullptr, 10);
    }
    return bytes;
  }

  // tidewire is stopped as systemd would, with blocks on their way on
  // every stream. What tidewire took from the client must reach the echo
  // station; what the echo station sends back after the client's connection
  // is closed has nowhere to go and is not counted as lost.
  bool StopAndRestartTidewire() {
    // Every stream linked (after an engine restart that takes a while) and
    // nothing on its way, so that the record below starts clean.
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < deadline && !AllUp()) {
      ConnectStreams();
      client_->Pump(Millis(50), [this] { return AllUp(); });
    }
    if (!AllUp()) Fault("not every stream was linked when tidewire was stopped");
    Settle(Millis(10000));
    EmptyEngineRecord();
    for (int burst = 0; burst < 3; ++burst) {
      if (!SendSome(kStreams)) return false;
    }
    std::array<std::uint64_t, kStreams> sentBefore{};
    for (int i = 0; i < kStreams; ++i) sentBefore[static_cast<std::size_t>(i)] = books_[static_cast<std::size_t>(i)].sentInWindow;
    usageBeforeStop_ = Measure(tidewire_.process.Pid());
    Note("SIGTERM to tidewire");
    tidewire_.process.Signal(SIGTERM);
    client_->WaitClosed(Millis(60000));
    const auto status = tidewire_.process.WaitForExit(Millis(60000));
    if (status != 0) Fault(Cat("tidewire ended with status ", status ? std::to_string(*status) : "none (timeout)"));
    // Give the engine a moment to take in what the closing connection held
    // and to send what it had queued.
    std::this_thread::sleep_for(std::chrono::milliseconds(500 + PaceMillis(3 * kStreams * kMaxBlock)));
    const std::map<int, std::uint64_t> reached = EchoHeard();
    for (int i = 0; i < kStreams; ++i) {
      StreamBook& book = books_[static_cast<std::size_t>(i)];
      // Stream A is linked on radio port 1, B on 2, and so on.
      const auto found = reached.find(i + 1);
      const std::uint64_t got = found == reached.end() ? 0 : found->second;
      const std::uint64_t sent = sentBefore[static_cast<std::size_t>(i)];
      const std::uint64_t missing = sent > got ? sent - got : 0;
      if (missing > 0) {
        book.lostUnexplained += missing;
        book.events.push_back(Cat(missing, " of ", sent, " bytes sent just before SIGTERM never reached the echo station"));
        Fault(Cat("stream ", StreamChar(i), ": ", missing, " bytes cut by SIGTERM"));
      }
      // The rest reached the far station; its answer had no client to go to.
      sigtermUnreturned_[static_cast<std::size_t>(i)] = book.pending.size() - std::min<std::uint64_t>(book.pending.size(), missing);
      book.pending.clear();
      book.up = book.connecting = false;
    }
    if (!StartTidewire()) return false;
    usageRestart_ = Measure(tidewire_.process.Pid());
    Note(Cat("tidewire restarted, listening on ", tidewire_.listenPort));
    return true;
  }

  int Report(int status) {
    std::uint64_t total = 0;
    for (const StreamBook& b : books_) total += b.sent;
    std::printf("\nsoak: %.1f min, seed %u, engine at %u baud, %d engine restarts, %d client returns, %d tidewire runs, "
                "%llu bytes sent (%.0f bytes/s)\n",
                Elapsed() / 60, options_.seed, options_.baud, engineEpoch_, returns_, tidewireRuns_,
                static_cast<unsigned long long>(total), static_cast<double>(total) / Elapsed());
    std::printf("%-6s %5s %6s %10s %10s %12s %12s %9s %7s %9s\n", "stream", "links", "unansd", "sent", "echoed",
                "lost-engine", "lost-unexpl", "corrupt", "values", "sigterm-x");
    bool clean = status == 0 && faults_.empty();
    for (int i = 0; i < kStreams; ++i) {
      const StreamBook& b = books_[static_cast<std::size_t>(i)];
      std::printf("%-6c %5d %6d %10llu %10llu %12llu %12llu %9llu %7zu %9llu\n", StreamChar(i), b.links, b.unanswered,
                  static_cast<unsigned long long>(b.sent), static_cast<unsigned long long>(b.echoed),
                  static_cast<unsigned long long>(b.lostAllowed), static_cast<unsigned long long>(b.lostUnexplained),
                  static_cast<unsigned long long>(b.corrupt), b.valuesSent.count(),
                  static_cast<unsigned long long>(sigtermUnreturned_[static_cast<std::size_t>(i)]));
      const std::uint64_t accounted = b.echoed + b.lostAllowed + b.lostUnexplained + b.corrupt +
                                      sigtermUnreturned_[static_cast<std::size_t>(i)];
      if (accounted != b.sent) {
        std::printf("       sent %llu but %llu accounted for\n", static_cast<unsigned long long>(b.sent),
                    static_cast<unsigned long long>(accounted));
        clean = false;
      }
      for (const std::string& event : b.events) std::printf("       %c: %s\n", StreamChar(i), event.c_str());
      if (b.lostUnexplained > 0 || b.corrupt > 0) clean = false;
    }
    std::printf("(unansd: connects answered neither way within %lld s; sigterm-x: reached the echo station before\n"
                " SIGTERM, its answer had no client left to go to)\n",
                static_cast<long long>(kConnectWait.count() / 1000));
    const auto show = [](const char* when, const Usage& u) {
      std::printf("tidewire %-22s RSS %6ld KiB, %3d open descriptors\n", when, u.rssKiB, u.descriptors);
    };
    show("at start:", usageStart_);
    show("before SIGTERM:", usageBeforeStop_);
    show("after restart:", usageRestart_);
    show("at end:", usageEnd_);
    for (const std::string& fault : faults_) std::printf("fault: %s\n", fault.c_str());
    std::printf("result: %s\n", clean ? "every byte accounted for" : "UNEXPLAINED LOSS OR CORRUPTION");
    if (clean) std::filesystem::remove_all(dir_);
    else std::printf("logs kept in %s\n", dir_.c_str());
    std::fflush(stdout);
    return status != 0 ? status : (clean ? 0 : 1);
  }

  Options options_;
  std::mt19937 random_;
  std::string dir_;
  Clock::time_point start_{};
  program_test::LoopbackEngine engine_;
  program_test::Tidewire tidewire_;
  std::uint16_t enginePort_ = 0;
  std::unique_ptr<HostModeSession> client_;
  std::array<StreamBook, kStreams> books_{};
  std::array<std::uint64_t, kStreams> sigtermUnreturned_{};
  int engineEpoch_ = 0;
  std::string engineHow_;
  int returns_ = 0;
  int tidewireRuns_ = 0;
  std::vector<std::string> faults_;
  Usage usageStart_, usageBeforeStop_, usageRestart_, usageEnd_;
};

}  // namespace
}  // namespace tw::soak

int main(int argc, char** argv) {
  const auto options = tw::soak::Parse(argc, argv);
  if (!options) {
    std::fprintf(stderr, "usage: tw-soak [--minutes M] [--seed N] [--baud B] [--quiet]\n");
    return 2;
  }
  std::signal(SIGPIPE, SIG_IGN);
  return tw::soak::Soak(*options).Run();
}
