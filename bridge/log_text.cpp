#include "bridge/log_text.h"

namespace tw {

std::string LogBytes(std::string_view bytes, std::size_t limit) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const std::string_view shown = bytes.substr(0, limit);
  std::string out;
  out.reserve(shown.size());
  for (char c : shown) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
      out += c;
    } else {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    }
  }
  if (shown.size() < bytes.size()) out += "... (" + std::to_string(bytes.size()) + " bytes)";
  return out;
}

std::string PortText(long long number) {
  return number < 0 ? std::to_string(number) : " " + std::to_string(number);
}

}  // namespace tw
