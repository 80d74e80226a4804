#include "bridge/command_line.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "bridge/link_log.h"
#include "bridge/log_text.h"
#include "platform/text/text.h"

namespace tw {

namespace {

constexpr std::int64_t kSaturate = 1'000'000'000;

std::string_view Trim(std::string_view text) {
  const auto begin = text.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return {};
  const auto end = text.find_last_not_of(" \t");
  return text.substr(begin, end - begin + 1);
}

struct Number {
  std::int64_t value = 0;
  std::size_t length = 0;  // bytes of the field it took; 0 when none
};

// The decimal number at the start of `text` (sign, digits, fraction),
// rounded half away from zero and kept within +-kSaturate.
Number LeadingNumber(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t whole = 0;
  std::size_t digits = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    if (whole < kSaturate) whole = whole * 10 + (text[i] - '0');
  }
  bool roundUp = false;
  if (i < text.size() && text[i] == '.') {
    std::size_t at = ++i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      if (i == at) roundUp = text[i] >= '5';
    }
    digits += i - at;
  }
  if (digits == 0) return {};
  if (roundUp) ++whole;
  if (whole > kSaturate) whole = kSaturate;
  return {negative ? -whole : whole, i};
}

std::optional<bool> TruthValue(std::string_view field) {
  const std::string upper = UpperText(field);
  if (upper == "TRUE") return true;
  if (upper == "FALSE") return false;
  const Number number = LeadingNumber(field);
  if (number.length == 0 || number.length != field.size()) return std::nullopt;
  return number.value != 0 || field.find_first_of("123456789") != std::string_view::npos;
}

std::string RangeError(const char* what, std::string_view field, int low, int high) {
  return Cat("the ", what, " must be a number from ", low, " to ", high, ", not \"",
             LogBytes(field), "\"");
}

// A shell splits "N0CALL 1 true" into words that arrive joined by blanks: the
// fields were meant, separated by commas.
std::string CallError(std::string_view text, bool oneField, std::string_view call) {
  // Only when what follows the first blank reads as the port field: "N0 CALL"
  // is a call mistyped, not fields.
  const std::size_t gap = call.find_first_of(" \t");
  const std::size_t next = call.find_first_not_of(" \t", gap);
  if (oneField && next != std::string_view::npos && call[next] >= '0' && call[next] <= '9') {
    const std::string_view words = Trim(text);
    std::string fields;
    for (std::size_t i = 0; i < words.size(); ++i) {
      const bool blank = words[i] == ' ' || words[i] == '\t';
      if (!blank) {
        fields += words[i];
      } else if (words[i - 1] != ' ' && words[i - 1] != '\t') {
        fields += ',';
      }
    }
    return Cat("the command line \"", LogBytes(words), "\" is several words: ", kFieldsHint, ", as in ",
               LogBytes(fields));
  }
  return Cat("the call-sign \"", LogBytes(call), "\" is not an AX.25 address: ", kAx25AddressRule);
}

}  // namespace

CommandLine cmdargs(std::string_view text) {
  CommandLine line;
  if (text.empty()) return line;

  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (fields.size() < 6) {
    const std::size_t comma = text.find(',', start);
    fields.push_back(Trim(text.substr(start, comma == std::string_view::npos ? comma : comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  if (fields.size() > 5) {
    line.tooManyFields = true;
    fields.resize(5);
  }

  // The call is checked as typed: taking a zero SSID off first would let
  // "N0BBS-0-0" pass as "N0BBS-0", a call that reads back as another.
  const std::string typed = UpperText(fields[0]);
  line.mycall = UpperText(BareCall(fields[0]));
  if (!typed.empty() && !IsAx25Address(typed)) {
    line.error = CallError(text, fields.size() == 1, typed);
    return line;
  }
  auto port = [&](std::size_t index, int& value, const char* what, int high) {
    if (index >= fields.size() || !line.error.empty()) return;
    const std::int64_t number = LeadingNumber(fields[index]).value;
    if (number < 1 || number > high) {
      line.error = RangeError(what, fields[index], 1, high);
    } else {
      value = static_cast<int>(number);
    }
  };
  port(1, line.defport, "default radio port", 16);
  if (fields.size() > 2 && line.error.empty()) {
    const auto truth = TruthValue(fields[2]);
    if (truth) {
      line.acceptany = *truth;
    } else {
      line.error = Cat("the accept field must be true, false or a number, not \"", LogBytes(fields[2]), "\"");
    }
  }
  port(3, line.engineport, "engine port", 65535);
  port(4, line.listenport, "listen port", 65535);
  return line;
}

}  // namespace tw
