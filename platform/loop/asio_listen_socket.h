// The listening socket over Asio, serving one client at a time on the same
// object. While a client is connected the acceptor is closed, so further
// attempts are refused by the system (unless SetKeepListening leaves it open
// for the owner to refuse them); when the client leaves (or is dropped with
// CloseClient) the object binds the same port again.
//
// It binds 0.0.0.0 unless told otherwise: the mail client may run on another
// machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>

#include "platform/loop/asio_stream.h"
#include "platform/loop/listen_socket.h"

namespace tw {

class AsioListenSocket final : public ListenSocket, private AsioStream::Events {
 public:
  explicit AsioListenSocket(asio::io_context& context);
  ~AsioListenSocket() override;

  AsioListenSocket(const AsioListenSocket&) = delete;
  AsioListenSocket& operator=(const AsioListenSocket&) = delete;

  void SetHandlers(Handlers handlers) override { handlers_ = std::move(handlers); }
  void SetLocalAddress(std::string address) override { localAddress_ = std::move(address); }
  // Used for the next accepted client.
  void SetKeepAlive(bool on) override { keepAlive_ = on; }
  // Used from the next Listen or Accept on.
  void SetKeepListening(bool on) override { keepListening_ = on; }
  // Port 0 takes any free port (see LocalPort). Listening again on the port
  // already listened on, with no client, changes nothing; anything else
  // starts over (a client is dropped without a notification).
  bool Listen(std::uint16_t port) override;
  // A request stays pending until Accept or Reject; meanwhile no further
  // connection is taken from the system's queue. Accept while a client is
  // served refuses the request.
  void Accept() override;
  void Reject() override;
  void RejectWith(std::string_view line) override;
  std::string RequestAddress() const override;
  std::string ListenError() const override { return listenError_; }
  // Dropped while no client is connected.
  void Write(std::string_view bytes) override;
  std::size_t WriteRoom() const override { return client_ ? client_->Room() : 0; }
  // The client still receives what was queued before it is closed.
  void CloseClient() override;
  void Close() override;
  bool ClientConnected() const override { return client_ != nullptr; }
  std::uint16_t LocalPort() const override { return port_; }
  std::string ClientAddress() const override { return client_ ? clientAddress_ : std::string(); }

  bool Listening() const { return acceptor_.is_open(); }
  // Whether the client's connection has keepalive probes on (for tests).
  bool ClientKeepAlive() const;
  // Bytes queued to a client beyond this drop the client with an error.
  void SetWriteLimit(std::size_t bytes) { writeLimit_ = bytes; }

 private:
  std::error_code Bind(std::uint16_t port);
  void StartAccept();
  void Accepted(unsigned generation, const std::error_code& ec, asio::ip::tcp::socket socket);
  void RetryAcceptLater(unsigned generation);
  void StopAccepting();
  std::error_code ListenAgain();
  void ReportLater(std::string description);
  void ClientGone(const std::string* failure);

  void StreamConnected() override {}
  void StreamRead(std::string_view bytes) override;
  void StreamEnded() override;
  void StreamFailed(const std::string& description) override;

  asio::io_context& context_;
  Handlers handlers_;
  asio::ip::tcp::acceptor acceptor_;
  asio::steady_timer retryTimer_;
  std::optional<asio::ip::tcp::socket> pending_;
  std::shared_ptr<AsioStream> client_;
  std::string localAddress_ = "0.0.0.0";
  std::string clientAddress_;  // of the client taken last, read when it was
  std::string listenError_;
  std::size_t writeLimit_ = AsioStream::kDefaultWriteLimit;
  bool keepAlive_ = false;
  bool keepListening_ = false;
  std::uint16_t port_ = 0;
  bool serving_ = false;  // from a successful Listen until Close
  // Accept completions of an acceptor since closed or restarted are stale.
  unsigned acceptGeneration_ = 0;
  // Completion handlers hold a copy; it is cleared when the object dies.
  std::shared_ptr<AsioListenSocket*> self_;
};

}  // namespace tw
