#include "tools/hostmode_client/hostmode_session.h"

#include <algorithm>
#include <cerrno>
#include <array>
#include <asio.hpp>
#include <deque>
#include <map>
#include <utility>

#include "platform/text/text.h"
#include "tools/hostmode_client/client_command.h"
#include "tools/hostmode_client/terminal_dialogue.h"

namespace tw::hostmode {

namespace {

using asio::ip::tcp;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kReadChunk = 16384;
constexpr std::size_t kMaxText = 64 * 1024;

// A deadline that cannot overflow, whatever the caller passed.
Clock::time_point Deadline(std::chrono::milliseconds timeout) {
  constexpr std::chrono::milliseconds kLongest = std::chrono::hours(24 * 365);
  return Clock::now() + std::clamp(timeout, std::chrono::milliseconds(0), kLongest);
}

std::string SecondsText(std::chrono::milliseconds timeout) {
  auto ms = timeout.count();
  return ms % 1000 == 0 ? Cat(ms / 1000, " s") : Cat(ms, " ms");
}

}  // namespace

struct HostModeSession::Impl {
  enum class Link { Idle, Connecting, Open, Closed };

  Impl(HostModeSession& o, Options opts) : owner(o), options(opts), reader(opts.maxBlock) {}

  // Runs handlers until `done`, the deadline, or until nothing is left that
  // could ever make `done` true.
  bool Run(Clock::time_point deadline, const std::function<bool()>& done) {
    while (!done()) {
      auto now = Clock::now();
      if (now >= deadline) return false;
      if (io.stopped()) io.restart();
      if (io.run_one_for(deadline - now) == 0 && Idle()) return done();
    }
    return true;
  }

  bool Idle() const { return !reading && writing.empty() && link != Link::Connecting; }

  // The connection's stream: the TCP socket, or the terminal line.
  template <typename Operation>
  void OnStream(Operation operation) {
    if (onLine) {
      operation(line);
    } else {
      operation(socket);
    }
  }

  void CloseStreams() {
    std::error_code ignored;
    socket.close(ignored);
    line.close(ignored);
  }

  void Reset() {
    ++generation;
    CloseStreams();
    onLine = false;
    link = Link::Idle;
    reading = false;
    outbox.clear();
    writing.clear();
    reader.Reset();
    inDialogue = false;
    blocks.clear();
    data.clear();
    text.clear();
    overflows = 0;
    error.clear();
  }

  void StartRead() {
    reading = true;
    auto done = [this, g = generation](std::error_code ec, std::size_t n) {
      if (g != generation) return;
      reading = false;
      if (ec) {
        // A terminal line whose other side closed fails with EIO.
        const bool hungUp = onLine && ec.value() == EIO && ec.category() == asio::error::get_system_category();
        bool closed = ec == asio::error::eof || ec == asio::error::connection_reset || hungUp;
        Lost(closed ? "the bridge closed the connection" : Cat("connection lost: ", ec.message()));
        return;
      }
      OnBytes(std::string_view(readBuffer.data(), n));
      if (link == Link::Open && g == generation) StartRead();
    };
    OnStream([&](auto& stream) { stream.async_read_some(asio::buffer(readBuffer), done); });
  }

  void OnBytes(std::string_view bytes) {
    reader.Append(bytes);
    while (auto item = reader.Next()) Deliver(*item);
  }

  void Deliver(const Received& item) {
    auto observer = owner.OnReceived;
    if (observer) observer(item);
    if (inDialogue) {
      Bytes reply = dialogue.Receive(item);
      if (!reply.empty()) Write(reply);
      if (dialogue.InHostMode()) {
        inDialogue = false;
        return;  // the reset answer itself is not kept
      }
    }
    if (!options.keepReceived) return;
    switch (item.kind) {
      case Received::Kind::Block:
        if (item.block.kind == 'D') {
          DataLog& log = data[item.block.stream];
          log.bytes.append(item.block.text);
          ++log.blocks;
          log.largestBlock = std::max(log.largestBlock, item.block.text.size());
        } else {
          blocks.push_back(item.block);
        }
        break;
      case Received::Kind::Text:
        text.append(item.text);
        if (text.size() > 2 * kMaxText) text.erase(0, text.size() - kMaxText);
        break;
      case Received::Kind::Overflow:
        ++overflows;
        break;
    }
  }

  void Write(std::string_view bytes) {
    outbox.append(bytes);
    Flush();
  }

  void Flush() {
    if (link != Link::Open || !writing.empty() || outbox.empty()) return;
    std::swap(writing, outbox);
    auto done = [this, g = generation](std::error_code ec, std::size_t) {
      if (g != generation) return;
      writing.clear();
      if (ec) {
        Lost(Cat("connection lost while sending: ", ec.message()));
        return;
      }
      Flush();
    };
    OnStream([&](auto& stream) { asio::async_write(stream, asio::buffer(writing), done); });
  }

  void Lost(std::string why) {
    if (link != Link::Open) return;
    link = Link::Closed;
    error = std::move(why);
    CloseStreams();
    outbox.clear();
  }

  bool Send(std::string_view bytes) {
    if (link != Link::Open) {
      if (error.empty()) error = "not connected";
      return false;
    }
    Write(bytes);
    bool written = Run(Deadline(options.sendTimeout),
                       [this] { return link != Link::Open || (outbox.empty() && writing.empty()); });
    if (!written) {
      Lost(Cat("the bridge took no more data for ", SecondsText(options.sendTimeout)));
      return false;
    }
    return link == Link::Open;
  }

  HostModeSession& owner;
  Options options;
  asio::io_context io;
  tcp::socket socket{io};  // after io: destroyed first
  asio::serial_port line{io};
  bool onLine = false;  // the connection is `line`, not `socket`
  std::array<char, kReadChunk> readBuffer{};
  Link link = Link::Idle;
  unsigned generation = 0;  // handlers of an earlier connection find a newer one and return
  bool reading = false;
  Bytes outbox;   // waits for the write under way
  Bytes writing;  // handed to the socket; empty when no write is under way
  BlockReader reader;
  TerminalDialogue dialogue;
  bool inDialogue = false;
  std::deque<HostBlock> blocks;
  std::map<char, DataLog> data;
  Bytes text;
  std::size_t overflows = 0;
  std::string error;
};

HostModeSession::HostModeSession() : HostModeSession(Options{}) {}

HostModeSession::HostModeSession(Options options) : impl_(std::make_unique<Impl>(*this, options)) {}

HostModeSession::~HostModeSession() = default;

bool HostModeSession::Connect(const std::string& host, std::uint16_t port, Millis timeout) {
  Impl& s = *impl_;
  s.Reset();
  std::error_code ec;
  tcp::resolver resolver(s.io);
  auto endpoints = resolver.resolve(host, std::to_string(port), ec);
  if (ec) {
    s.error = Cat("cannot find ", host, ": ", ec.message());
    return false;
  }
  s.link = Impl::Link::Connecting;
  std::optional<std::error_code> result;
  asio::async_connect(s.socket, endpoints,
                      [&result](std::error_code connectError, const tcp::endpoint&) { result = connectError; });
  bool answered = s.Run(Deadline(timeout), [&result] { return result.has_value(); });
  if (!answered) {
    s.socket.close(ec);
    // The handler refers to `result`: let it run (aborted) before returning.
    while (!result) {
      if (s.io.stopped()) s.io.restart();
      s.io.run_one();
    }
  }
  if (!answered || *result) {
    s.link = Impl::Link::Closed;
    s.error = answered ? Cat("cannot connect to ", host, ":", port, ": ", result->message())
                       : Cat("no connection to ", host, ":", port, " within ", SecondsText(timeout));
    return false;
  }
  s.link = Impl::Link::Open;
  s.socket.set_option(tcp::no_delay(true), ec);
  s.StartRead();
  return true;
}

bool HostModeSession::OpenLine(const std::string& path) {
  Impl& s = *impl_;
  s.Reset();
  std::error_code ec;
  // Read and write, not as controlling terminal, raw 8-bit bytes.
  s.line.open(path, ec);
  if (ec) {
    s.link = Impl::Link::Closed;
    s.error = Cat("cannot open ", path, ": ", ec.message());
    return false;
  }
  s.onLine = true;
  s.link = Impl::Link::Open;
  s.StartRead();
  return true;
}

bool HostModeSession::EnterHostMode(Millis stepTimeout) {
  Impl& s = *impl_;
  if (s.link != Impl::Link::Open) {
    if (s.error.empty()) s.error = "not connected";
    return false;
  }
  s.inDialogue = true;
  s.Write(s.dialogue.Start());
  while (!s.dialogue.InHostMode()) {
    auto step = s.dialogue.State();
    bool moved = s.Run(Deadline(stepTimeout),
                       [&s, step] { return s.dialogue.State() != step || s.link != Impl::Link::Open; });
    if (s.dialogue.InHostMode()) break;
    if (s.link != Impl::Link::Open) {
      s.error = Cat(s.error, " while waiting for ", s.dialogue.Awaiting());
      s.inDialogue = false;
      return false;
    }
    if (!moved) {
      s.error = Cat("waited ", SecondsText(stepTimeout), " in vain for ", s.dialogue.Awaiting());
      s.inDialogue = false;
      return false;
    }
  }
  return true;
}

bool HostModeSession::Open(const std::string& host, std::uint16_t port, Millis timeout) {
  return Connect(host, port, timeout) && EnterHostMode(timeout);
}

void HostModeSession::Close() {
  Impl& s = *impl_;
  if (s.link == Impl::Link::Open || s.link == Impl::Link::Connecting) s.link = Impl::Link::Closed;
  ++s.generation;
  s.reading = false;
  s.outbox.clear();
  s.writing.clear();
  s.CloseStreams();
}

bool HostModeSession::Leave(Millis timeout) {
  Impl& s = *impl_;
  if (s.link != Impl::Link::Open) return false;
  std::error_code ignored;
  s.socket.shutdown(tcp::socket::shutdown_send, ignored);
  const bool closed = WaitClosed(timeout);
  Close();
  return closed;
}

bool HostModeSession::IsOpen() const { return impl_->link == Impl::Link::Open; }

bool HostModeSession::WaitClosed(Millis timeout) {
  Impl& s = *impl_;
  return s.Run(Deadline(timeout), [&s] { return s.link != Impl::Link::Open; });
}

const std::string& HostModeSession::Error() const { return impl_->error; }

bool HostModeSession::SendCommand(char stream, std::string_view text, char port) {
  if (!FitsUnescaped(text)) {
    impl_->error = "a command text cannot hold FEND";
    return false;
  }
  return impl_->Send(EncodeBlock('C', port, stream, text));
}

bool HostModeSession::SendData(char stream, std::string_view data) {
  return impl_->Send(DataBlocks(stream, data, impl_->options.dataPerBlock));
}

bool HostModeSession::SendGlobal(char what) { return impl_->Send(EncodeGlobal(what)); }

bool HostModeSession::SendRaw(std::string_view bytes) { return impl_->Send(bytes); }

std::optional<HostBlock> HostModeSession::WaitFor(const Match& match, Millis timeout) {
  Impl& s = *impl_;
  std::optional<HostBlock> found;
  std::size_t looked = 0;  // blocks before this one did not match; only new ones need a look
  s.Run(Deadline(timeout), [&] {
    for (; looked < s.blocks.size(); ++looked) {
      auto it = s.blocks.begin() + static_cast<std::ptrdiff_t>(looked);
      if (match(*it)) {
        found = std::move(*it);
        s.blocks.erase(it);
        return true;
      }
    }
    return false;
  });
  return found;
}

std::optional<HostBlock> HostModeSession::WaitForStatus(char stream, std::string_view prefix, Millis timeout) {
  return WaitFor(
      [&](const HostBlock& block) {
        return block.kind == 'S' && block.port == kStreamPort && block.stream == stream &&
               block.text.starts_with(prefix);
      },
      timeout);
}

std::optional<HostBlock> HostModeSession::WaitForReply(char port, char stream, std::string_view prefix,
                                                       Millis timeout) {
  return WaitFor(
      [&](const HostBlock& block) {
        return block.kind == 'C' && block.port == port && block.stream == stream && block.text.starts_with(prefix);
      },
      timeout);
}

std::vector<HostBlock> HostModeSession::TakeBlocks() {
  std::vector<HostBlock> all(std::make_move_iterator(impl_->blocks.begin()),
                             std::make_move_iterator(impl_->blocks.end()));
  impl_->blocks.clear();
  return all;
}

bool HostModeSession::WaitForData(char stream, std::size_t count, Millis timeout) {
  Impl& s = *impl_;
  DataLog& log = s.data[stream];
  return s.Run(Deadline(timeout), [&log, count] { return log.bytes.size() >= count; });
}

const HostModeSession::DataLog& HostModeSession::Data(char stream) { return impl_->data[stream]; }

HostModeSession::DataLog HostModeSession::TakeData(char stream) { return std::exchange(impl_->data[stream], {}); }

bool HostModeSession::WaitForText(std::string_view needle, Millis timeout) {
  Impl& s = *impl_;
  return s.Run(Deadline(timeout), [&s, needle] { return s.text.find(needle) != Bytes::npos; });
}

const Bytes& HostModeSession::Text() const { return impl_->text; }

std::size_t HostModeSession::Overflows() const { return impl_->overflows; }

bool HostModeSession::Pump(Millis timeout, const std::function<bool()>& until) {
  return impl_->Run(Deadline(timeout), [&until] { return until && until(); });
}

asio::io_context& HostModeSession::Context() { return impl_->io; }

}  // namespace tw::hostmode
