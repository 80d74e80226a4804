#include "tools/loopback_engine/engine_texts.h"

#include "platform/text/text.h"

namespace tw::loopback {

namespace {

constexpr char kCr = '\r';

void AppendLe32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(static_cast<char>((value >> shift) & 0xFF));
  }
}

std::string Notice(std::string_view lead, std::string_view remote) {
  return Cat(lead, remote, kCr, '\0');
}

}  // namespace

std::string PortList(int ports) {
  std::string list = Cat(ports, ';');
  for (int port = 1; port <= ports; ++port) {
    list += port == ports ? Cat("Port", port, " Loopback;") : Cat("Port", port, " Simulated radio;");
  }
  return list;
}

std::string VersionData() {
  std::string data;
  AppendLe32(data, kVersionMajor);
  AppendLe32(data, kVersionMinor);
  return data;
}

std::string PortCapabilities(std::uint8_t activeLinks) {
  constexpr std::uint8_t kBaud1200 = 0;
  constexpr std::uint8_t kTrafficLevel = 0;
  constexpr std::uint8_t kTxDelay = 30;  // tens of milliseconds
  constexpr std::uint8_t kTxTail = 10;
  constexpr std::uint8_t kPersist = 63;
  constexpr std::uint8_t kSlotTime = 10;
  constexpr std::uint8_t kMaxFrame = 4;
  const std::uint8_t record[] = {kBaud1200, kTrafficLevel, kTxDelay, kTxTail,
                                 kPersist,  kSlotTime,     kMaxFrame, activeLinks};
  std::string data(reinterpret_cast<const char*>(record), sizeof record);
  // Nothing ever waits to be sent on a loop-back port: the byte count is 0.
  data.append(4, '\0');
  return data;
}

std::string Count32(std::uint32_t count) {
  std::string data;
  AppendLe32(data, count);
  return data;
}

std::string ConnectedWith(std::string_view remote) {
  return Notice("*** CONNECTED With Station ", remote);
}

std::string ConnectedTo(std::string_view remote) {
  return Notice("*** CONNECTED To Station ", remote);
}

std::string DisconnectedFrom(std::string_view remote) {
  return Notice("*** DISCONNECTED From Station ", remote);
}

std::string RetryOut(std::string_view remote) {
  return Notice("*** DISCONNECTED RETRYOUT With ", remote);
}

std::string HeardLine(std::string_view call, std::string_view first, std::string_view last) {
  return Cat(call, " first heard ", first, " last heard ", last, '\0');
}

}  // namespace tw::loopback
