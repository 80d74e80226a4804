// Decodes arbitrary bytes as a raw AX.25 frame and as call-signs in both
// directions, with the trace fully on so that every log message is built.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "control/link/ax25_codec.h"
#include "fuzz/fuzz_check.h"

namespace {

using tw::fuzz::Require;

constexpr std::size_t kStampedPrefix = 20;  // "YYYY-MM-DD HH:MM:SS "

tw::TraceLog& Log() {
  static tw::TraceLog log;
  static const bool configured = [] {
    log.SetSwitch("YES");
    log.SetLevel(5);
    log.SetSink([](const std::string& line) {
      Require(line.size() > kStampedPrefix && line[kStampedPrefix - 1] == ' ', "dated log line");
    });
    return true;
  }();
  static_cast<void>(configured);
  return log;
}

bool IsType(const std::string& type) {
  for (const char* known : {"", "I", "RR", "RNR", "REJ", "UI", "DM", "SABM", "DISC", "UA", "FRMR"}) {
    if (type == known) return true;
  }
  return false;
}

// A call that the codec must carry unchanged: one to six letters or digits,
// optionally "-" and an SSID 1 to 15 without a leading zero.
bool IsPlainCall(std::string_view call) {
  std::size_t dash = call.find('-');
  std::string_view base = call.substr(0, dash);
  if (base.empty() || base.size() > 6) return false;
  for (char ch : base) {
    if (!((ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9'))) return false;
  }
  if (dash == std::string_view::npos) return true;
  std::string_view ssid = call.substr(dash + 1);
  for (std::string_view valid : {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15"}) {
    if (ssid == valid) return true;
  }
  return false;
}

void CheckDecode(std::string_view frame) {
  tw::KissFrame f = tw::KissDecode(Log(), 8000, frame);
  Require(IsType(f.type), "known type name");
  Require(f.info.size() == f.infoLength, "information length");
  Require(f.info.size() <= frame.size() && frame.ends_with(f.info), "information is the frame's tail");
  Require(f.info.empty() || f.type == "I" || f.type == "UI", "only I and UI frames carry information");
  Require(f.ns < 8 && f.nr < 8, "sequence numbers of three bits");
  Require(f.source.size() <= 9 && f.destination.size() <= 9, "calls of at most six characters and SSID");
  if (frame.size() <= 15) {
    Require(f.source.empty() && f.destination.empty() && f.type.empty(), "short frames decode nothing");
  }
  // Each walked address gives at most nine characters and a comma.
  std::size_t addresses = frame.size() > 15 ? (frame.size() - 15) / 7 : 0;
  Require(f.via.size() <= 10 * addresses, "no more digipeaters than the frame holds");
}

void CheckCallSigns(std::string_view bytes) {
  std::string decoded = tw::FCallSign(Log(), bytes);
  if (bytes.size() < tw::kAddressSize) {
    Require(decoded.empty(), "short address decodes to nothing");
  } else {
    Require(decoded.size() <= 9, "decoded call of at most nine characters");
    Require(decoded == tw::FCallSign(Log(), bytes.substr(0, tw::kAddressSize)), "only seven bytes read");
  }

  std::string encoded = tw::XCallSign(Log(), bytes);
  if (bytes.empty()) {
    Require(encoded.empty(), "empty call encodes to nothing");
  } else if (encoded != "NOBODY0") {
    std::size_t base = std::min(bytes.find('-'), bytes.size());
    Require(encoded.size() == std::max<std::size_t>(base, 6) + 1, "encoded length");
    Require((static_cast<std::uint8_t>(encoded.back()) & 0xE1) == 0x60, "SSID byte layout");
  }
  if (IsPlainCall(bytes)) {
    Require(tw::FCallSign(Log(), encoded) == bytes, "plain call survives the round trip");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckDecode(bytes);
  CheckCallSigns(bytes);
  if (size > 0) {
    tw::KissControl control = tw::KissCtl(Log(), data[0]);
    Require(IsType(control.type), "known control class");
  }
  return 0;
}
