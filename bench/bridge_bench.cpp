// tw-bridge-bench: the figures of bench/bridge_bench.sh, measured from a mail
// client's side (HostModeSession) and, for the engine's own share, from a
// raw engine client.
//
//   tw-bridge-bench throughput BRIDGE_PORT MEGABYTES TIDEWIRE_PID
//   tw-bridge-bench relay RELAY_PORT MEGABYTES
//   tw-bridge-bench latency BRIDGE_PORT ENGINE_PORT SAMPLES
//   tw-bridge-bench idle BRIDGE_PORT TIDEWIRE_PID SECONDS
//
// Each prints one line of "key=value" figures for the script.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "control/link/frame_codec.h"
#include "control/link/frame_reader.h"
#include "tools/hostmode_client/hostmode_session.h"

namespace {

using tw::hostmode::HostModeSession;
using Clock = std::chrono::steady_clock;
using Millis = std::chrono::milliseconds;

constexpr int kStreams = 10;
constexpr Millis kWait{60000};

[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "tw-bridge-bench: %s\n", why.c_str());
  std::exit(1);
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::string Payload(std::size_t size, unsigned seed) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 31 + seed * 7 + i / 256) & 0xFF);
  return data;
}

// A field of /proc/PID/status ("VmRSS", "VmHWM") in kB.
long StatusKb(long pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::atol(line.c_str() + field.size() + 1);
  }
  return -1;
}

// User plus system CPU time of PID, in seconds.
double CpuSeconds(long pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string skip;
  for (int i = 3; i < 14; ++i) fields >> skip;  // state .. cmajflt
  double user = 0;
  double system = 0;
  fields >> user >> system;
  return (user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

int ConnectTcp(std::uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    Fail("cannot connect to port " + std::to_string(port));
  }
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

HostModeSession::Options ClientOptions() {
  HostModeSession::Options options;
  options.dataPerBlock = 128;  // what a mail client sends
  return options;
}

// Ten streams, each linked to the echo station on its own radio port (one
// link per port and pair of calls).
void ConnectTenEchoes(HostModeSession& client, std::uint16_t bridgePort) {
  if (!client.Open("127.0.0.1", bridgePort, kWait)) Fail("cannot open the bridge: " + client.Error());
  for (int i = 0; i < kStreams; ++i) {
    const char stream = static_cast<char>('A' + i);
    client.SendCommand(stream, "C ECHO #" + std::to_string(i + 1));
    if (!client.WaitForStatus(stream, "*** CONNECTED to ECHO", kWait)) Fail("stream " + std::string(1, stream));
  }
}

// Ends the links of the first `streams` streams and leaves host mode, so
// that the next client starts afresh.
void Leave(HostModeSession& client, int streams) {
  for (int i = 0; i < streams; ++i) {
    const char stream = static_cast<char>('A' + i);
    client.SendCommand(stream, "D");
    if (!client.WaitForStatus(stream, "*** DISCONNECTED", kWait)) Fail("no disconnect on " + std::string(1, stream));
  }
  client.SendGlobal('q');
  client.WaitForText("cmd:", kWait);
}

struct Carried {
  double bytes = 0;
  double seconds = 0;
  long peakRssKb = -1;
};

// MEGABYTES in data blocks over the ten streams of `client`, read back as
// they return; `pid`'s resident memory is sampled meanwhile (none: -1).
Carried Carry(HostModeSession& client, double megabytes, long pid) {
  const std::size_t perStream = static_cast<std::size_t>(megabytes * 1e6) / kStreams;
  constexpr std::size_t kChunk = 4096;
  const std::string chunk = Payload(kChunk, 1);
  // At most this much of a stream on its way at once, as a client metering
  // by the controller's free bytes would: the loopback engine drops a client
  // that lets megabytes pile up unread.
  constexpr std::size_t kWindow = 64 * 1024;
  Carried carried;
  const auto start = Clock::now();
  for (std::size_t sent = 0; sent < perStream; sent += kChunk) {
    const std::size_t size = std::min(kChunk, perStream - sent);
    for (int i = 0; i < kStreams; ++i) {
      if (!client.SendData(static_cast<char>('A' + i), std::string_view(chunk).substr(0, size))) Fail("send");
    }
    const auto caughtUp = [&] {
      for (int i = 0; i < kStreams; ++i) {
        if (sent + size - client.Data(static_cast<char>('A' + i)).bytes.size() > kWindow) return false;
      }
      return true;
    };
    if (!client.Pump(kWait, caughtUp)) Fail("the echo stopped coming back");
    if (pid > 0) carried.peakRssKb = std::max(carried.peakRssKb, StatusKb(pid, "VmRSS"));
  }
  for (int i = 0; i < kStreams; ++i) {
    const char stream = static_cast<char>('A' + i);
    if (!client.WaitForData(stream, perStream, kWait)) Fail("stream " + std::string(1, stream) + " came back short");
  }
  carried.seconds = Seconds(Clock::now() - start);
  std::string expected;
  for (std::size_t sent = 0; sent < perStream; sent += kChunk) expected.append(chunk, 0, std::min(kChunk, perStream - sent));
  for (int i = 0; i < kStreams; ++i) {
    if (client.Data(static_cast<char>('A' + i)).bytes != expected) Fail("what came back differs from what was sent");
  }
  carried.bytes = static_cast<double>(perStream) * kStreams;
  return carried;
}

void Throughput(std::uint16_t bridgePort, double megabytes, long pid) {
  HostModeSession client(ClientOptions());
  ConnectTenEchoes(client, bridgePort);
  const Carried carried = Carry(client, megabytes, pid);
  const long hwm = StatusKb(pid, "VmHWM");
  Leave(client, kStreams);
  std::printf("bytes=%.0f seconds=%.3f mbps=%.2f rss_kb=%ld hwm_kb=%ld\n", carried.bytes, carried.seconds,
              carried.bytes / 1e6 / carried.seconds, carried.peakRssKb, hwm);
}

// The same client and the same bytes over one plain TCP connection through
// the relay to an echo: each block comes back as it went, which the client
// reads as data on the stream it was sent on.
void Relay(std::uint16_t relayPort, double megabytes) {
  HostModeSession client(ClientOptions());
  if (!client.Connect("127.0.0.1", relayPort, kWait)) Fail("cannot reach the relay: " + client.Error());
  const Carried carried = Carry(client, megabytes, -1);
  std::printf("bytes=%.0f seconds=%.3f mbps=%.2f\n", carried.bytes, carried.seconds,
              carried.bytes / 1e6 / carried.seconds);
}

// A station on the engine spoken to directly, frame by frame.
class Station {
 public:
  Station(std::uint16_t enginePort, std::string call) : fd_(ConnectTcp(enginePort)), call_(std::move(call)) {
    Send('X', "");
    if (Next('X').data != std::string(1, '\x01')) Fail("registration of " + call_ + " refused");
  }
  ~Station() { close(fd_); }
  void Send(char kind, const std::string& to, std::string_view data = "") {
    const std::string frame = tw::EncodeFrame(1, kind == 'D' ? 0xF0 : 0, kind, call_, to, data);
    if (write(fd_, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) Fail("engine write");
  }
  tw::Frame Next(char kind) {
    while (true) {
      while (auto frame = reader_.Next()) {
        if (frame->header.kind == kind) return *frame;
      }
      char buffer[4096];
      const ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n <= 0) Fail("the engine closed");
      reader_.Append(std::string_view(buffer, static_cast<std::size_t>(n)));
    }
  }
  // Connected data until `size` bytes are in.
  void Receive(std::size_t size) {
    for (std::size_t got = 0; got < size;) got += Next('D').data.size();
  }

 private:
  int fd_;
  std::string call_;
  tw::FrameReader reader_;
};

struct Spread {
  double median;
  double p99;
};

Spread Percentiles(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  const auto at = [&](double q) { return samples[static_cast<std::size_t>(q * static_cast<double>(samples.size() - 1))]; };
  return {at(0.5), at(0.99)};
}

void Latency(std::uint16_t bridgePort, std::uint16_t enginePort, int count) {
  const std::string block = Payload(100, 3);
  Station remote(enginePort, "N0REM");
  std::vector<double> direct;
  std::vector<double> bridged;
  {
    // The engine's own share: a station sending straight to the remote one.
    Station sender(enginePort, "N0DIR");
    sender.Send('C', "N0REM");
    sender.Next('C');
    remote.Next('C');
    for (int i = 0; i < count; ++i) {
      const auto start = Clock::now();
      sender.Send('D', "N0REM", block);
      remote.Receive(block.size());
      direct.push_back(Seconds(Clock::now() - start) * 1e6);
    }
  }
  HostModeSession client(ClientOptions());
  if (!client.Open("127.0.0.1", bridgePort, kWait)) Fail("cannot open the bridge: " + client.Error());
  client.SendCommand('A', "C N0REM");
  if (!client.WaitForStatus('A', "*** CONNECTED to N0REM", kWait)) Fail("no link to N0REM");
  remote.Next('C');
  for (int i = 0; i < count; ++i) {
    const auto start = Clock::now();
    if (!client.SendData('A', block)) Fail("send");
    remote.Receive(block.size());
    bridged.push_back(Seconds(Clock::now() - start) * 1e6);
  }
  Leave(client, 1);
  const Spread d = Percentiles(direct);
  const Spread b = Percentiles(bridged);
  std::printf("direct_median_us=%.0f direct_p99_us=%.0f bridged_median_us=%.0f bridged_p99_us=%.0f "
              "added_median_us=%.0f added_p99_us=%.0f\n",
              d.median, d.p99, b.median, b.p99, b.median - d.median, b.p99 - d.p99);
}

void Idle(std::uint16_t bridgePort, long pid, int seconds) {
  HostModeSession client(ClientOptions());
  if (!client.Open("127.0.0.1", bridgePort, kWait)) Fail("cannot open the bridge: " + client.Error());
  const double before = CpuSeconds(pid);
  client.Pump(std::chrono::seconds(seconds), [] { return false; });
  const double used = CpuSeconds(pid) - before;
  std::printf("seconds=%d cpu_seconds=%.3f connected=%d rss_kb=%ld\n", seconds, used, client.IsOpen() ? 1 : 0,
              StatusKb(pid, "VmRSS"));
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  auto port = [&](std::size_t i) { return static_cast<std::uint16_t>(std::atoi(args.at(i).c_str())); };
  try {
    if (args.size() == 4 && args[0] == "throughput") {
      Throughput(port(1), std::atof(args[2].c_str()), std::atol(args[3].c_str()));
    } else if (args.size() == 3 && args[0] == "relay") {
      Relay(port(1), std::atof(args[2].c_str()));
    } else if (args.size() == 4 && args[0] == "latency") {
      Latency(port(1), port(2), std::atoi(args[3].c_str()));
    } else if (args.size() == 4 && args[0] == "idle") {
      Idle(port(1), std::atol(args[2].c_str()), std::atoi(args[3].c_str()));
    } else {
      Fail("usage: throughput|relay|latency|idle ... (see bench/bridge_bench.sh)");
    }
  } catch (const std::exception& error) {
    Fail(error.what());
  }
  return 0;
}
