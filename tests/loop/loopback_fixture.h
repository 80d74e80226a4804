// A real loop with a listening socket on 127.0.0.1 at a free port.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "platform/loop/asio_event_loop.h"
#include "platform/loop/asio_listen_socket.h"
#include "tests/loop/loop_test_support.h"

namespace tw::testing {

class LoopbackTest : public ::testing::Test {
 protected:
  bool RunUntil(const std::function<bool()>& done) { return loop.RunUntil(done, kPatience); }
  void RunQuietSpell() { loop.RunFor(kQuietSpell); }

  std::unique_ptr<AsioListenSocket> Server(ServerEvents& events) {
    auto server = std::make_unique<AsioListenSocket>(loop.Context());
    server->SetLocalAddress("127.0.0.1");
    server->SetHandlers(events.Handlers(*server));
    EXPECT_TRUE(server->Listen(0));
    EXPECT_NE(server->LocalPort(), 0);
    return server;
  }

  // Declared first so that it outlives every socket a test creates.
  AsioEventLoop loop;
};

}  // namespace tw::testing
