// The event loop over Asio: everything it creates runs its notifications on
// the thread that runs the loop. Objects it creates must be destroyed before
// the loop itself.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>

#include "platform/loop/event_loop.h"

namespace asio {
class io_context;
}

namespace tw {

class AsioEventLoop final : public EventLoop {
 public:
  AsioEventLoop();
  ~AsioEventLoop() override;

  AsioEventLoop(const AsioEventLoop&) = delete;
  AsioEventLoop& operator=(const AsioEventLoop&) = delete;

  std::unique_ptr<ClientSocket> NewClientSocket() override;
  std::unique_ptr<ListenSocket> NewListenSocket() override;
  std::unique_ptr<ListenSocket> NewLineClient(const ClientLine& line) override;
  std::unique_ptr<Timer> NewTimer() override;
  void Post(std::function<void()> task) override;

  // Runs handlers until Stop(), idle or not.
  void Run();
  // Runs handlers until none is left to run or wait for, or until Stop().
  void RunUntilIdle();
  // Runs handlers for `duration`, or until Stop(); returns true when a
  // Stop() ended it.
  bool RunFor(std::chrono::milliseconds duration);
  // Runs handlers that are ready, without waiting, at most `limit` of them;
  // returns true when a Stop() (made before or by a handler) ended it, and
  // consumes that stop.
  bool Poll(std::size_t limit);
  // Runs handlers until `done()` holds (checked before the first and after
  // each handler), `timeout` has passed, or Stop(); returns `done()`.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

  // An exception thrown by a handler leaves the run under way; the loop
  // stays runnable.

  // Ends the Run call under way, or the next one if none is. Safe from any
  // thread.
  void Stop();

  asio::io_context& Context();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tw
