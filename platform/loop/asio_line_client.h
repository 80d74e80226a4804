// The mail client on a pseudo-terminal or a serial line, behind the
// listening socket's interface, so the bridge serves it as it serves a TCP
// client: arriving is a connection request, leaving is a close.
//
// Pseudo-terminal: Listen creates it and the link to its slave side. The
// client arrives when some process opens the slave and leaves when the last
// descriptor of it is closed (see pseudo_terminal.h for how that is seen).
// A client the owner refused or dropped is not offered again until it has
// closed the slave.
//
// Serial line: there is nobody at the far end to see arrive or leave (the
// modem lines are ignored, since a PC's cable may not carry them), so the
// client arrives when the device is opened: at Listen, which fails when the
// device cannot be opened. An error or an end of file on the line (the
// device went away: a USB adapter unplugged) is reported, the client
// leaves, the device is closed and opened again every kReopenInterval; when
// that works the client arrives again. A client the owner drops is offered
// again the same way.
//
// Listen's port, the local address, keepalive and keep-listening have no
// meaning here and are ignored; LocalPort is 0.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include <asio/io_context.hpp>
#include <asio/serial_port.hpp>
#include <asio/steady_timer.hpp>

#include "platform/loop/client_line.h"
#include "platform/loop/listen_socket.h"
#include "platform/loop/pseudo_terminal.h"

namespace tw {

class AsioLineClient final : public ListenSocket {
 public:
  // How often the pseudo-terminal is looked at while nobody is served on it.
  static constexpr std::chrono::milliseconds kLookInterval{200};
  static constexpr std::chrono::seconds kReopenInterval{5};
  // As for a TCP client: a client that stops reading is dropped here.
  static constexpr std::size_t kDefaultWriteLimit = std::size_t{16} << 20;

  AsioLineClient(asio::io_context& context, ClientLine line);
  ~AsioLineClient() override;

  AsioLineClient(const AsioLineClient&) = delete;
  AsioLineClient& operator=(const AsioLineClient&) = delete;

  void SetHandlers(Handlers handlers) override { handlers_ = std::move(handlers); }
  void SetLocalAddress(std::string) override {}
  void SetKeepAlive(bool) override {}
  void SetKeepListening(bool) override {}
  // True when serving already.
  bool Listen(std::uint16_t port) override;
  void Accept() override;
  void Reject() override;
  // Dropped while no client is served.
  void Write(std::string_view bytes) override;
  void CloseClient() override;
  // Closes the line; the pseudo-terminal's link is removed.
  void Close() override;
  bool ClientConnected() const override { return state_ == State::Serving; }
  std::uint16_t LocalPort() const override { return 0; }
  std::string Place() const override;
  // A line has no address: the client is named by the line it came on.
  std::string ClientAddress() const override { return ClientConnected() ? line_.path : std::string(); }

  void SetWriteLimit(std::size_t bytes) { writeLimit_ = bytes; }
  // How long a failed serial device waits before it is opened again.
  void SetReopenDelay(std::chrono::milliseconds delay) { reopenDelay_ = delay; }
  // The pseudo-terminal's slave device (for tests); empty for a serial line.
  const std::string& SlaveName() const { return pty_.SlaveName(); }

 private:
  enum class State {
    Closed,   // not serving
    Waiting,  // for the far end to open the slave, or to open the device again
    Offered,  // a connection request is out
    Serving,
    Shunned,  // refused or dropped; waiting for it to close the slave
  };
  // One client's stay: its buffers live as long as an operation on them.
  struct Stay {
    std::array<char, 4096> readBuffer{};
    std::string outbox;   // queued, not yet handed to the line
    std::string sending;  // the write in flight, from `sent` on
    std::size_t sent = 0;
    bool reading = false;
    bool writing = false;
    bool over = false;
  };

  bool IsPty() const { return line_.kind == ClientLine::Kind::Pty; }
  std::string OpenDevice();
  void Offer();
  void Pump(const std::shared_ptr<Stay>& stay);
  void LeaveOn(const std::error_code& ec);
  void ReadDone(const std::shared_ptr<Stay>& stay, const std::error_code& ec, std::size_t count);
  void WriteDone(const std::shared_ptr<Stay>& stay, const std::error_code& ec, std::size_t count);
  // Ends the stay. `farEndGone`: the pseudo-terminal's slave is closed.
  void EndStay(bool farEndGone);
  void Leave(const std::string* failure, bool farEndGone);
  std::string Failure(const std::error_code& ec) const;
  void WaitThenLook(std::chrono::milliseconds delay);
  void Look();

  asio::io_context& context_;
  ClientLine line_;
  Handlers handlers_;
  asio::serial_port port_;
  asio::steady_timer timer_;
  PseudoTerminal pty_;
  std::shared_ptr<Stay> stay_;
  State state_ = State::Closed;
  std::string openError_;
  std::size_t writeLimit_ = kDefaultWriteLimit;
  std::chrono::milliseconds reopenDelay_ = kReopenInterval;
  unsigned timerGeneration_ = 0;
  // Completion handlers hold a copy; it is cleared when the object dies.
  std::shared_ptr<AsioLineClient*> self_;
};

}  // namespace tw
