#include "tests/e2e/agw_client.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tw::e2e {

namespace {

using Clock = std::chrono::steady_clock;

// Bounds on what a misbehaving engine can make the test hold on to.
constexpr std::size_t kMaxHeld = 1000;
constexpr std::size_t kMaxHistory = 64 * 1024;

}  // namespace

AgwClient::~AgwClient() {
  if (fd_ >= 0) close(fd_);
}

bool AgwClient::Connect(std::uint16_t port, std::string& error) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (fd_ < 0 || connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    error = name_ + ": connect to port " + std::to_string(port) + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool AgwClient::Send(char kind, int port, std::string_view callFrom, std::string_view callTo,
                     std::string_view data, std::uint8_t pid) {
  bool ok = fd_ >= 0;
  EncodeFrames(port, pid, kind, callFrom, callTo, data, [&](std::string_view piece) {
    while (ok && !piece.empty()) {
      ssize_t n = send(fd_, piece.data(), piece.size(), MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ok = false;
        break;
      }
      piece.remove_prefix(static_cast<std::size_t>(n));
    }
  });
  return ok;
}

bool AgwClient::ReadSome(Clock::time_point deadline) {
  if (fd_ < 0 || closed_) return false;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  if (left.count() < 0) return false;
  pollfd p{fd_, POLLIN, 0};
  int ready = poll(&p, 1, static_cast<int>(left.count()));
  if (ready <= 0) return false;
  char buffer[4096];
  ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
  if (n <= 0) {
    if (n < 0 && errno == EINTR) return true;
    closed_ = true;
    history_ += name_ + ": connection closed by the engine\n";
    return false;
  }
  reader_.Append(std::string_view(buffer, static_cast<std::size_t>(n)));
  while (auto frame = reader_.Next()) Hold(std::move(*frame));
  return true;
}

void AgwClient::Hold(Frame frame) {
  if (history_.size() < kMaxHistory) {
    history_ += name_ + " <- " + Describe(frame) + "\n";
    if (history_.size() >= kMaxHistory) history_ += "(later frames not recorded)\n";
  }
  if (held_.size() == kMaxHeld) {
    held_.pop_front();
    ++dropped_;
  }
  held_.push_back(std::move(frame));
}

std::optional<Frame> AgwClient::WaitFor(const Match& match, std::chrono::milliseconds timeout) {
  auto deadline = Clock::now() + timeout;
  std::size_t looked = 0;  // held frames already refused
  for (;;) {
    for (; looked < held_.size(); ++looked) {
      if (match(held_[looked])) {
        Frame found = std::move(held_[looked]);
        held_.erase(held_.begin() + static_cast<std::ptrdiff_t>(looked));
        return found;
      }
    }
    std::size_t droppedBefore = dropped_;
    if (!ReadSome(deadline)) {
      if (closed_ || Clock::now() >= deadline) return std::nullopt;
    }
    // Held frames dropped at the front move the refused ones down.
    std::size_t shift = dropped_ - droppedBefore;
    looked = looked > shift ? looked - shift : 0;
  }
}

std::optional<Frame> AgwClient::WaitForKind(char kind, std::chrono::milliseconds timeout) {
  return WaitFor([kind](const Frame& f) { return f.header.kind == kind; }, timeout);
}

std::vector<Frame> AgwClient::ReceiveData(const std::string& callFrom, std::size_t size,
                                          std::chrono::milliseconds timeout) {
  auto deadline = Clock::now() + timeout;
  std::vector<Frame> frames;
  std::size_t received = 0;
  while (received < size) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    auto frame = WaitFor(
        [&](const Frame& f) { return f.header.kind == 'D' && f.header.callFrom == callFrom; },
        left);
    if (!frame) break;
    received += frame->data.size();
    frames.push_back(std::move(*frame));
  }
  return frames;
}

std::string AgwClient::Escape(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b < 0x7F && b != '\\') {
      out += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    }
  }
  return out;
}

std::string AgwClient::Describe(const Frame& f) {
  std::string line = "'";
  line += f.header.kind;
  line += "' port " + std::to_string(f.header.port) + " pid " + std::to_string(f.header.pid) +
          " from '" + f.header.callFrom + "' to '" + f.header.callTo + "' " +
          std::to_string(f.data.size()) + " bytes: " + Escape(f.data.substr(0, 120));
  if (f.data.size() > 120) line += "...";
  return line;
}

}  // namespace tw::e2e
