#include "bridge/status/status_text.h"

#include "bridge/log_text.h"
#include "platform/text/text.h"

namespace tw {

StreamCells StreamRow(std::size_t index, const StreamStatus& stream) {
  StreamCells cells;
  cells[0] = std::string(1, StreamTable::Letter(static_cast<int>(index) + 1));
  cells[1] = std::string(StateName(stream.state));
  if (stream.state == StreamState::Disconnected) return cells;
  cells[2] = LogBytes(stream.remote, 40);
  if (!stream.via.empty()) cells[2] += " via " + LogBytes(stream.via, 80);
  cells[3] = stream.radioPort > 0 ? std::to_string(stream.radioPort) : std::string();
  cells[4] = std::to_string(stream.bytesSent);
  cells[5] = std::to_string(stream.bytesReceived);
  cells[6] = std::to_string(stream.framesHeld);
  return cells;
}

std::string EngineLine(const EngineStatus& engine) {
  std::string line = Cat("Engine ", LogBytes(engine.host), ":", engine.port, ": ");
  if (!engine.up) return line + "down";
  line += "up, version " + LogBytes(engine.version, 20);
  if (engine.radioPorts > 0) {
    line += Cat(", ", engine.radioPorts, engine.radioPorts == 1 ? " radio port" : " radio ports");
  }
  return line;
}

std::string ClientStatusLine(const ClientStatus& client) {
  if (!client.connected) {
    return Cat("Client: none, listening on ", LogBytes(client.listenAddress), " port ", client.listenPort);
  }
  const std::string from = client.address.empty() ? std::string("(address unknown)") : LogBytes(client.address);
  return Cat("Client ", from, ": ", client.hostMode ? "host mode" : "terminal mode");
}

}  // namespace tw
