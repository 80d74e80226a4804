#include "platform/loop/asio_stream.h"

#include <algorithm>
#include <utility>

#include <asio/connect.hpp>
#include <asio/post.hpp>
#include <asio/write.hpp>

namespace tw {

namespace {

using asio::ip::tcp;

// A burst of a few MB leaves its capacity behind in the queue strings; give
// it back once the queue is idle rather than keeping it per connection.
constexpr std::size_t kKeepCapacity = 256 * 1024;

void Release(std::string& buffer) {
  buffer.clear();
  if (buffer.capacity() > kKeepCapacity) std::string().swap(buffer);
}

void NoDelay(tcp::socket& socket) {
  // Frames and host-mode blocks are small and answered one by one; waiting
  // for an acknowledgement before sending the next would only add latency.
  std::error_code ignored;
  socket.set_option(tcp::no_delay(true), ignored);
}

}  // namespace

AsioStream::AsioStream(asio::io_context& context)
    : context_(context), socket_(context), resolver_(context), finishTimer_(context) {}

AsioStream::AsioStream(asio::io_context& context, tcp::socket socket)
    : context_(context),
      socket_(std::move(socket)),
      resolver_(context),
      finishTimer_(context),
      connected_(true) {
  NoDelay(socket_);
}

void AsioStream::Connect(const std::string& host, std::uint16_t port) {
  resolver_.async_resolve(
      host, std::to_string(port), tcp::resolver::numeric_service,
      [self = shared_from_this()](const std::error_code& ec, tcp::resolver::results_type endpoints) {
        self->Resolved(ec, endpoints);
      });
}

void AsioStream::Resolved(const std::error_code& ec, const tcp::resolver::results_type& endpoints) {
  if (closed_) return;
  if (ec) {
    Fail(ec.message());
    return;
  }
  asio::async_connect(socket_, endpoints,
                      [self = shared_from_this()](const std::error_code& connectError, const tcp::endpoint&) {
                        self->ConnectDone(connectError);
                      });
}

void AsioStream::ConnectDone(const std::error_code& ec) {
  if (closed_) return;
  if (ec) {
    Fail(ec.message());
    return;
  }
  connected_ = true;
  NoDelay(socket_);
  if (events_ != nullptr) events_->StreamConnected();
  Pump();
}

void AsioStream::Start() { Pump(); }

void AsioStream::Write(std::string_view bytes) {
  if (closed_ || finishing_ || bytes.empty()) return;
  if (bytes.size() > writeLimit_ - std::min(Queued(), writeLimit_)) {
    // Not raised from inside the caller's Write: the owner hears of it from
    // the loop, unless it lets go of the stream first.
    CloseNow();
    asio::post(context_, [self = shared_from_this()] {
      Events* events = std::exchange(self->events_, nullptr);
      if (events != nullptr) events->StreamFailed("send queue full");
    });
    return;
  }
  outbox_.append(bytes);
  Pump();
}

void AsioStream::Finish() {
  events_ = nullptr;
  if (closed_) return;
  if (!connected_) {
    CloseNow();
    return;
  }
  BeginFinish();
  Pump();
}

void AsioStream::Abort() {
  events_ = nullptr;
  CloseNow();
}

void AsioStream::BeginFinish() {
  events_ = nullptr;
  if (finishing_) return;
  finishing_ = true;
  finishTimer_.expires_after(kFinishTimeout);
  finishTimer_.async_wait([self = shared_from_this()](const std::error_code& ec) {
    if (!ec) self->CloseNow();
  });
}

// Starts whatever the stream's state calls for; safe to call at any time.
void AsioStream::Pump() {
  if (closed_ || !connected_) return;
  if (!reading_ && !peerClosed_ && !delivering_) {
    reading_ = true;
    socket_.async_read_some(asio::buffer(readBuffer_),
                            [self = shared_from_this()](const std::error_code& ec, std::size_t count) {
                              self->ReadDone(ec, count);
                            });
  }
  if (!writing_ && !outbox_.empty()) {
    writing_ = true;
    sending_.swap(outbox_);
    asio::async_write(socket_, asio::buffer(sending_),
                      [self = shared_from_this()](const std::error_code& ec, std::size_t) {
                        self->WriteDone(ec);
                      });
  }
  if (finishing_ && !writing_ && outbox_.empty()) {
    if (!sendShut_) {
      sendShut_ = true;
      std::error_code ignored;
      socket_.shutdown(tcp::socket::shutdown_send, ignored);
    }
    if (peerClosed_) CloseNow();
  }
}

void AsioStream::ReadDone(const std::error_code& ec, std::size_t count) {
  reading_ = false;
  if (closed_) return;
  if (ec == asio::error::eof) {
    peerClosed_ = true;
    Events* events = events_;
    BeginFinish();
    Pump();
    if (events != nullptr) events->StreamEnded();
    return;
  }
  if (ec) {
    if (ec != asio::error::operation_aborted) Fail(ec.message());
    return;
  }
  // A stream that is finishing reads only to see the peer's close; what
  // arrives meanwhile has nobody left to receive it.
  if (events_ != nullptr) {
    struct Delivering {
      bool& flag;
      explicit Delivering(bool& f) : flag(f) { flag = true; }
      ~Delivering() { flag = false; }
    } guard(delivering_);
    events_->StreamRead(std::string_view(readBuffer_.data(), count));
  }
  Pump();
}

void AsioStream::WriteDone(const std::error_code& ec) {
  writing_ = false;
  Release(sending_);
  if (closed_) return;
  if (ec) {
    if (ec != asio::error::operation_aborted) Fail(ec.message());
    return;
  }
  Pump();
}

void AsioStream::Fail(const std::string& description) {
  Events* events = std::exchange(events_, nullptr);
  CloseNow();
  if (events != nullptr) events->StreamFailed(description);
}

void AsioStream::CloseNow() {
  if (closed_) return;
  closed_ = true;
  std::error_code ignored;
  resolver_.cancel();
  finishTimer_.cancel();
  socket_.close(ignored);
  Release(outbox_);
}

}  // namespace tw
