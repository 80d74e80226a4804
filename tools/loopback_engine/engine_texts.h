// The data parts of the engine's replies and notices. Notices end in CR and
// NUL the way real engines send them; clients read them up to the CR.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tw::loopback {

inline constexpr std::uint16_t kVersionMajor = 2005;
inline constexpr std::uint16_t kVersionMinor = 127;

// "N;Port1 Simulated radio;...;PortN Loopback;": exactly one port, the last,
// carries the loop-back mark that clients look for.
std::string PortList(int ports);

// Two little-endian 32-bit numbers, major then minor.
std::string VersionData();

// The 12-byte capability record of one port: on-air baud code, traffic
// level, TX delay, TX tail, persist, slot time, maxframe, active links, a
// 24-bit byte count and a spare byte.
std::string PortCapabilities(std::uint8_t activeLinks);

// A little-endian 32-bit count.
std::string Count32(std::uint32_t count);

// To the station that asked for the connection.
std::string ConnectedWith(std::string_view remote);
// To the station that was called.
std::string ConnectedTo(std::string_view remote);
// To both ends of a link that ended, whoever ended it.
std::string DisconnectedFrom(std::string_view remote);
// To a caller whose connect nobody answered.
std::string RetryOut(std::string_view remote);

// One heard-list line, NUL-terminated.
std::string HeardLine(std::string_view call, std::string_view first, std::string_view last);

}  // namespace tw::loopback
