// The program's own command line: options first, then the bridge's
// `mycall[,defport[,acceptany[,engineport[,listenport]]]]`.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/bridge_core.h"
#include "platform/loop/client_line.h"
#include "bridge/status/status_server.h"

namespace tw {

struct ProgramOptions {
  StartOptions start;
  ClientLine line;  // --pty or --serial: the client comes over it, not TCP
  StatusPageOptions statusPage;
  bool console = false;  // no window, even with a display
  // How long a shutdown waits for the links to send what they hold.
  int stopTimeoutSeconds = 30;
  bool help = false;
  bool version = false;
  bool verbose = false;  // also the lines only a problem hunt needs
  std::string logFile;   // every log line appended here too; empty: none
};

inline constexpr int kMaxStopTimeoutSeconds = 3600;

struct ParsedProgramOptions {
  std::optional<ProgramOptions> options;
  std::string error;  // why not, when `options` is empty
};

// `args` without the program's name. Options come before the bridge's
// command line; "--" ends them. Everything after them is that command line,
// its words joined by one blank, as a shell may have split
// "N0CALL, 2, false" into three.
ParsedProgramOptions ParseProgramOptions(const std::vector<std::string>& args);

std::string UsageText(std::string_view program);

}  // namespace tw
