// The program's command line, `mycall[,defport[,acceptany[,engineport[,listenport]]]]`.
#pragma once

#include <string>
#include <string_view>

namespace tw {

struct CommandLine {
  std::string mycall;     // upper case, SSID 0 as the bare call; empty: nothing is registered
  int defport = 1;        // radio port for connects that name none; 1 to 16
  bool acceptany = true;  // incoming links from every radio port, or only defport
  int engineport = 8000;  // TCP port of the packet engine
  int listenport = 8200;  // TCP port the mail client connects to
  // A sixth field was given and ignored: "ERROR too many command line arguments".
  bool tooManyFields = false;
  // Why the bridge must not start (a port out of range, an accept field that
  // is no truth value); empty when it may.
  std::string error;
};

inline constexpr std::string_view kFieldsHint =
    "the fields are separated by commas: mycall,defport,acceptany,engineport,listenport";

// Fields are separated by commas and trimmed of blanks; missing fields keep
// their defaults, an empty field counts as given. Port fields take the
// decimal number they begin with, rounded (none gives 0, which is out of
// range); the accept field is true or false in any case, or a number (0
// false). A field beyond the fifth is ignored. A call-sign that is not an
// AX.25 address is an error: the engine would take it and every link would
// then fail, blamed on the far station.
CommandLine cmdargs(std::string_view text);

}  // namespace tw
