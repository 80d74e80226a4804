// The words the window and the status page show for a snapshot: the stream
// table's columns and cells, the engine's line and the client's. Calls and
// other bytes from the network appear as the log shows them (printable
// ASCII, \xNN for the rest).
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "bridge/status/status_snapshot.h"

namespace tw {

// The stream table's columns: key (in status.json), heading, and whether it
// holds a number (set flush right). "Unsent" counts the frames the engine
// still holds for the link.
#define TW_STREAM_COLUMNS(X)                 \
  X(stream, "Stream", false)                 \
  X(state, "State", false)                   \
  X(remote, "Remote", false)                 \
  X(radio_port, "Radio port", true)          \
  X(bytes_sent, "Sent", true)                \
  X(bytes_received, "Received", true)        \
  X(unsent_frames, "Unsent", true)

struct StreamColumn {
  std::string_view key;
  std::string_view heading;
  bool numeric;
};

#define TW_COLUMN_ENTRY(key, heading, numeric) StreamColumn{#key, heading, numeric},
inline constexpr std::array kStreamColumns = {TW_STREAM_COLUMNS(TW_COLUMN_ENTRY)};
#undef TW_COLUMN_ENTRY

using StreamCells = std::array<std::string, kStreamColumns.size()>;

// Stream `index` (0 for A) in the columns' order; a stream without a link
// shows its letter and state only.
StreamCells StreamRow(std::size_t index, const StreamStatus& stream);

// "Engine 127.0.0.1:8000: up, version 1.6, 4 radio ports" or "...: down".
std::string EngineLine(const EngineStatus& engine);
// "Client 127.0.0.1:40312: host mode", or none and where it is awaited.
std::string ClientStatusLine(const ClientStatus& client);

}  // namespace tw
