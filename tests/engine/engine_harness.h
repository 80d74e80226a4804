// Drives a LoopbackEngine as its clients would: frames go in as wire bytes,
// and what the engine sends comes back cut into frames per client.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "control/link/frame_codec.h"
#include "control/link/frame_reader.h"
#include "tools/loopback_engine/engine_core.h"

namespace tw::loopback::testing {

inline constexpr char kTimeOfDay[] = "12:34:56";

inline EngineConfig TestConfig() {
  EngineConfig config;
  config.ports = 2;
  config.retryDelay = Millis(3000);
  return config;
}

class EngineHarness {
 public:
  explicit EngineHarness(EngineConfig config = TestConfig())
      : engine(config, [] { return std::string(kTimeOfDay); }) {}

  ClientId Join() { return engine.Connect(); }

  // Sends one frame (split at 255 bytes the way clients split, unless 'K').
  bool Send(ClientId client, int port, char kind, std::string_view from = "", std::string_view to = "",
            std::string_view data = "", std::uint8_t pid = 0) {
    return engine.Receive(client, EncodeFrame(port, pid, kind, from, to, data));
  }

  // Sends one frame unsplit, whatever its length.
  bool SendWhole(ClientId client, int port, char kind, std::string_view from, std::string_view to,
                 std::string_view data, std::uint8_t pid = 0) {
    std::string frame(kHeaderSize, '\0');
    EncodeHeader(frame.data(), port, pid, kind, from, to, data.size());
    frame.append(data);
    return engine.Receive(client, frame);
  }

  bool Register(ClientId client, std::string_view call) { return Send(client, 0, 'X', call); }

  // The frames `client` has been sent since the last look.
  std::vector<Frame> Received(ClientId client) {
    Collect();
    return std::exchange(inbox_[client], {});
  }

  // The one frame `client` has been sent; fails the test otherwise.
  Frame Only(ClientId client);

  // Clears every client's inbox.
  void Forget() {
    Collect();
    inbox_.clear();
  }

  LoopbackEngine engine;

 private:
  void Collect() {
    for (Outgoing& out : engine.TakeOutput()) {
      FrameReader& reader = readers_[out.client];
      reader.Append(out.bytes);
      while (auto frame = reader.Next()) inbox_[out.client].push_back(std::move(*frame));
    }
  }

  std::map<ClientId, FrameReader> readers_;
  std::map<ClientId, std::vector<Frame>> inbox_;
};

// Data parts of `frames` joined.
inline std::string Joined(const std::vector<Frame>& frames) {
  std::string all;
  for (const Frame& frame : frames) all += frame.data;
  return all;
}

}  // namespace tw::loopback::testing
