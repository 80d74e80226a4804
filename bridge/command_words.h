// The words of the client's commands, read as a KAM reads them: command
// words in any letter case and abbreviated, call-signs upper-cased.
#pragma once

#include <string>
#include <string_view>

namespace tw {

// The first word upper-cased, and what follows the blanks after it. Blanks
// here are blank, tab, CR and LF; leading ones are skipped.
struct Words {
  std::string first;
  std::string rest;
};
Words FirstWord(std::string_view text);

// `word` (upper case) is `command` or an abbreviation of it: "C", "CONN".
bool IsAbbreviation(std::string_view word, std::string_view command);

// A connect's text after its command word: destination, then "V" or "VIA"
// (any case) and the digipeaters separated by blanks or commas, then "#"
// and the radio port.
struct ConnectRequest {
  // Calls upper case, and an SSID of 0 written as the bare call.
  std::string destination;
  std::string via;  // separated by commas, no empty entries
  int port = 0;
  std::string refusal;  // why it cannot be asked for (a log line); empty when it can
};
ConnectRequest ParseConnect(std::string_view text, int defport);

// The call-sign of a MYCALL command's text: its first word upper-cased, and
// of the per-port form "N0CALL/N0CALL-1" the first call; SSID 0 is the bare
// call ("MY N0BBS-0" is N0BBS). Empty when none.
std::string MyCallArgument(std::string_view text);

// The controller settings that are acknowledged and otherwise ignored.
bool IsAcknowledgedSetting(std::string_view word);

}  // namespace tw
