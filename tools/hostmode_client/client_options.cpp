#include "tools/hostmode_client/client_options.h"

#include "platform/text/text.h"
#include "tools/hostmode_client/client_command.h"

namespace tw::hostmode {

namespace {

std::optional<std::uint64_t> Number(std::string_view text, std::uint64_t min, std::uint64_t max) {
  if (!IsDigits(text) || text.size() > 9) return std::nullopt;
  std::uint64_t value = DigitsValue(text);
  if (value < min || value > max) return std::nullopt;
  return value;
}

}  // namespace

ParsedClientOptions ParseClientOptions(const std::vector<std::string>& args) {
  ClientOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      continue;
    }
    if (arg == "--no-reset") {
      options.reset = false;
      continue;
    }
    bool takesValue = arg == "--host" || arg == "--port" || arg == "--line" || arg == "--stream" ||
                      arg == "--script" || arg == "--timeout";
    if (!takesValue) return {std::nullopt, Cat("unknown argument ", arg)};
    if (i + 1 == args.size()) return {std::nullopt, Cat(arg, " needs a value")};
    const std::string& value = args[++i];
    if (arg == "--host") {
      if (value.empty()) return {std::nullopt, "--host needs an address"};
      options.host = value;
    } else if (arg == "--port") {
      auto port = Number(value, 1, 65535);
      if (!port) return {std::nullopt, Cat("--port wants 1 to 65535, not ", value)};
      options.port = static_cast<std::uint16_t>(*port);
    } else if (arg == "--line") {
      if (value.empty()) return {std::nullopt, "--line needs a path"};
      options.line = value;
    } else if (arg == "--stream") {
      char letter = value.size() == 1 ? UpperText(value)[0] : '\0';
      if (letter < 'A' || letter > 'J') return {std::nullopt, Cat("--stream wants a letter from A to J, not ", value)};
      options.stream = letter;
    } else if (arg == "--script") {
      if (value.empty()) return {std::nullopt, "--script needs a file name"};
      options.script = value;
    } else {
      auto seconds = Number(value, 1, 3600);
      if (!seconds) return {std::nullopt, Cat("--timeout wants 1 to 3600 seconds, not ", value)};
      options.timeout = std::chrono::seconds(*seconds);
    }
  }
  return {options, {}};
}

std::string ClientUsage(std::string_view program) {
  return Cat("Usage: ", program, " [options]\n",
             "Plays a mail client to the host-mode bridge: the terminal dialogue up to RESET,\n",
             "then the commands typed on standard input (or read from a script), printing\n",
             "every block the bridge sends.\n",
             "\n",
             "  --host H          the bridge's address (default 127.0.0.1)\n",
             "  --port N          its TCP port (default 8200)\n",
             "  --line PATH       open this terminal line instead of TCP (the bridge's --pty\n",
             "                    link, or a serial device)\n",
             "  --stream L        the current stream at start, A to J (default A)\n",
             "  --no-reset        skip the dialogue: the bridge is in host mode already\n",
             "  --script FILE     read the commands from FILE instead of standard input\n",
             "  --timeout S       seconds to wait for the connection and each answer of the\n",
             "                    dialogue (default 5)\n",
             "  --help, -h        this text\n",
             "\n", CommandHelp(),
             "\nExit status: 0 after quit, the end of the commands, or the bridge closing;\n",
             "1 when the bridge cannot be reached or does not enter host mode; 2 bad usage.\n");
}

}  // namespace tw::hostmode
