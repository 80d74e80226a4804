#include "platform/loop/asio_listen_socket.h"

#include <netinet/in.h>
#include <netinet/tcp.h>

#include <chrono>
#include <string>
#include <utility>

#include <asio/post.hpp>

namespace tw {

namespace {

using asio::ip::tcp;

// An accept that fails (out of descriptors, say) is tried again after a pause
// rather than at once, which would spin the loop and flood the log.
constexpr std::chrono::milliseconds kAcceptRetry{500};

std::string ListenFailure(std::uint16_t port, const std::error_code& ec) {
  return "cannot listen on port " + std::to_string(port) + ": " + ec.message();
}

// A silent client is probed after a minute, then every 10 s; six unanswered
// probes end the connection, about two minutes after it went quiet.
using KeepIdle = asio::detail::socket_option::integer<IPPROTO_TCP, TCP_KEEPIDLE>;
using KeepInterval = asio::detail::socket_option::integer<IPPROTO_TCP, TCP_KEEPINTVL>;
using KeepCount = asio::detail::socket_option::integer<IPPROTO_TCP, TCP_KEEPCNT>;

void KeepAlive(tcp::socket& socket) {
  std::error_code ignored;
  socket.set_option(asio::socket_base::keep_alive(true), ignored);
  socket.set_option(KeepIdle(60), ignored);
  socket.set_option(KeepInterval(10), ignored);
  socket.set_option(KeepCount(6), ignored);
}

// "127.0.0.1:40312", "[::1]:40312"; empty when the system cannot tell.
std::string EndpointText(const tcp::socket& socket) {
  std::error_code unknown;
  const tcp::endpoint peer = socket.remote_endpoint(unknown);
  if (unknown) return {};
  const std::string host = peer.address().is_v6() ? "[" + peer.address().to_string() + "]" : peer.address().to_string();
  return host + ":" + std::to_string(peer.port());
}

}  // namespace

AsioListenSocket::AsioListenSocket(asio::io_context& context)
    : context_(context),
      acceptor_(context),
      retryTimer_(context),
      self_(std::make_shared<AsioListenSocket*>(this)) {}

AsioListenSocket::~AsioListenSocket() {
  *self_ = nullptr;
  Close();
}

bool AsioListenSocket::Listen(std::uint16_t port) {
  if (serving_ && !client_ && acceptor_.is_open() && (port == 0 || port == port_)) return true;
  Close();
  if (const std::error_code ec = Bind(port)) {
    listenError_ = ec.message();
    return false;
  }
  listenError_.clear();
  serving_ = true;
  StartAccept();
  return true;
}

std::error_code AsioListenSocket::Bind(std::uint16_t port) {
  std::error_code ec;
  const auto address = asio::ip::make_address(localAddress_, ec);
  if (ec) return ec;
  const tcp::endpoint endpoint(address, port);
  acceptor_.open(endpoint.protocol(), ec);
  // The port is bound again each time a client leaves, while that client's
  // connection may still linger on it.
  if (!ec) acceptor_.set_option(tcp::acceptor::reuse_address(true), ec);
  if (!ec) acceptor_.bind(endpoint, ec);
  if (!ec) acceptor_.listen(asio::socket_base::max_listen_connections, ec);
  if (!ec) {
    const auto local = acceptor_.local_endpoint(ec);
    if (!ec) port_ = local.port();
  }
  if (ec) {
    std::error_code ignored;
    acceptor_.close(ignored);
  }
  return ec;
}

void AsioListenSocket::StartAccept() {
  const unsigned generation = ++acceptGeneration_;
  acceptor_.async_accept([self = self_, generation](const std::error_code& ec, tcp::socket socket) {
    if (*self != nullptr) (*self)->Accepted(generation, ec, std::move(socket));
  });
}

void AsioListenSocket::Accepted(unsigned generation, const std::error_code& ec, tcp::socket socket) {
  if (generation != acceptGeneration_) return;
  if (ec) {
    if (ec == asio::error::operation_aborted) return;
    RetryAcceptLater(generation);
    auto handler = handlers_.error;
    if (handler) handler(ec.message());
    return;
  }
  pending_.emplace(std::move(socket));
  auto handler = handlers_.connectionRequest;
  if (handler) {
    handler();
  } else {
    Reject();
  }
}

void AsioListenSocket::RetryAcceptLater(unsigned generation) {
  retryTimer_.expires_after(kAcceptRetry);
  retryTimer_.async_wait([self = self_, generation](const std::error_code& ec) {
    AsioListenSocket* owner = *self;
    if (ec || owner == nullptr) return;
    if (generation == owner->acceptGeneration_ && owner->acceptor_.is_open() && !owner->pending_) {
      owner->StartAccept();
    }
  });
}

void AsioListenSocket::StopAccepting() {
  ++acceptGeneration_;
  retryTimer_.cancel();
  std::error_code ignored;
  acceptor_.close(ignored);
}

void AsioListenSocket::Accept() {
  if (!pending_) return;
  if (client_) {
    Reject();
    return;
  }
  tcp::socket socket = std::move(*pending_);
  pending_.reset();
  if (keepAlive_) KeepAlive(socket);
  clientAddress_ = EndpointText(socket);
  if (keepListening_) {
    if (acceptor_.is_open()) StartAccept();
  } else {
    StopAccepting();
  }
  client_ = std::make_shared<AsioStream>(context_, std::move(socket));
  client_->SetWriteLimit(writeLimit_);
  client_->Attach(this);
  client_->Start();
}

void AsioListenSocket::Reject() {
  if (!pending_) return;
  std::error_code ignored;
  pending_->close(ignored);
  pending_.reset();
  if (acceptor_.is_open()) StartAccept();
}

void AsioListenSocket::RejectWith(std::string_view line) {
  if (!pending_) return;
  // A refused newcomer gets what the socket's buffer takes now; it is never
  // waited for.
  std::error_code ignored;
  pending_->non_blocking(true, ignored);
  pending_->write_some(asio::buffer(line.data(), line.size()), ignored);
  Reject();
}

std::string AsioListenSocket::RequestAddress() const {
  return pending_ ? EndpointText(*pending_) : std::string();
}

void AsioListenSocket::Write(std::string_view bytes) {
  if (client_) client_->Write(bytes);
}

void AsioListenSocket::CloseClient() {
  if (client_) std::exchange(client_, nullptr)->Finish();
  if (serving_ && !acceptor_.is_open()) {
    const std::error_code ec = ListenAgain();
    // Raised from the loop, not from inside the owner's call.
    if (ec) ReportLater(ListenFailure(port_, ec));
  }
}

void AsioListenSocket::Close() {
  serving_ = false;
  StopAccepting();
  if (pending_) {
    std::error_code ignored;
    pending_->close(ignored);
    pending_.reset();
  }
  if (client_) std::exchange(client_, nullptr)->Finish();
}

bool AsioListenSocket::ClientKeepAlive() const {
  if (!client_) return false;
  asio::socket_base::keep_alive option;
  std::error_code ignored;
  client_->Socket().get_option(option, ignored);
  return option.value();
}

// Listening may have gone on while the client was served.
std::error_code AsioListenSocket::ListenAgain() {
  if (acceptor_.is_open()) return {};
  const std::error_code ec = Bind(port_);
  if (!ec) StartAccept();
  return ec;
}

void AsioListenSocket::ReportLater(std::string description) {
  asio::post(context_, [self = self_, description = std::move(description)] {
    if (*self == nullptr) return;
    auto handler = (*self)->handlers_.error;
    if (handler) handler(description);
  });
}

void AsioListenSocket::StreamRead(std::string_view bytes) {
  auto handler = handlers_.dataArrival;
  if (handler) handler(bytes);
}

void AsioListenSocket::StreamEnded() { ClientGone(nullptr); }

void AsioListenSocket::StreamFailed(const std::string& description) { ClientGone(&description); }

// The client left, cleanly or with an I/O error: listen again first, so that
// the owner's close handler finds the object ready for the next client. The
// handlers are copies and `alive` is checked between them, because each may
// change the handlers or the object's state.
void AsioListenSocket::ClientGone(const std::string* failure) {
  client_.reset();
  const std::error_code relisten = serving_ ? ListenAgain() : std::error_code();
  const std::uint16_t port = port_;
  const Handlers handlers = handlers_;
  const auto alive = self_;
  if (failure != nullptr && handlers.error) handlers.error(*failure);
  if (*alive == nullptr) return;
  if (handlers.close) handlers.close();
  if (*alive == nullptr) return;
  if (relisten && handlers.error) handlers.error(ListenFailure(port, relisten));
}

}  // namespace tw
