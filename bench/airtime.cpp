// Air time of one message, through tidewire against a raw engine client, on
// the Dire Wolf pair of the end-to-end tests (two engines at 1200 baud whose
// audio is cross-connected).
//
// The raw reference connects from engine A to B, hands the engine the whole
// message in 128-byte data frames, asks for the link's outstanding frames
// ('Y') once a second until none are left, then disconnects. The same
// message goes through tidewire from a scripted mail client: "C", the data
// blocks of 128, "D" at once. The two alternate, so a loaded machine hurts
// both alike. Timed from the first block to the called station's report of
// the disconnect; the gaps come from engine A's console output, each line
// stamped as it appears ("[0L]" lines are A's transmissions starting, the
// others frames A heard from B, and "Disconnect from" when the client's
// disconnect reached A).
//
//   tw-airtime [--runs N] [--sizes 2000,10000] [--keep]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/agw_client.h"
#include "tests/e2e/direwolf_pair.h"
#include "tests/program/program_rig.h"
#include "tools/hostmode_client/hostmode_session.h"

namespace {

using tw::Frame;
using tw::e2e::AgwClient;
using tw::e2e::DirewolfPair;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr std::size_t kBlock = 128;
constexpr std::uint8_t kPidText = 0xF0;
constexpr seconds kConnectTimeout{60};
constexpr seconds kTransferTimeout{600};

double Since(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

std::string Message(std::size_t size, unsigned seed) {
  std::string m;
  for (std::size_t i = 0; i < size; ++i) m += static_cast<char>((i * 7 + seed + i / 256) & 0xFF);
  if (size > 1) {
    m[0] = '\xC0';  // the framing bytes of host mode in the data
    m[1] = '\xDB';
  }
  return m;
}

// Stamps each line of a growing file as it appears.
class LogWatch {
 public:
  struct Line {
    Clock::time_point at;
    std::string text;
  };

  explicit LogWatch(std::string path) : path_(std::move(path)) {
    std::ifstream in(path_, std::ios::binary | std::ios::ate);
    offset_ = in ? static_cast<std::size_t>(in.tellg()) : 0;
    thread_ = std::thread([this] { Run(); });
  }
  ~LogWatch() {
    stop_ = true;
    thread_.join();
  }

  std::vector<Line> Lines() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }

 private:
  void Run() {
    std::string partial;
    while (!stop_) {
      std::ifstream in(path_, std::ios::binary);
      in.seekg(static_cast<std::streamoff>(offset_));
      std::string chunk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      const auto now = Clock::now();
      offset_ += chunk.size();
      partial += chunk;
      std::size_t end;
      while ((end = partial.find('\n')) != std::string::npos) {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back({now, partial.substr(0, end)});
        partial.erase(0, end + 1);
      }
      std::this_thread::sleep_for(milliseconds(5));
    }
  }

  std::string path_;
  std::size_t offset_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<Line> lines_;
  std::thread thread_;
};

// The called station on engine B: takes the link, the data and the end of
// the link, noting when the end came.
class Station {
 public:
  Station(const DirewolfPair& pair, std::size_t size) : pair_(pair), size_(size) {}
  ~Station() {
    if (thread_.joinable()) thread_.join();
  }

  bool Start(std::string& error) {
    if (!agw_.Connect(pair_.B().agwPort, error)) return false;
    agw_.Send('X', 1, pair_.B().call);
    if (!agw_.WaitForKind('X', seconds(10))) {
      error = "B: no answer to the registration";
      return false;
    }
    thread_ = std::thread([this] { Run(); });
    return true;
  }
  void Join() { thread_.join(); }

  std::string received;
  std::optional<Clock::time_point> disconnected;

 private:
  void Run() {
    if (!agw_.WaitForKind('C', kConnectTimeout)) return;
    for (const Frame& f : agw_.ReceiveData(pair_.A().call, size_, kTransferTimeout)) received += f.data;
    if (agw_.WaitForKind('d', kTransferTimeout)) disconnected = Clock::now();
  }

  const DirewolfPair& pair_;
  std::size_t size_;
  AgwClient agw_{"B"};
  std::thread thread_;
};

struct Result {
  std::size_t delivered = 0;
  bool exact = false;
  double seconds = -1;
  double uaToData = -1;  // B's UA heard by A .. A's first data transmission starting
  double ackToDisc = -1;  // B's last acknowledgement heard by A .. A's DISC starting
  double ackToAsk = -1;   // the same acknowledgement .. the client's disconnect reaching A
  std::size_t transmissions = 0;  // A's data transmissions ("[0L]" lines with I frames)
};

bool Contains(const std::string& s, const std::string& what) { return s.find(what) != std::string::npos; }

void ReadGaps(const std::vector<LogWatch::Line>& lines, const std::string& a, const std::string& b, Result& r) {
  const std::string fromA = a + ">" + b;
  const std::string fromB = b + ">" + a;
  std::optional<Clock::time_point> ua, firstData, lastAck, asked, disc;
  for (const auto& line : lines) {
    const bool sent = line.text.rfind("[0L]", 0) == 0 || line.text.rfind("[0H]", 0) == 0;
    if (line.text.rfind("Disconnect from " + b, 0) == 0 && !asked) asked = line.at;
    if (sent && Contains(line.text, fromA)) {
      if (Contains(line.text, "(I ")) {
        if (!firstData) firstData = line.at;
      }
      if (Contains(line.text, "(DISC") && !disc) disc = line.at;
    } else if (!sent && Contains(line.text, fromB)) {
      if (Contains(line.text, "(UA") && !ua) ua = line.at;
      if ((Contains(line.text, "(RR") || Contains(line.text, "(RNR") || Contains(line.text, "(REJ")) && !disc) {
        lastAck = line.at;
      }
    }
  }
  // One "[0L]" line per frame: count the bursts, lines stamped together.
  std::optional<Clock::time_point> previous;
  for (const auto& line : lines) {
    const bool sent = line.text.rfind("[0L]", 0) == 0 || line.text.rfind("[0H]", 0) == 0;
    if (!sent || !Contains(line.text, fromA) || !Contains(line.text, "(I ")) continue;
    if (!previous || line.at - *previous > milliseconds(300)) ++r.transmissions;
    previous = line.at;
  }
  if (ua && firstData) r.uaToData = Since(*ua, *firstData);
  if (lastAck && disc) r.ackToDisc = Since(*lastAck, *disc);
  if (lastAck && asked) r.ackToAsk = Since(*lastAck, *asked);
}

class Bench {
 public:
  explicit Bench(DirewolfPair& pair) : pair_(pair) {}

  std::optional<Result> Raw(const std::string& message) {
    std::string error;
    Station station(pair_, message.size());
    if (!station.Start(error)) return Fail(error);
    LogWatch log(pair_.A().log);
    AgwClient a("A");
    if (!a.Connect(pair_.A().agwPort, error)) return Fail(error);
    const std::string& me = pair_.A().call;
    const std::string& peer = pair_.B().call;
    a.Send('X', 1, me);
    if (!a.WaitForKind('X', seconds(10))) return Fail("A: no answer to the registration");
    a.Send('C', 1, me, peer);
    if (!a.WaitForKind('C', kConnectTimeout)) return Fail("A: never connected");

    const auto start = Clock::now();
    for (std::size_t at = 0; at < message.size(); at += kBlock) {
      a.Send('D', 1, me, peer, std::string_view(message).substr(at, kBlock), kPidText);
    }
    const auto until = start + kTransferTimeout;
    for (auto tick = start; Clock::now() < until; tick += seconds(1)) {
      std::this_thread::sleep_until(tick);
      a.Send('Y', 1, me, peer);
      auto answer = a.WaitForKind('Y', seconds(10));
      if (!answer || answer->data.size() < 4) return Fail("A: no answer to 'Y'");
      const auto* d = reinterpret_cast<const unsigned char*>(answer->data.data());
      if ((d[0] | d[1] << 8 | d[2] << 16 | d[3] << 24) == 0) break;
    }
    a.Send('d', 1, me, peer);
    station.Join();
    a.WaitForKind('d', seconds(30));
    return Finish(start, station, message, log);
  }

  std::optional<Result> Through(const std::string& message) {
    std::string error;
    const std::string dir = tw::program_test::TempDirectory();
    tw::program_test::Tidewire tidewire;
    if (!tidewire.Start(dir, pair_.A().call + ",1,true", pair_.A().agwPort, error)) return Fail(error);
    if (!tidewire.process.WaitForOutput("MyCall: " + pair_.A().call, kConnectTimeout)) {
      return Fail("tidewire never registered:\n" + tidewire.process.Output());
    }
    Station station(pair_, message.size());
    if (!station.Start(error)) return Fail(error);
    LogWatch log(pair_.A().log);
    tw::hostmode::HostModeSession client;
    if (!client.Open("127.0.0.1", tidewire.listenPort, milliseconds(30000))) return Fail(client.Error());
    client.SendCommand('A', "C " + pair_.B().call);
    if (!client.WaitForStatus('A', "*** CONNECTED to " + pair_.B().call, kConnectTimeout)) {
      return Fail("tidewire never connected:\n" + tidewire.process.Output());
    }
    const auto start = Clock::now();
    client.SendData('A', message);
    client.SendCommand('A', "D");
    client.WaitForStatus('A', "*** DISCONNECTED", kTransferTimeout);
    station.Join();
    auto result = Finish(start, station, message, log);
    if (keep_) std::cout << "tidewire's output:\n" << tidewire.process.Output();
    tidewire.process.Signal(SIGTERM);
    tidewire.process.WaitForExit(milliseconds(10000));
    tidewire.process.Kill();
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return result;
  }

  bool keep_ = false;

 private:
  std::optional<Result> Fail(const std::string& why) {
    std::cerr << "airtime: " << why << "\n";
    return std::nullopt;
  }

  std::optional<Result> Finish(Clock::time_point start, Station& station, const std::string& message,
                               LogWatch& log) {
    std::this_thread::sleep_for(milliseconds(50));  // the last log lines
    Result r;
    r.delivered = station.received.size();
    r.exact = station.received == message;
    if (station.disconnected) r.seconds = Since(start, *station.disconnected);
    ReadGaps(log.Lines(), pair_.A().call, pair_.B().call, r);
    if (keep_) {
      for (const auto& line : log.Lines()) {
        if (line.text.empty() || line.text.find("out of control") != std::string::npos) continue;
        std::printf("  %8.3f %.90s\n", Since(start, line.at), line.text.c_str());
      }
    }
    // Both engines idle again before the next run.
    std::this_thread::sleep_for(seconds(2));
    return r;
  }

  DirewolfPair& pair_;
};

double Median(std::vector<double> v) {
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void Print(const char* label, std::size_t size, const Result& r) {
  std::printf("  %-8s %6zu/%-6zu %-5s %7.2f s  UA->data %5.2f s  ack->DISC %5.2f s (ack->'d' %5.2f s)  bursts %zu\n",
              label, r.delivered, size, r.exact ? "exact" : "WRONG", r.seconds, r.uaToData, r.ackToDisc,
              r.ackToAsk, r.transmissions);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  std::vector<std::size_t> sizes = {2000, 10000};
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--sizes" && i + 1 < argc) {
      sizes.clear();
      std::stringstream list(argv[++i]);
      std::string item;
      while (std::getline(list, item, ',')) sizes.push_back(std::stoul(item));
    } else if (arg == "--keep") {
      keep = true;
    } else {
      std::cerr << "usage: tw-airtime [--runs N] [--sizes 2000,10000] [--keep]\n";
      return 2;
    }
  }
  std::string whyNot;
  tw::e2e::DirewolfPairOptions options;
  options.relayProgram = TW_AUDIO_RELAY;
  options.lifetimeSeconds = 3600;
  auto pair = DirewolfPair::Start(options, whyNot);
  if (!pair) {
    std::cerr << "airtime: the engines cannot run: " << whyNot << "\n";
    return 1;
  }
  if (keep) pair->KeepFiles();
  Bench bench(*pair);
  bench.keep_ = keep;
  bool allExact = true;
  for (std::size_t size : sizes) {
    std::vector<double> raw, through, ratios, rawUa, twUa, rawDisc, twDisc, rawAsk, twAsk;
    std::printf("%zu bytes in %zu-byte blocks, %d runs of each, alternating:\n", size, kBlock, runs);
    for (int run = 0; run < runs; ++run) {
      const std::string message = Message(size, static_cast<unsigned>(run));
      // Which goes first alternates too.
      std::optional<Result> r, t;
      if (run % 2 == 0) {
        r = bench.Raw(message);
        t = bench.Through(message);
      } else {
        t = bench.Through(message);
        r = bench.Raw(message);
      }
      if (!r || !t) return 1;
      std::printf(" run %d\n", run + 1);
      Print("raw", size, *r);
      Print("tidewire", size, *t);
      const double ratio = t->seconds > 0 ? r->seconds / t->seconds : 0;
      std::printf("  ratio raw/tidewire %.3f\n", ratio);
      std::fflush(stdout);
      allExact = allExact && r->exact && t->exact;
      raw.push_back(r->seconds);
      through.push_back(t->seconds);
      ratios.push_back(ratio);
      rawUa.push_back(r->uaToData);
      twUa.push_back(t->uaToData);
      rawDisc.push_back(r->ackToDisc);
      twDisc.push_back(t->ackToDisc);
      rawAsk.push_back(r->ackToAsk);
      twAsk.push_back(t->ackToAsk);
    }
    std::printf(" median of %d, %zu bytes: raw %.2f s, tidewire %.2f s, ratio of medians %.3f, median ratio %.3f\n",
                runs, size, Median(raw), Median(through), Median(raw) / Median(through), Median(ratios));
    std::printf("   UA->data raw %.2f s, tidewire %.2f s; ack->DISC raw %.2f s, tidewire %.2f s;"
                " ack->'d' raw %.2f s, tidewire %.2f s\n",
                Median(rawUa), Median(twUa), Median(rawDisc), Median(twDisc), Median(rawAsk), Median(twAsk));
    std::fflush(stdout);
  }
  if (keep) std::cout << "engine files kept in " << pair->Directory() << "\n";
  return allExact ? 0 : 1;
}
