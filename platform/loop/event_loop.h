// Creates the loop-bound objects. The Asio implementation runs everything on
// the thread that calls Run(); tests use the fake one.
#pragma once

#include <functional>
#include <memory>

#include "platform/loop/client_line.h"
#include "platform/loop/client_socket.h"
#include "platform/loop/listen_socket.h"
#include "platform/loop/timer.h"

namespace tw {

class EventLoop {
 public:
  virtual ~EventLoop() = default;

  virtual std::unique_ptr<ClientSocket> NewClientSocket() = 0;
  virtual std::unique_ptr<ListenSocket> NewListenSocket() = 0;
  // The client on a pseudo-terminal or serial line instead of a TCP
  // listener, with the listening socket's notifications.
  virtual std::unique_ptr<ListenSocket> NewLineClient(const ClientLine& line) = 0;
  virtual std::unique_ptr<Timer> NewTimer() = 0;

  // Runs `task` on the loop's thread, after the current handler; safe to call
  // from any thread.
  virtual void Post(std::function<void()> task) = 0;
};

}  // namespace tw
