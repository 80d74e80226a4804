#include "tools/hostmode_client/client_command.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/text/text.h"

namespace tw::hostmode {

namespace {

using Kind = ClientAction::Kind;

ClientAction Action(Kind kind, Bytes bytes = {}) {
  ClientAction action;
  action.kind = kind;
  action.bytes = std::move(bytes);
  return action;
}

ClientAction Refused(std::string why) {
  ClientAction action;
  action.kind = Kind::Error;
  action.error = std::move(why);
  return action;
}

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == '\t') {
      ++i;
      continue;
    }
    std::size_t end = text.find_first_of(" \t", i);
    if (end == std::string_view::npos) end = text.size();
    words.push_back(text.substr(i, end - i));
    i = end;
  }
  return words;
}

// The text after the command word and one blank, kept byte for byte.
std::string_view Rest(std::string_view line, std::string_view word) {
  std::string_view rest = line.substr(word.size());
  if (!rest.empty()) rest.remove_prefix(1);
  return rest;
}

Bytes Command(char stream, std::string_view text) { return EncodeBlock('C', kStreamPort, stream, text); }

// "connect CALL [via A,B | via A B] [port N]" becomes "C CALL V A,B #N".
ClientAction Connect(const std::vector<std::string_view>& words, char stream) {
  if (words.size() < 2 || words[1] == "via" || words[1] == "port") {
    return Refused("connect needs a call-sign: connect CALL [via A,B] [port N]");
  }
  std::string text = Cat("C ", words[1]);
  std::string path;
  std::size_t i = 2;
  if (i < words.size() && words[i] == "via") {
    for (++i; i < words.size() && words[i] != "port"; ++i) {
      std::string calls = ReplaceChar(words[i], ',', " ");
      for (std::string_view call : Words(calls)) {
        if (!path.empty()) path.push_back(',');
        path.append(call);
      }
    }
    if (path.empty()) return Refused("via needs at least one digipeater: via A,B");
    text.append(Cat(" V ", path));
  }
  if (i < words.size() && words[i] == "port") {
    if (i + 1 >= words.size() || !IsDigits(words[i + 1]) || words[i + 1].size() > 3) {
      return Refused("port needs a radio port number: port 2");
    }
    text.append(Cat(" #", words[i + 1]));
    i += 2;
  }
  if (i != words.size()) return Refused(Cat("unexpected '", words[i], "' in connect"));
  if (!FitsUnescaped(text)) return Refused("a command cannot hold the byte 0xC0");
  return Action(Kind::Send, Command(stream, text));
}

// "2", "0.5", "1.25": at most three decimals, above 0 and up to an hour.
std::optional<std::chrono::milliseconds> Seconds(std::string_view text) {
  std::size_t dot = text.find('.');
  std::string_view whole = text.substr(0, dot);
  std::string_view fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  if (whole.empty() && fraction.empty()) return std::nullopt;
  if ((!whole.empty() && !IsDigits(whole)) || whole.size() > 4) return std::nullopt;
  if (dot != std::string_view::npos && (!IsDigits(fraction) || fraction.size() > 3)) return std::nullopt;
  std::uint64_t ms = whole.empty() ? 0 : DigitsValue(whole) * 1000;
  if (!fraction.empty()) ms += DigitsValue(PadRight(fraction, 3, '0'));
  std::chrono::milliseconds delay(static_cast<std::int64_t>(ms));
  if (delay.count() == 0 || delay > kMaxWait) return std::nullopt;
  return delay;
}

}  // namespace

ClientAction ParseCommand(std::string_view line, char stream) {
  std::vector<std::string_view> words = Words(line);
  if (words.empty()) return Action(Kind::Nothing);
  std::string_view word = words[0];
  // A command word must start the line; indented text is data.
  bool command = line.substr(0, word.size()) == word;

  if (command && word == "connect") return Connect(words, stream);
  if (command && (word == "disconnect" || word == "status" || word == "quit" || word == "poll" ||
                  word == "help")) {
    if (words.size() != 1) return Refused(Cat(word, " takes no arguments"));
    if (word == "disconnect") return Action(Kind::Send, Command(stream, "D"));
    if (word == "status") return Action(Kind::Send, EncodeBlock('C', kStreamPort, kNoStream, "S"));
    if (word == "poll") return Action(Kind::Send, EncodeGlobal('?'));
    if (word == "help") return Action(Kind::Help);
    return Action(Kind::Quit, EncodeGlobal('q'));
  }
  if (command && word == "mycall") {
    if (words.size() > 2) return Refused("mycall takes one call-sign");
    std::string text = words.size() == 2 ? Cat("MYCALL ", words[1]) : std::string("MYCALL");
    if (!FitsUnescaped(text)) return Refused("a command cannot hold the byte 0xC0");
    return Action(Kind::Send, EncodeBlock('C', kStreamPort, kNoStream, text));
  }
  if (command && word == "command") {
    std::string_view text = Rest(line, word);
    if (text.empty()) return Refused("command needs a text: command CHECK 30");
    if (!FitsUnescaped(text)) return Refused("a command cannot hold the byte 0xC0");
    return Action(Kind::Send, Command(stream, text));
  }
  if (command && word == "stream") {
    if (words.size() != 2 || words[1].size() != 1) return Refused("stream needs one letter from A to J");
    char letter = UpperText(words[1])[0];
    if (letter < 'A' || letter > 'J') return Refused("stream needs one letter from A to J");
    ClientAction action = Action(Kind::SwitchStream);
    action.stream = letter;
    return action;
  }
  if (command && word == "send") return Action(Kind::Data, Cat(Rest(line, word), '\r'));
  if (command && word == "sendfile") {
    std::string_view path = Rest(line, word);
    if (path.empty()) return Refused("sendfile needs a file name");
    ClientAction action = Action(Kind::SendFile);
    action.path = std::string(path);
    return action;
  }
  if (command && word == "sendbytes") {
    if (words.size() != 2 || !IsDigits(words[1]) || words[1].size() > 9 || DigitsValue(words[1]) == 0 ||
        DigitsValue(words[1]) > kMaxPatternBytes) {
      return Refused(Cat("sendbytes needs a count from 1 to ", kMaxPatternBytes));
    }
    ClientAction action = Action(Kind::SendPattern);
    action.count = static_cast<std::size_t>(DigitsValue(words[1]));
    return action;
  }
  if (command && word == "wait") {
    auto delay = words.size() >= 2 ? Seconds(words[1]) : std::nullopt;
    if (!delay) return Refused("wait needs seconds above 0 and up to 3600: wait 2, wait 0.5");
    ClientAction action = Action(Kind::Wait);
    action.delay = *delay;
    if (words.size() > 2) {
      // "wait 10 for *** CONNECTED": the text after "for " as typed.
      std::string_view rest = Rest(line, word);
      std::size_t at = rest.find(" for ");
      if (words[2] != "for" || at == std::string_view::npos || at + 5 == rest.size()) {
        return Refused("wait SECONDS [for TEXT]");
      }
      action.until = std::string(rest.substr(at + 5));
    }
    return action;
  }
  return Action(Kind::Data, Cat(line, '\r'));
}

Bytes DataBlocks(char stream, std::string_view data, std::size_t perBlock) {
  Bytes out;
  if (perBlock == 0) perBlock = 1;
  for (std::size_t at = 0; at < data.size(); at += perBlock) {
    out.append(EncodeBlock('D', kStreamPort, stream, data.substr(at, perBlock)));
  }
  return out;
}

Bytes PatternBytes(std::size_t count) {
  Bytes out(count, '\0');
  for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<char>(i & 0xFF);
  return out;
}

std::string CommandHelp() {
  return "Commands (lower case, at the start of the line):\n"
         "  connect CALL [via A,B] [port N]   connect the current stream\n"
         "  disconnect                        disconnect the current stream\n"
         "  stream B                          make B the current stream (A to J)\n"
         "  send TEXT                         TEXT and a CR as data on the current stream\n"
         "  sendfile PATH                     the file's bytes as data\n"
         "  sendbytes N                       N bytes 0, 1, ..., 255, 0, ... as data\n"
         "  status                            ask for the status of every stream\n"
         "  mycall [CALL]                     set (or ask for) the call-sign\n"
         "  command TEXT                      any command block on the current stream\n"
         "  poll                              the global FEND ? FEND\n"
         "  wait SECONDS [for TEXT]           print what arrives for a while (0.5 works), or\n"
         "                                    until a printed line holds TEXT\n"
         "  quit                              leave host mode (FEND q FEND) and close\n"
         "Any other line is sent as data with a CR after it.\n";
}

}  // namespace tw::hostmode
