#include "control/link/monitor_text.h"

#include <exception>
#include <limits>

#include "platform/text/text.h"

namespace tw {

namespace {

constexpr std::size_t kMaxInfo = 256;

int DigitsOrZero(std::string_view text) {
  if (!IsDigits(text)) return 0;
  std::uint64_t value = DigitsValue(text);
  constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<int>::max());
  return static_cast<int>(value > kMax ? kMax : value);
}

// The engine writes the one-based port; we hand on the port minus one. A
// single character is decremented as a byte; a longer number is decremented
// as a number, so ports 10 and above survive; neither goes below zero.
std::string PortMinusOne(const std::string& word) {
  if (word.empty()) return {};
  if (word.size() > 1 && IsDigits(word)) {
    std::uint64_t value = DigitsValue(word);
    return std::to_string(value == 0 ? 0 : value - 1);
  }
  auto code = static_cast<unsigned char>(word[0]);
  return std::string(1, static_cast<char>(code == 0 ? 0 : code - 1));
}

bool IsOneOf(const std::string& type, std::initializer_list<std::string_view> types) {
  for (std::string_view t : types) {
    if (type == t) return true;
  }
  return false;
}

std::string UpToFirst(const std::string& text, char c) { return text.substr(0, text.find(c)); }

// Some protocols carry their own line structure in the information field;
// keep the part that reads as one message.
void ShapeInformation(const std::string& pid, std::string& info) {
  if (pid == "CD" || pid == "CC") {
    std::string line = UpToFirst(info, '\r');
    std::size_t lf = line.find('\n');
    std::string shaped = line.substr(0, lf);
    shaped.push_back('\r');
    if (lf != std::string::npos) shaped.append(UpToFirst(line.substr(lf + 1), '\n'));
    info = std::move(shaped);
  } else if (pid == "CF") {
    info = UpToFirst(UpToFirst(info, '\r'), '\n');
  }
}

}  // namespace

bool GetHeader(TraceLog& log, std::string_view text, MonitorHeader& out) {
  out = MonitorHeader{};
  try {
    log.LogLine(4, [&] { return Cat("{L2} GetHeader ->", text); });
    log.LogHex(5, text);

    std::string rest(text);
    std::string portText = SplitAt(rest, ":");
    out.port = PortMinusOne(NextWord(portText));

    NextWord(rest);
    out.source = NextWord(rest);
    NextWord(rest);
    out.destination = NextWord(rest);

    std::string path = SplitAt(rest, "<");
    if (Contains(UpperText(path), "VIA ")) {
      NextWord(path);
      out.via = ReplaceChar(RemoveChar(path, ' '), ',', " ");
    }

    out.type = NextWord(rest);
    const std::string& type = out.type;
    if (IsOneOf(type, {"UA", "FRMR", "DISC", "DM", "SABM", "SABME"})) return true;

    if (IsOneOf(type, {"RR", "RNR", "REJ"})) {
      std::string word = NextWord(rest);
      if (!word.empty() && word[0] == 'P') word = NextWord(rest);
      if (word.size() >= 2 && word[0] == 'R' && word[1] >= '0' && word[1] <= '9') {
        out.nr = word[1] - '0';
      }
      return true;
    }

    if (type == "UI") {
      SplitAt(rest, "=");
      std::string fields = SplitAt(rest, ">");
      std::string lengthText = "0";
      if (Contains(fields, "Len=")) {
        out.pid = NextWord(fields);
        SplitAt(fields, "=");
        lengthText = NextWord(fields);
      } else {
        // Only the PID: its word, without the blank before ">".
        out.pid = NextWord(fields);
      }
      out.length = DigitsOrZero(lengthText);
    } else if (type == "I") {
      SplitAt(rest, "R");
      out.nr = DigitsOrZero(NextWord(rest));
      SplitAt(rest, "S");
      out.ns = DigitsOrZero(NextWord(rest));
      SplitAt(rest, "=");
      out.pid = NextWord(rest);
      SplitAt(rest, "=");
      out.length = DigitsOrZero(NextWord(rest));
    }

    if (!rest.empty()) {
      std::size_t cr = rest.find('\r');
      out.info = cr == std::string::npos ? std::string() : rest.substr(cr + 1);
    }
    if (out.info.size() > kMaxInfo) out.info.resize(kMaxInfo);
    if (type != "UI" && type != "I") out.info.clear();

    ShapeInformation(out.pid, out.info);
    if (!out.info.empty() && out.info.back() == '\0') out.info.pop_back();
    if ((type == "I" || type == "UI") && out.info.empty()) {
      out.info.assign(1, '\r');  // not = "\r": GCC 12 warns falsely on that at -O3
      out.length = 1;
    }
    return true;
  } catch (const std::exception&) {
    log.LogLine(1, " Exception on module GetHeader");
    out.info.assign(1, '\r');
    out.length = 1;
    return false;
  }
}

}  // namespace tw
