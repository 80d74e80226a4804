// A TCP client connection as the code above the loop sees it. Notifications
// arrive on the loop's thread, one at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tw {

class ClientSocket {
 public:
  struct Handlers {
    std::function<void()> connected;
    std::function<void()> disconnected;  // the peer closed, or Close() ended a live connection
    std::function<void(const std::string& description)> error;  // connect or I/O failure
    std::function<void(std::string_view bytes)> read;
  };

  virtual ~ClientSocket() = default;

  virtual void SetHandlers(Handlers handlers) = 0;

  // Starts connecting; the outcome arrives as `connected` or `error`.
  virtual void Connect(const std::string& host, std::uint16_t port) = 0;

  // Queues bytes; they are written whole and in order.
  virtual void Write(std::string_view bytes) = 0;

  // Ends the connection or the attempt. A live connection reports
  // `disconnected`; an attempt in progress is dropped without a notification.
  virtual void Close() = 0;

  // Connecting or connected.
  virtual bool Active() const = 0;

  virtual std::string RemoteHost() const = 0;
  virtual std::uint16_t RemotePort() const = 0;
};

}  // namespace tw
