// Serves a LoopbackEngine to any number of TCP clients on 127.0.0.1. All of
// it runs on the thread that runs the io_context: the engine is never
// touched from anywhere else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "tools/loopback_engine/engine_core.h"

namespace asio {
class io_context;
}

namespace tw::loopback {

struct ServerLimits {
  std::size_t maxClients = 64;
  // Bytes waiting to be written to one client; a client that reads slower
  // than others send to it is dropped once this is passed.
  std::size_t maxBacklog = 4u << 20;
};

class EngineServer {
 public:
  // Listens at once; throws std::system_error when the port cannot be bound.
  EngineServer(asio::io_context& io, LoopbackEngine& engine, std::uint16_t port, ServerLimits limits = {});
  ~EngineServer();
  EngineServer(const EngineServer&) = delete;
  EngineServer& operator=(const EngineServer&) = delete;

  // The bound port (useful when 0 was asked for).
  std::uint16_t Port() const;

  // Stops listening and closes every client. Call on the io_context's thread.
  void Stop();

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

}  // namespace tw::loopback
