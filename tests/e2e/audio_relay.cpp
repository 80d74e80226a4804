// tw-audio-relay: carries one engine's transmit audio (raw S16_LE mono read
// from a FIFO) to another engine's UDP audio input, in real time, so that two
// software modems on one machine hear each other without a sound card.
//
//   tw-audio-relay --fifo PATH --port N [--host 127.0.0.1] [--rate 44100]
//                  [--tick-ms 20] [--gain 0.25] [--max-seconds S]
//
// Between transmissions it keeps sending digital silence: a receiver that
// stops getting samples never sees its carrier drop and so never answers.
// Runs until SIGTERM or SIGINT, or for at most --max-seconds when given.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

#include "tests/e2e/audio_pacer.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

// Larger datagrams are dropped by the receiving engine.
constexpr std::size_t kMaxDatagram = 2000;

struct Options {
  std::string fifo;
  std::string host = "127.0.0.1";
  long port = 0;
  long rate = 44100;
  long tickMs = 20;
  double gain = 0.25;
  long maxSeconds = 0;  // 0: no limit
};

bool ParseLong(const char* text, long low, long high, long& out) {
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || value < low || value > high) return false;
  out = value;
  return true;
}

bool ParseDouble(const char* text, double low, double high, double& out) {
  char* end = nullptr;
  errno = 0;
  double value = std::strtod(text, &end);
  if (errno != 0 || end == text || *end != '\0' || !(value >= low && value <= high)) return false;
  out = value;
  return true;
}

bool ParseOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    std::string_view name = argv[i];
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    bool ok = true;
    if (name == "--fifo") {
      o.fifo = value;
    } else if (name == "--host") {
      o.host = value;
    } else if (name == "--port") {
      ok = ParseLong(value, 1, 65535, o.port);
    } else if (name == "--rate") {
      ok = ParseLong(value, 8000, 192000, o.rate);
    } else if (name == "--tick-ms") {
      ok = ParseLong(value, 1, 1000, o.tickMs);
    } else if (name == "--gain") {
      ok = ParseDouble(value, 0.0, 1.0, o.gain);
    } else if (name == "--max-seconds") {
      ok = ParseLong(value, 0, 86400, o.maxSeconds);
    } else {
      ok = false;
    }
    if (!ok) return false;
  }
  return !o.fifo.empty() && o.port != 0;
}

void AddMs(timespec& t, long ms) {
  t.tv_nsec += ms * 1000000L;
  while (t.tv_nsec >= 1000000000L) {
    t.tv_nsec -= 1000000000L;
    ++t.tv_sec;
  }
}

long MsBetween(const timespec& from, const timespec& to) {
  return (to.tv_sec - from.tv_sec) * 1000L + (to.tv_nsec - from.tv_nsec) / 1000000L;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseOptions(argc, argv, o)) {
    std::fprintf(stderr,
                 "usage: tw-audio-relay --fifo PATH --port N [--host 127.0.0.1] [--rate 44100]"
                 " [--tick-ms 20] [--gain 0.25] [--max-seconds S]\n");
    return 2;
  }
  auto chunkSamples = static_cast<std::size_t>(o.rate * o.tickMs / 1000);
  if (chunkSamples == 0 || 2 * chunkSamples > kMaxDatagram) {
    std::fprintf(stderr, "tw-audio-relay: %zu samples a tick do not fit one datagram\n",
                 chunkSamples);
    return 2;
  }

  struct sigaction stop {};
  stop.sa_handler = RequestStop;
  sigemptyset(&stop.sa_mask);
  sigaction(SIGTERM, &stop, nullptr);
  sigaction(SIGINT, &stop, nullptr);

  // Non-blocking, so that opening does not wait for the engine and reading
  // an empty pipe tells the relay to send silence instead.
  int fifo = open(o.fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fifo < 0) {
    std::fprintf(stderr, "tw-audio-relay: open %s: %s\n", o.fifo.c_str(), std::strerror(errno));
    return 1;
  }
  int udp = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(o.port));
  if (udp < 0 || inet_pton(AF_INET, o.host.c_str(), &to.sin_addr) != 1) {
    std::fprintf(stderr, "tw-audio-relay: cannot send to %s\n", o.host.c_str());
    return 1;
  }

  // A few ticks of headroom; beyond that the pipe holds the writer back, so
  // the relay's memory stays fixed however long a transmission is.
  tw::e2e::AudioPacer pacer(chunkSamples, 4 * chunkSamples, o.gain);
  char piece[4096];
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  timespec next = start;

  while (!stopRequested) {
    bool delivered = false;
    while (pacer.Room() > 0) {
      std::size_t want = pacer.Room() < sizeof piece ? pacer.Room() : sizeof piece;
      ssize_t n = read(fifo, piece, want);
      if (n <= 0) break;  // empty (EAGAIN) or no writer at the moment (0)
      pacer.Feed(std::string_view(piece, static_cast<std::size_t>(n)));
      delivered = true;
    }
    std::string datagram = pacer.Tick(!delivered);
    // A receiver that is not up yet refuses with ICMP; the next tick tries again.
    sendto(udp, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to),
           sizeof to);

    AddMs(next, o.tickMs);
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (o.maxSeconds > 0 && MsBetween(start, now) >= o.maxSeconds * 1000L) break;
    // After a long stall (a loaded machine) resume from now rather than
    // flooding the receiver to catch up.
    if (MsBetween(next, now) > 10 * o.tickMs) next = now;
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
  }
  close(udp);
  close(fifo);
  return 0;
}
