#include "bridge/command_words.h"

#include <array>

#include "bridge/log_text.h"
#include "platform/text/text.h"

namespace tw {

namespace {

constexpr std::string_view kBlanks = " \t\r\n";
constexpr int kMaxRadioPort = 16;

// Splits at blanks (and at commas when asked), leaving out empty pieces.
template <class Each>
void ForEachPiece(std::string_view text, std::string_view separators, Each&& each) {
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find_first_of(separators, at), text.size());
    if (end > at) each(text.substr(at, end - at));
    at = end + 1;
  }
}

}  // namespace

Words FirstWord(std::string_view text) {
  const std::size_t begin = text.find_first_not_of(kBlanks);
  if (begin == std::string_view::npos) return {};
  const std::size_t end = std::min(text.find_first_of(kBlanks, begin), text.size());
  const std::size_t rest = std::min(text.find_first_not_of(kBlanks, end), text.size());
  return {UpperText(text.substr(begin, end - begin)), std::string(text.substr(rest))};
}

bool IsAbbreviation(std::string_view word, std::string_view command) {
  return !word.empty() && command.starts_with(word);
}

ConnectRequest ParseConnect(std::string_view text, int defport) {
  ConnectRequest request;
  request.port = defport;
  bool inPath = false;
  bool done = false;
  ForEachPiece(text, kBlanks, [&](std::string_view word) {
    if (done) return;
    const std::string upper = UpperText(word);
    if (word.front() == '#') {
      // The decimal number after "#"; what follows it is ignored.
      const std::string_view number = word.substr(1);
      const std::size_t digits = std::min(number.find_first_not_of("0123456789"), number.size());
      const auto port = DigitsValue(number.substr(0, digits));
      if (port < 1 || port > kMaxRadioPort) {
        request.refusal = "ERROR radio port out of range " + LogBytes(word);
      } else {
        request.port = static_cast<int>(port);
      }
      done = true;
    } else if (!inPath && (upper == "V" || upper == "VIA")) {
      inPath = true;
    } else if (!inPath) {
      request.destination += (request.destination.empty() ? "" : " ") + std::string(BareCall(upper));
    } else {
      ForEachPiece(upper, ",", [&](std::string_view call) {
        request.via += (request.via.empty() ? "" : ",") + std::string(BareCall(call));
      });
    }
  });
  if (request.refusal.empty() && request.destination.empty()) {
    request.refusal = "ERROR connect without a call-sign";
  }
  return request;
}

std::string MyCallArgument(std::string_view text) {
  const std::string word = FirstWord(text).first;
  return std::string(BareCall(std::string_view(word).substr(0, word.find('/'))));
}

bool IsAcknowledgedSetting(std::string_view word) {
  static constexpr std::array<std::string_view, 25> kSettings{
      "XFLOW", "ECHO",  "XMITECHO", "TXFLOW", "TRFLOW", "AUTOCR", "AUTOLF", "CRADD", "MAXUSERS",
      "CRSUP", "LFADD", "LFSUP",    "ARQID",  "ARQBBS", "PTHUFF", "USERS",  "FR",    "TX",
      "SL",    "PE",    "CH",       "HB",     "MAX",    "RET",    "M"};
  for (std::string_view setting : kSettings) {
    if (word == setting) return true;
  }
  return false;
}

}  // namespace tw
