// What the engine told us about one of its radio ports.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tw {

inline constexpr int kPortRecords = 16;
inline constexpr int kHeardSlots = 20;

struct PortInfo {
  std::string portName;
  bool valid = false;
  std::uint8_t onAirBaud = 0;
  std::uint8_t trafficLevel = 0;
  std::uint8_t txDelay = 0;
  std::uint8_t txTail = 0;
  std::uint8_t persist = 0;
  std::uint8_t slotTime = 0;
  std::uint8_t maxFrame = 0;
  std::uint8_t ax25Channel = 0;
  std::uint32_t howManyBytes = 0;
  int frames = 0;  // low byte of the outstanding-frames count
  std::array<std::string, kHeardSlots> heard;
};

}  // namespace tw
