// Links on one Asio loop against the loopback engine served over real
// loopback TCP. The engine's own trace tells which frames it received from
// which client, so tests can check what went over the wire.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/loop/asio_event_loop.h"
#include "tests/integration/recording_link.h"
#include "tools/loopback_engine/engine_core.h"
#include "tools/loopback_engine/server.h"

namespace tw::integration {

using namespace std::chrono_literals;

// Bounds every wait; reached only when something is broken.
inline constexpr auto kPatience = 10s;
// For checking that something does not happen.
inline constexpr auto kQuietSpell = 200ms;

inline constexpr std::uint8_t kPidText = 0xF0;

// One frame as the engine received it.
struct EngineSaw {
  loopback::ClientId client = 0;
  char kind = 0;
  int port = 0;
  std::size_t length = 0;
};

// An engine and the server that carries it; the server goes first.
struct EngineRun {
  explicit EngineRun(asio::io_context& io, loopback::EngineConfig config);
  std::vector<EngineSaw> saw;
  std::string trace;
  loopback::LoopbackEngine engine;
  loopback::EngineServer server;

  // The kinds `client` sent, in order.
  std::string KindsFrom(loopback::ClientId client) const;
  // The data lengths of the frames of `kind` that `client` sent.
  std::vector<std::size_t> LengthsFrom(loopback::ClientId client, char kind) const;
};

class EngineTest : public ::testing::Test {
 protected:
  explicit EngineTest(loopback::EngineConfig config = {});
  ~EngineTest() override;

  void TearDown() override;

  bool RunUntil(const std::function<bool()>& done) { return loop.RunUntil(done, kPatience); }
  void RunQuietSpell() { loop.RunFor(kQuietSpell); }

  // A link to the current engine, not yet switched on.
  RecordingLink& NewLink(const std::string& call);
  // Switches `link` on and waits until it has settled.
  void Start(RecordingLink& link);
  // Waits until the engine has handled everything `link` sent so far: it
  // answers in order, so a version request makes a barrier.
  void Sync(RecordingLink& link);

  // Stops the current engine (its clients see the connection end) and starts
  // a fresh one on a new port.
  void ReplaceEngine();

  EngineRun& Engine() { return *runs_.back(); }

  AsioEventLoop loop;  // first: everything below is bound to it

 private:
  loopback::EngineConfig config_;
  std::vector<std::unique_ptr<EngineRun>> runs_;
  std::vector<std::unique_ptr<RecordingLink>> links_;
};

// A port on 127.0.0.1 where nothing listens.
std::uint16_t RefusingPort(asio::io_context& io);

// Test data that holds the bytes a text path would mangle (NUL, the KISS
// frame delimiters, 0xFF) and every other byte value.
std::string Payload(std::size_t size, unsigned seed);

}  // namespace tw::integration
