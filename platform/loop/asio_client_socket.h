// The client socket over Asio. Notifications come from the loop's completion
// handlers; the object may be destroyed at any time outside them, and a
// connection it has let go of (Close, a new Connect, destruction) never
// reaches it again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <asio/io_context.hpp>

#include "platform/loop/asio_stream.h"
#include "platform/loop/client_socket.h"

namespace tw {

class AsioClientSocket final : public ClientSocket, private AsioStream::Events {
 public:
  explicit AsioClientSocket(asio::io_context& context);
  ~AsioClientSocket() override;

  AsioClientSocket(const AsioClientSocket&) = delete;
  AsioClientSocket& operator=(const AsioClientSocket&) = delete;

  void SetHandlers(Handlers handlers) override { handlers_ = std::move(handlers); }
  // Drops a previous connection or attempt without a notification.
  void Connect(const std::string& host, std::uint16_t port) override;
  // Dropped while the socket is not active.
  void Write(std::string_view bytes) override;
  // A live connection still delivers what was queued before it closes.
  void Close() override;
  bool Active() const override { return state_ != State::kIdle; }
  std::string RemoteHost() const override { return host_; }
  std::uint16_t RemotePort() const override { return port_; }

  bool Connected() const { return state_ == State::kConnected; }
  // Bytes queued beyond this end the connection with an error; applies from
  // the next Connect.
  void SetWriteLimit(std::size_t bytes) { writeLimit_ = bytes; }

 private:
  enum class State { kIdle, kConnecting, kConnected };

  void StreamConnected() override;
  void StreamRead(std::string_view bytes) override;
  void StreamEnded() override;
  void StreamFailed(const std::string& description) override;

  asio::io_context& context_;
  Handlers handlers_;
  std::shared_ptr<AsioStream> stream_;
  State state_ = State::kIdle;
  std::string host_;
  std::uint16_t port_ = 0;
  std::size_t writeLimit_ = AsioStream::kDefaultWriteLimit;
};

}  // namespace tw
