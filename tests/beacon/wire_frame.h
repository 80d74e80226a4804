// One engine frame laid out byte by byte, as the engine expects it: the
// header's port byte is zero-based, calls sit NUL-padded in 10-byte fields,
// the data length is little-endian at byte 28.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tw::testing {

inline std::string WireFrame(std::uint8_t wirePort, char kind, std::uint8_t pid,
                             std::string_view callFrom, std::string_view callTo,
                             std::string_view data) {
  std::string frame(36, '\0');
  frame[0] = static_cast<char>(wirePort);
  frame[4] = kind;
  frame[6] = static_cast<char>(pid);
  frame.replace(8, callFrom.size(), callFrom);
  frame.replace(18, callTo.size(), callTo);
  frame[28] = static_cast<char>(data.size() & 0xFF);
  frame[29] = static_cast<char>((data.size() >> 8) & 0xFF);
  frame.append(data);
  return frame;
}

}  // namespace tw::testing
