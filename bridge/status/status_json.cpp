#include "bridge/status/status_json.h"

#include <nlohmann/json.hpp>

#include "bridge/status/status_text.h"

namespace tw {

namespace {

using Json = nlohmann::ordered_json;

// Byte b as U+00b in UTF-8, which is what the JSON library takes.
std::string Utf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return out;
}

Json StreamJson(std::size_t index, const StreamStatus& s) {
  // One value per column, in the table's order.
  const std::string letter(1, StreamTable::Letter(static_cast<int>(index) + 1));
  const Json values[] = {letter, std::string(StateName(s.state)), Utf8(s.remote), s.radioPort,
                         s.bytesSent, s.bytesReceived, s.framesHeld};
  static_assert(std::size(values) == kStreamColumns.size());
  Json row = Json::object();
  for (std::size_t c = 0; c < kStreamColumns.size(); ++c) row[std::string(kStreamColumns[c].key)] = values[c];
  row["via"] = Utf8(s.via);
  return row;
}

}  // namespace

std::string StatusJson(const StatusSnapshot& snapshot, std::string_view version) {
  Json doc = Json::object();
  doc["version"] = Utf8(version);
  doc["mycall"] = Utf8(snapshot.myCall);
  Json streams = Json::array();
  for (std::size_t i = 0; i < snapshot.streams.size(); ++i) streams.push_back(StreamJson(i, snapshot.streams[i]));
  doc["streams"] = std::move(streams);
  const EngineStatus& e = snapshot.engine;
  doc["engine"] = {{"host", Utf8(e.host)}, {"port", e.port}, {"up", e.up}, {"version", Utf8(e.version)},
                   {"radio_ports", e.radioPorts}};
  const ClientStatus& c = snapshot.client;
  doc["client"] = {{"connected", c.connected},
                   {"address", Utf8(c.address)},
                   {"mode", c.hostMode ? "host" : "terminal"},
                   {"listen_address", Utf8(c.listenAddress)},
                   {"listen_port", c.listenPort}};
  Json log = Json::array();
  for (const std::string& line : snapshot.log) log.push_back(Utf8(line));
  doc["log"] = std::move(log);
  return doc.dump(1, ' ', true) + "\n";
}

}  // namespace tw
