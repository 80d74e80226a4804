#include "bridge/terminal_reader.h"

#include <array>
#include <utility>

#include "bridge/command_words.h"
#include "platform/text/text.h"

namespace tw {

namespace {

using Kind = TerminalRequest::Kind;

struct FixedLine {
  std::string_view chunk;
  Kind kind;
};

// The dialogue's fixed lines, matched against a whole chunk, byte for byte.
constexpr std::array<FixedLine, 9> kFixedLines{{
    {"\r", Kind::Prompt},
    {"\x03 X", Kind::Prompt},
    {"\xC0" "C20S\xC0", Kind::Prompt},
    {"*", Kind::Star},
    {"F00BAR\r\r", Kind::CallAnswer},
    {"\rINTFACE HOST\r", Kind::IntfaceHost},
    {"RESET\r", Kind::Reset},
    {"\xC0q\xC0", Kind::Quit},
    {"\xC0Q\xC0", Kind::Quit},
}};

constexpr std::string_view kLineBlanks = " \t\n";

std::string_view TrimLine(std::string_view line) {
  const auto begin = line.find_first_not_of(kLineBlanks);
  if (begin == std::string_view::npos) return {};
  return line.substr(begin, line.find_last_not_of(kLineBlanks) - begin + 1);
}

bool IsIntfaceHost(std::string_view line) {
  const Words words = FirstWord(TrimLine(line));
  return words.first == "INTFACE" && UpperText(TrimLine(words.rest)) == "HOST";
}

TerminalRequest LineRequest(std::string_view line) {
  const std::string_view trimmed = TrimLine(line);
  if (trimmed.empty()) return {Kind::Prompt, {}};
  if (IsIntfaceHost(trimmed)) return {Kind::IntfaceHost, {}};
  const Words words = FirstWord(trimmed);
  if (words.first == "RESET" && words.rest.empty()) return {Kind::Reset, {}};
  if (words.first == "MYCALL" || words.first == "MY") return {Kind::MyCall, words.rest};
  return {Kind::Unknown, std::string(line)};
}

// Whether more bytes could still make `text` one of the fixed lines. Only a
// CR at the very start may be part of it: a complete line is read as a line.
bool BeginsFixedLine(std::string_view text) {
  if (text.find('\r', 1) != std::string_view::npos) return false;
  for (const FixedLine& fixed : kFixedLines) {
    if (text.size() < fixed.chunk.size() && fixed.chunk.starts_with(text)) return true;
  }
  return false;
}

// Whether an unfinished line could still become one of the known lines.
bool BeginsKnownLine(std::string_view tail) {
  const std::string upper = UpperText(TrimLine(tail));
  for (std::string_view known : {"INTFACE HOST", "RESET", "MY"}) {
    if (known.starts_with(upper)) return true;
  }
  return upper.starts_with("MY");
}

}  // namespace

TerminalInput TerminalReader::Read(std::string_view chunk) {
  std::string text = std::exchange(held_, {});
  text.append(chunk);
  TerminalInput input;

  for (const FixedLine& fixed : kFixedLines) {
    if (text == fixed.chunk) {
      input.requests.push_back({fixed.kind, {}});
      return input;
    }
  }
  if (BeginsFixedLine(text)) {
    held_ = std::move(text);
    return input;
  }

  std::size_t at = 0;
  for (std::size_t cr = text.find('\r'); cr != std::string::npos; cr = text.find('\r', at)) {
    const std::string_view line = std::string_view(text).substr(at, cr - at);
    at = cr + 1;
    TerminalRequest request = LineRequest(line);
    if (request.kind == Kind::Prompt) {
      // A CR that leads an "INTFACE HOST" line belongs to it.
      const std::size_t next = text.find('\r', at);
      if (next != std::string::npos && IsIntfaceHost(std::string_view(text).substr(at, next - at))) continue;
    }
    input.requests.push_back(std::move(request));
    if (input.requests.back().kind == Kind::Reset) {
      input.hostBytes = text.substr(at);
      return input;
    }
  }

  const std::string_view tail = std::string_view(text).substr(at);
  if (TrimLine(tail).empty()) return input;
  if (tail.size() < kMaxHeld && BeginsKnownLine(tail)) {
    held_ = std::string(tail);
  } else {
    input.requests.push_back({Kind::Unknown, std::string(tail)});
  }
  return input;
}

}  // namespace tw
