// The command line of tw-hostmode-client.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::hostmode {

struct ClientOptions {
  std::string host = "127.0.0.1";
  std::uint16_t port = 8200;
  std::string line;        // a terminal line to open instead of TCP
  char stream = 'A';       // the current stream at start
  bool reset = true;       // play the terminal dialogue up to RESET
  std::string script;      // empty: commands come from standard input
  std::chrono::milliseconds timeout{5000};  // for the connection and each dialogue step
  bool help = false;
};

struct ParsedClientOptions {
  std::optional<ClientOptions> options;
  std::string error;  // why there are none
};

// `args` excludes the program name.
ParsedClientOptions ParseClientOptions(const std::vector<std::string>& args);

std::string ClientUsage(std::string_view program);

}  // namespace tw::hostmode
