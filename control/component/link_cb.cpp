#include "control/component/link_cb.h"

#include "platform/text/text.h"

namespace tw {

namespace {

bool IsLetterOrDigit(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

std::string_view UpperCallKey(std::string_view call) { return BareCall(call); }

void LinkCB::SetCalls(std::string from, std::string to) {
  fromKey = StationKey(from);
  toKey = StationKey(to);
  From = std::move(from);
  To = std::move(to);
}

bool SameLink(const LinkCB& link, int port, std::string_view keyA, std::string_view keyB) {
  return link.Port == port &&
         ((link.fromKey == keyA && link.toKey == keyB) || (link.fromKey == keyB && link.toKey == keyA));
}

bool IsAx25Address(std::string_view call) {
  const std::size_t dash = call.find('-');
  const std::string_view base = call.substr(0, dash);
  if (base.empty() || base.size() > 6) return false;
  for (char c : base) {
    if (!IsLetterOrDigit(c)) return false;
  }
  if (dash == std::string_view::npos) return true;
  const std::string_view ssid = call.substr(dash + 1);
  if (ssid.empty() || ssid.size() > 2 || !IsDigits(ssid)) return false;
  return DigitsValue(ssid) <= 15;
}

}  // namespace tw
