// One TCP byte stream, the part that the client socket and the listening
// socket's client connection have in common: it keeps one read outstanding,
// writes its queue whole and in order, and when its owner lets go of it, it
// still delivers what was queued before it closes.
//
// Completion handlers hold the stream alive (shared_from_this), never the
// owner: the owner is reached through `Events`, which it detaches (Finish or
// Abort) before it goes away, so a late completion finds nobody to tell.
#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>

namespace tw {

class AsioStream : public std::enable_shared_from_this<AsioStream> {
 public:
  class Events {
   public:
    virtual ~Events() = default;
    virtual void StreamConnected() = 0;
    virtual void StreamRead(std::string_view bytes) = 0;
    // The peer closed its side. The stream has already detached itself.
    virtual void StreamEnded() = 0;
    // Connect or I/O failure, or the write queue outgrew its limit. The stream
    // has already detached itself and is closed.
    virtual void StreamFailed(const std::string& description) = 0;
  };

  // Far above anything the bridge or the link queue in normal work; a peer
  // that stops reading ends its connection here instead of eating memory.
  static constexpr std::size_t kDefaultWriteLimit = std::size_t{16} << 20;
  // How long a let-go stream may take to deliver its queue and see the peer's
  // close before it is cut.
  static constexpr std::chrono::seconds kFinishTimeout{10};

  // A stream that will Connect().
  explicit AsioStream(asio::io_context& context);
  // A stream over a socket that is already connected (an accepted client).
  AsioStream(asio::io_context& context, asio::ip::tcp::socket socket);

  AsioStream(const AsioStream&) = delete;
  AsioStream& operator=(const AsioStream&) = delete;

  void Attach(Events* events) { events_ = events; }
  void SetWriteLimit(std::size_t bytes) { writeLimit_ = bytes; }

  // Resolves and connects; the outcome is StreamConnected or StreamFailed.
  void Connect(const std::string& host, std::uint16_t port);
  // For an accepted socket: starts reading (and writing what is queued).
  void Start();

  // Queues bytes. Bytes queued before the connection is up go out once it is.
  void Write(std::string_view bytes);

  // The owner lets go: no more events; queued bytes are still delivered, then
  // the stream closes its side, waits for the peer's close (bounded by
  // kFinishTimeout) and closes. An attempt still connecting is dropped.
  void Finish();
  // The owner lets go and the stream closes at once, queue and all.
  void Abort();

  std::size_t Queued() const { return outbox_.size() + sending_.size(); }
  // What a Write may still add before it ends the stream.
  std::size_t Room() const { return closed_ || finishing_ ? 0 : writeLimit_ - std::min(Queued(), writeLimit_); }
  const asio::ip::tcp::socket& Socket() const { return socket_; }

 private:
  void Resolved(const std::error_code& ec, const asio::ip::tcp::resolver::results_type& endpoints);
  void ConnectDone(const std::error_code& ec);
  void ReadDone(const std::error_code& ec, std::size_t count);
  void WriteDone(const std::error_code& ec);
  void Pump();
  void BeginFinish();
  void Fail(const std::string& description);
  void CloseNow();

  asio::io_context& context_;
  asio::ip::tcp::socket socket_;
  asio::ip::tcp::resolver resolver_;
  asio::steady_timer finishTimer_;
  Events* events_ = nullptr;
  std::size_t writeLimit_ = kDefaultWriteLimit;

  std::string outbox_;   // queued, not yet handed to the socket
  std::string sending_;  // handed to the write in flight
  std::array<char, 65536> readBuffer_{};

  bool connected_ = false;
  bool reading_ = false;
  // A handler is looking at readBuffer_: no read may start into it (Asio may
  // fill the buffer as soon as a read is started).
  bool delivering_ = false;
  bool writing_ = false;
  bool finishing_ = false;
  bool sendShut_ = false;
  bool peerClosed_ = false;
  bool closed_ = false;
};

}  // namespace tw
