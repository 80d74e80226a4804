#include "tools/loopback_engine/call_sign.h"

#include "platform/text/text.h"

namespace tw::loopback {

namespace {

constexpr std::size_t kMaxBase = 6;
constexpr unsigned kMaxSsid = 15;

bool IsCallChar(char ch) { return (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9'); }

}  // namespace

std::optional<std::string> AirCall(std::string_view call) {
  std::string upper = UpperText(call);
  std::string_view text = upper;
  std::size_t dash = text.find('-');
  std::string_view base = text.substr(0, dash);
  if (base.empty() || base.size() > kMaxBase) return std::nullopt;
  for (char ch : base) {
    if (!IsCallChar(ch)) return std::nullopt;
  }
  std::string out(base);
  if (dash == std::string_view::npos) return out;
  std::string_view ssid = text.substr(dash + 1);
  // Two digits at most, so the value cannot overflow before the range check.
  if (ssid.size() > 2 || !IsDigits(ssid)) return std::nullopt;
  unsigned value = 0;
  for (char ch : ssid) value = value * 10 + static_cast<unsigned>(ch - '0');
  if (value > kMaxSsid) return std::nullopt;
  if (value != 0) out += Cat('-', value);
  return out;
}

std::string CallKey(std::string_view call) {
  if (auto air = AirCall(call)) return *air;
  return UpperText(call);
}

}  // namespace tw::loopback
