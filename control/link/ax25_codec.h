// AX.25 addresses and raw (KISS) frames as the engine passes them in kind 'K'
// frames: a KISS command byte, then the frame as on the air. Everything here
// reads radio input, so every index is checked against the frame's length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "control/link/trace_log.h"

namespace tw {

inline constexpr std::size_t kAddressSize = 7;

// 7-byte address field → "CALL" or "CALL-SSID". Fewer than 7 bytes: empty.
std::string FCallSign(TraceLog& log, std::string_view address);

// "CALL-SSID" → 7-byte address field (SSID byte ORed with 0x60, extension
// bit clear). An SSID that is not a number from 0 to 15 encodes as 0.
std::string XCallSign(TraceLog& log, std::string_view callSign);

struct KissControl {
  std::string type;  // "I", "RR", "RNR", "REJ", "UI", "DM", "SABM", "DISC", "UA", "FRMR" or empty
  bool pollFinal = false;
  std::uint8_t ns = 0;
  std::uint8_t nr = 0;
};

KissControl KissCtl(TraceLog& log, std::uint8_t control);

// Decodes the address field of a raw frame. `position` is one-based; on
// success it points at the control byte. Returns false when the frame is too
// short for the address field it announces (nothing is decoded from frames
// of 15 bytes or fewer).
bool KissHeader(TraceLog& log, int enginePort, std::string_view frame, std::size_t& position,
                std::string& source, std::string& destination, std::string& via);

struct KissFrame {
  std::string source;
  std::string destination;
  std::string via;  // digipeater calls in path order, separated by ","
  std::uint8_t nr = 0;
  std::uint8_t ns = 0;
  std::string type;
  bool pollFinal = false;
  std::uint8_t pid = 0;
  std::size_t infoLength = 0;
  std::string info;
};

KissFrame KissDecode(TraceLog& log, int enginePort, std::string_view frame);

}  // namespace tw
