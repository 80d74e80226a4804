// An unproto (UI) frame a client asked the engine to send, and the two ways
// the engine shows it to other clients: the monitor line of a 'U' frame and
// the AX.25 frame of a raw 'K' frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/link/trace_log.h"

namespace tw::loopback {

inline constexpr std::size_t kMaxDigis = 8;   // the most an AX.25 address field can carry
inline constexpr std::size_t kMaxInfo = 256;  // AX.25's default N1

struct UiFrame {
  std::string source;  // air forms (see AirCall)
  std::string destination;
  std::vector<std::string> digis;
  std::uint8_t pid = 0;
  std::string info;
};

// Nothing when a call cannot be put on the air, the path is longer than
// kMaxDigis or the information longer than kMaxInfo: no radio could send it.
std::optional<UiFrame> MakeUiFrame(std::string_view source, std::string_view destination,
                                   const std::vector<std::string>& digis, std::uint8_t pid,
                                   std::string_view info);

// " 1:Fm SRC To DST Via D1,D2 <UI pid=F0 Len=5 >[HH:MM:SS]" CR info CR NUL,
// with the one-based port.
std::string MonitorText(int port, const UiFrame& frame, std::string_view timeOfDay);

// KISS command byte 0, the address field (destination marked as command,
// extension bit on the last address), control 0x03, PID, information.
std::string RawUiFrame(TraceLog& log, const UiFrame& frame);

}  // namespace tw::loopback
