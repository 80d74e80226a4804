// Hands out fakes and remembers them, so a test can reach the socket or timer
// that the code under test created.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "platform/loop/event_loop.h"
#include "platform/loop/fake_client_socket.h"
#include "platform/loop/fake_listen_socket.h"
#include "platform/loop/fake_timer.h"

namespace tw {

class FakeEventLoop : public EventLoop {
 public:
  std::unique_ptr<ClientSocket> NewClientSocket() override {
    auto socket = std::make_unique<FakeClientSocket>();
    clientSockets.push_back(socket.get());
    return socket;
  }
  std::unique_ptr<ListenSocket> NewListenSocket() override {
    auto socket = std::make_unique<FakeListenSocket>();
    listenSockets.push_back(socket.get());
    return socket;
  }
  std::unique_ptr<ListenSocket> NewLineClient(const ClientLine& line) override {
    lines.push_back(line);
    return NewListenSocket();
  }
  std::unique_ptr<Timer> NewTimer() override {
    auto timer = std::make_unique<FakeTimer>(&liveTimers);
    timers.push_back(timer.get());
    return timer;
  }
  void Post(std::function<void()> task) override { posted.push_back(std::move(task)); }

  // Runs posted tasks, including those they post, until none is left.
  void RunPosted() {
    while (!posted.empty()) {
      auto task = std::move(posted.front());
      posted.pop_front();
      task();
    }
  }

  // Raw pointers: valid while their owner keeps the object alive.
  std::vector<FakeClientSocket*> clientSockets;
  std::vector<FakeListenSocket*> listenSockets;
  std::vector<ClientLine> lines;  // asked for by NewLineClient
  std::vector<FakeTimer*> timers;
  int liveTimers = 0;
  std::deque<std::function<void()>> posted;
};

}  // namespace tw
