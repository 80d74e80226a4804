// The loopback engine's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/loopback_engine/engine_core.h"

namespace tw::loopback {

struct ServerOptions {
  std::uint16_t port = 8000;  // 0: any free port, printed at start-up
  EngineConfig engine;
  int traceLevel = 0;  // 0: no trace; 1 to 5 to standard error
  bool help = false;
};

struct ParsedOptions {
  std::optional<ServerOptions> options;
  std::string error;  // why there are none
};

// `args` excludes the program name.
ParsedOptions ParseOptions(const std::vector<std::string>& args);

std::string UsageText(std::string_view program);

}  // namespace tw::loopback
