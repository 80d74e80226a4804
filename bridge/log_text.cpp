#include "bridge/log_text.h"

#include <cstdlib>
#include <ctime>

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

std::string LocalStamp(std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S ", &local);
  return std::string(text, n);
}

bool JournalStamps() {
  const char* stream = std::getenv("JOURNAL_STREAM");
  return stream != nullptr && *stream != '\0';
}

}  // namespace tw
