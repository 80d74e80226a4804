#include "platform/text/text.h"

#include <limits>

namespace tw {

std::string NextWord(std::string& source) {
  std::size_t begin = source.find_first_not_of(' ');
  if (begin == std::string::npos) {
    source.clear();
    return {};
  }
  std::size_t end = source.size();
  if (end > begin && source[end - 1] == '\r') --end;
  std::size_t wordEnd = source.find(' ', begin);
  if (wordEnd == std::string::npos || wordEnd > end) wordEnd = end;
  std::string word = source.substr(begin, wordEnd - begin);
  std::size_t restBegin = source.find_first_not_of(' ', wordEnd);
  if (restBegin == std::string::npos || restBegin >= end) {
    source.clear();
  } else {
    source = source.substr(restBegin, end - restBegin);
  }
  return word;
}

std::string SplitAt(std::string& source, std::string_view delimiter) {
  std::size_t at = delimiter.empty() ? std::string::npos : source.find(delimiter);
  if (at == std::string::npos) {
    std::string whole;
    whole.swap(source);
    return whole;
  }
  std::string before = source.substr(0, at);
  source.erase(0, at + delimiter.size());
  return before;
}

std::string PadRight(std::string_view text, std::size_t n, char c) {
  std::string out(text);
  if (out.size() < n) out.append(n - out.size(), c);
  return out;
}

std::string PadLeft(std::string_view text, std::size_t n, char c) {
  std::string out;
  if (text.size() < n) out.assign(n - text.size(), c);
  out.append(text);
  return out;
}

std::string UpperText(std::string_view text) {
  std::string out(text);
  for (char& ch : out) {
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  }
  return out;
}

std::string_view BareCall(std::string_view call) {
  const std::size_t dash = call.rfind('-');
  if (dash != std::string_view::npos && dash + 1 < call.size() &&
      call.find_first_not_of('0', dash + 1) == std::string_view::npos) {
    call = call.substr(0, dash);
  }
  return call;
}

std::string StationKey(std::string_view call) { return UpperText(BareCall(call)); }

bool SameStation(std::string_view a, std::string_view b) { return StationKey(a) == StationKey(b); }

std::string RemoveChar(std::string_view text, char c) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    if (ch != c) out.push_back(ch);
  }
  return out;
}

std::string ReplaceChar(std::string_view text, char c, std::string_view with) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    if (ch == c) {
      out.append(with);
    } else {
      out.push_back(ch);
    }
  }
  return out;
}

bool IsDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char ch : text) {
    if (ch < '0' || ch > '9') return false;
  }
  return true;
}

std::string CopyToNul(std::string_view text) {
  return std::string(text.substr(0, text.find('\0')));
}

std::string HexByte(std::uint8_t byte) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return std::string{kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

namespace {
unsigned HexDigitValue(char ch) {
  if (ch >= '0' && ch <= '9') return static_cast<unsigned>(ch - '0');
  if (ch >= 'A' && ch <= 'F') return static_cast<unsigned>(ch - 'A' + 10);
  if (ch >= 'a' && ch <= 'f') return static_cast<unsigned>(ch - 'a' + 10);
  return 0;
}
}  // namespace

std::uint8_t HexToByte(std::string_view text) {
  if (text.empty() || text.size() >= 3) return 0;
  if (text.size() == 1) return static_cast<std::uint8_t>(HexDigitValue(text[0]));
  return static_cast<std::uint8_t>(16 * HexDigitValue(text[0]) + HexDigitValue(text[1]));
}

std::string BoolText(bool value) { return value ? "TRUE" : "FALSE"; }

std::uint64_t DigitsValue(std::string_view digits) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t value = 0;
  for (char ch : digits) {
    if (ch < '0' || ch > '9') break;
    auto digit = static_cast<std::uint64_t>(ch - '0');
    if (value > (kMax - digit) / 10) return kMax;
    value = value * 10 + digit;
  }
  return value;
}

bool IsAx25Address(std::string_view call) {
  const std::size_t dash = call.find('-');
  const std::string_view base = call.substr(0, dash);
  if (base.empty() || base.size() > 6) return false;
  for (char c : base) {
    const bool letterOrDigit = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!letterOrDigit) return false;
  }
  if (dash == std::string_view::npos) return true;
  const std::string_view ssid = call.substr(dash + 1);
  if (ssid.empty() || ssid.size() > 2 || !IsDigits(ssid)) return false;
  return DigitsValue(ssid) <= 15;
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

}  // namespace tw
