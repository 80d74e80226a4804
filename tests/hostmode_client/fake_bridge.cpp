#include "fake_bridge.h"

#include <poll.h>

namespace tw::hostmode::testing {

namespace {

using asio::ip::tcp;

// Waits for `fd` to be readable in short steps, so that stopping is noticed.
bool Readable(int fd, const std::atomic<bool>& stop) {
  while (!stop) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, 50) == 1) return true;
  }
  return false;
}

}  // namespace

FakeBridge::FakeBridge(Behaviour behaviour)
    : behaviour_(behaviour),
      acceptor_(io_, tcp::endpoint(asio::ip::address_v4::loopback(), 0)),
      socket_(io_),
      port_(acceptor_.local_endpoint().port()),
      thread_([this] { Serve(); }) {}

FakeBridge::~FakeBridge() {
  stop_ = true;
  thread_.join();
}

std::string FakeBridge::TerminalBytes() {
  std::lock_guard lock(mutex_);
  return terminal_;
}

std::vector<HostBlock> FakeBridge::Blocks() {
  std::lock_guard lock(mutex_);
  return blocks_;
}

bool FakeBridge::WaitClientGone(std::chrono::seconds timeout) {
  std::unique_lock lock(mutex_);
  return servedChanged_.wait_for(lock, timeout, [this] { return served_; });
}

void FakeBridge::Serve() {
  Talk();
  std::lock_guard lock(mutex_);
  served_ = true;
  servedChanged_.notify_all();
}

void FakeBridge::Talk() {
  if (!Readable(acceptor_.native_handle(), stop_)) return;
  acceptor_.accept(socket_);
  if (behaviour_ == Behaviour::CloseAtOnce) {
    socket_.close();
    return;
  }
  char buffer[4096];
  while (Readable(socket_.native_handle(), stop_)) {
    std::error_code ec;
    std::size_t n = socket_.read_some(asio::buffer(buffer), ec);
    if (ec == asio::error::eof && behaviour_ == Behaviour::LastWords) {
      Write(EncodeBlock('D', '1', 'A', "last words"));
      socket_.close();
    }
    if (ec) return;
    Take(std::string_view(buffer, n));
  }
}

void FakeBridge::Take(std::string_view bytes) {
  while (!bytes.empty() && !hostMode_) {
    char byte = bytes.front();
    bytes.remove_prefix(1);
    Terminal(std::string_view(&byte, 1));
  }
  if (bytes.empty()) return;
  reader_.Append(bytes);
  while (auto item = reader_.Next()) {
    if (item->kind == Received::Kind::Block) Block(item->block);
  }
}

void FakeBridge::Terminal(std::string_view byte) {
  {
    std::lock_guard lock(mutex_);
    terminal_.append(byte);
  }
  if (byte != "\r") {
    line_.append(byte);
    return;
  }
  std::string line = std::exchange(line_, {});
  if (behaviour_ == Behaviour::Silent) return;
  // Answers go out in pieces, so the client must join them.
  if (line.empty()) {
    Write("cm");
    Write("d:\r");
  } else if (line == "INTFACE HOST") {
    Write("INTFACE was TERMINAL\r");
    Write("cmd:");
  } else if (line == "RESET" && (behaviour_ == Behaviour::Bridge || behaviour_ == Behaviour::LastWords)) {
    Write("\xC0\xC0");
    Write("S00\xC0");
    hostMode_ = true;
  }
}

void FakeBridge::Block(const HostBlock& block) {
  {
    std::lock_guard lock(mutex_);
    blocks_.push_back(block);
  }
  if (block.fields == 1 && block.kind == 'q') {
    hostMode_ = false;
    Write("INTFACE was HOST\rcmd:\r");
  } else if (block.kind == 'D') {
    Write(EncodeBlock('D', '1', block.stream, block.text));
  } else if (block.kind == 'C' && block.text.starts_with("C ")) {
    Write(EncodeBlock('C', '1', block.stream, ""));
    Write(EncodeBlock('S', '1', block.stream, "*** CONNECTED to " + block.text.substr(2)));
  } else if (block.kind == 'C' && block.text == "S") {
    Write(EncodeBlock('C', '0', '0', "FREE BYTES 936\rA/V stream - CONNECTED to ECHO\rB/V stream - DISCONNECTED\r"));
  } else {
    Write(EncodeBlock(block.kind, block.port, block.stream, ""));
  }
}

void FakeBridge::Write(std::string_view bytes) {
  std::error_code ignored;
  asio::write(socket_, asio::buffer(bytes.data(), bytes.size()), ignored);
}

}  // namespace tw::hostmode::testing
