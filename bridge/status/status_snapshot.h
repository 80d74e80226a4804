// What the operator is shown of the running bridge, as one value: the ten
// streams, the engine, the client and the most recent log lines. The loop's
// thread builds it from the bridge's state; the window and the status page
// read it on their own threads. A published snapshot is never changed, so it
// is shared as a pointer to const.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/stream_table.h"

namespace tw {

class BridgeControl;
class BridgeCore;

struct StreamStatus {
  StreamState state = StreamState::Disconnected;
  std::string remote;  // the far station, as the engine spells it
  std::string via;
  int radioPort = 0;
  std::uint64_t bytesSent = 0;
  std::uint64_t bytesReceived = 0;
  // Frames the engine still holds for the link, not yet sent; 0 when unknown.
  std::uint32_t framesHeld = 0;
  bool operator==(const StreamStatus&) const = default;
};

struct EngineStatus {
  std::string host;
  int port = 0;
  bool up = false;
  std::string version;  // as the engine gave it when it last answered
  int radioPorts = 0;
  bool operator==(const EngineStatus&) const = default;
};

struct ClientStatus {
  bool connected = false;
  std::string address;  // where the connected client comes from
  bool hostMode = false;
  std::string listenAddress;
  int listenPort = 0;
  bool operator==(const ClientStatus&) const = default;
};

struct StatusSnapshot {
  std::string myCall;
  std::array<StreamStatus, kStreamCount> streams{};  // A to J
  EngineStatus engine;
  ClientStatus client;
  std::vector<std::string> log;  // oldest first

  // Everything but the log.
  bool SameState(const StatusSnapshot& other) const {
    return myCall == other.myCall && streams == other.streams && engine == other.engine && client == other.client;
  }
};

using SnapshotPtr = std::shared_ptr<const StatusSnapshot>;

// The bridge's state now, without the log. Asks the control for each busy
// stream's link (its remote station and radio port) and for the engine's
// number of radio ports.
StatusSnapshot BuildSnapshot(const BridgeCore& core, BridgeControl& control);

// "disconnected", "connected", "connecting", "disconnecting".
std::string_view StateName(StreamState state);

}  // namespace tw
