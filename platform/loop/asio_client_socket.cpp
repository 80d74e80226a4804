#include "platform/loop/asio_client_socket.h"

#include <utility>

namespace tw {

// Each notification updates the state first and then calls a copy of the
// handler: the handler may replace the handlers, close, reconnect, or even
// destroy this object, and nothing here is touched after it returns.

AsioClientSocket::AsioClientSocket(asio::io_context& context) : context_(context) {}

AsioClientSocket::~AsioClientSocket() {
  if (stream_) stream_->Finish();
}

void AsioClientSocket::Connect(const std::string& host, std::uint16_t port) {
  if (stream_) std::exchange(stream_, nullptr)->Finish();
  host_ = host;
  port_ = port;
  stream_ = std::make_shared<AsioStream>(context_);
  stream_->SetWriteLimit(writeLimit_);
  stream_->Attach(this);
  state_ = State::kConnecting;
  stream_->Connect(host, port);
}

void AsioClientSocket::Write(std::string_view bytes) {
  if (stream_) stream_->Write(bytes);
}

void AsioClientSocket::Close() {
  if (state_ == State::kIdle) return;
  const bool wasConnected = state_ == State::kConnected;
  state_ = State::kIdle;
  std::exchange(stream_, nullptr)->Finish();
  if (!wasConnected) return;
  auto handler = handlers_.disconnected;
  if (handler) handler();
}

void AsioClientSocket::StreamConnected() {
  state_ = State::kConnected;
  auto handler = handlers_.connected;
  if (handler) handler();
}

void AsioClientSocket::StreamRead(std::string_view bytes) {
  auto handler = handlers_.read;
  if (handler) handler(bytes);
}

void AsioClientSocket::StreamEnded() {
  state_ = State::kIdle;
  stream_.reset();
  auto handler = handlers_.disconnected;
  if (handler) handler();
}

void AsioClientSocket::StreamFailed(const std::string& description) {
  state_ = State::kIdle;
  stream_.reset();
  auto handler = handlers_.error;
  if (handler) handler(description);
}

}  // namespace tw
