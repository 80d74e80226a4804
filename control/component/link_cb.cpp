#include "control/component/link_cb.h"

#include "control/link/text.h"

namespace tw {

namespace {

bool IsLetterOrDigit(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

std::string CallKey(std::string_view call) {
  std::string key = UpperText(call);
  if (key.size() > 2 && key.compare(key.size() - 2, 2, "-0") == 0) key.resize(key.size() - 2);
  return key;
}

namespace {

std::string_view WithoutSsidZero(std::string_view call) {
  if (call.size() > 2 && call.substr(call.size() - 2) == "-0") call.remove_suffix(2);
  return call;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

// Compares in place: it runs for every data frame the engine delivers.
bool SameCall(std::string_view a, std::string_view b) {
  a = WithoutSsidZero(a);
  b = WithoutSsidZero(b);
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

bool SameLink(const LinkCB& link, int port, std::string_view a, std::string_view b) {
  if (link.Port != port) return false;
  return (SameCall(link.From, a) && SameCall(link.To, b)) ||
         (SameCall(link.From, b) && SameCall(link.To, a));
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
