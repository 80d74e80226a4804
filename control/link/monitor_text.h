// Parses the engine's one-line rendering of a monitored frame, e.g.
//   "1:Fm N0AAA To ID Via RELAY-1,RELAY-2 <UI pid=F0 Len=5 >[20:53:37]\rHELLO"
#pragma once

#include <string>
#include <string_view>

#include "control/link/trace_log.h"

namespace tw {

struct MonitorHeader {
  std::string port;  // the port number minus one, as text ("0" for port 1)
  std::string source;
  std::string destination;
  std::string via;  // blank-separated calls
  std::string type;
  std::string pid;  // two hex digits as the engine wrote them
  int nr = 0;
  int ns = 0;
  int length = 0;
  std::string info;  // at most 256 bytes
};

// Fills `out`; returns false (information CR, length 1) when the text could
// not be parsed.
bool GetHeader(TraceLog& log, std::string_view text, MonitorHeader& out);

}  // namespace tw
