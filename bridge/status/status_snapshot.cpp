#include "bridge/status/status_snapshot.h"

#include "bridge/bridge_core.h"

namespace tw {

StatusSnapshot BuildSnapshot(const BridgeCore& core, BridgeControl& control) {
  StatusSnapshot snapshot;
  snapshot.myCall = core.mycall();
  for (int s = 1; s <= kStreamCount; ++s) {
    const Stream& stream = core.Streams()[s];
    StreamStatus& row = snapshot.streams.at(static_cast<std::size_t>(s - 1));
    row.state = stream.strmstate;
    row.bytesSent = stream.bytesSent;
    row.bytesReceived = stream.bytesReceived;
    if (stream.strmstate == StreamState::Disconnected || stream.chanid == 0) continue;
    BridgeControl::LinkInfo info;
    if (control.AX25Info(stream.chanid, info)) {
      row.remote = info.szTo;
      row.via = info.szVIA;
      row.radioPort = info.iPort;
    }
    std::int32_t frames = 0;
    std::int32_t bytes = 0;
    if (control.AX25Outstanding(stream.chanid, frames, bytes) && frames > 0) {
      row.framesHeld = static_cast<std::uint32_t>(frames);
    }
  }
  const BridgeCore::EngineState& engine = core.Engine();
  // The engine lists its ports some time after it answered.
  snapshot.engine = {engine.host, core.Config().engineport, engine.up, engine.up ? engine.version : std::string(),
                     engine.up ? control.PortMax() : 0};
  snapshot.client = {core.ClientPresent(), core.ClientAddress(), core.hostmode(), core.ListenAddress(),
                     core.Config().listenport};
  return snapshot;
}

std::string_view StateName(StreamState state) {
  switch (state) {
    case StreamState::Disconnected: return "disconnected";
    case StreamState::Connected: return "connected";
    case StreamState::Connecting: return "connecting";
    case StreamState::Disconnecting: return "disconnecting";
  }
  return "unknown";
}

}  // namespace tw
