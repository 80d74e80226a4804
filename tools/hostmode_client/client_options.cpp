#include "tools/hostmode_client/client_options.h"

#include "platform/cli/long_options.h"
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
  static const std::vector<LongOption> kOptions = {
      {"help", false, 'h'}, {"no-reset", false}, {"host", true},   {"port", true},
      {"line", true},       {"stream", true},    {"script", true}, {"timeout", true},
  };
  const ReadOptions read = ReadLongOptions(args, kOptions, WordOrder::Anywhere);
  if (!read.error.empty()) return {std::nullopt, read.error};
  if (!read.words.empty()) return {std::nullopt, Cat("unknown argument ", read.words.front())};
  ClientOptions options;
  for (const GivenOption& given : read.options) {
    const std::string_view name = given.name;
    const std::string& value = given.value;
    if (name == "help") {
      options.help = true;
    } else if (name == "no-reset") {
      options.reset = false;
    } else if (name == "host") {
      if (value.empty()) return {std::nullopt, "--host needs an address"};
      options.host = value;
    } else if (name == "port") {
      auto port = Number(value, 1, 65535);
      if (!port) return {std::nullopt, Cat("--port wants 1 to 65535, not ", value)};
      options.port = static_cast<std::uint16_t>(*port);
    } else if (name == "line") {
      if (value.empty()) return {std::nullopt, "--line needs a path"};
      options.line = value;
    } else if (name == "stream") {
      char letter = value.size() == 1 ? UpperText(value)[0] : '\0';
      if (letter < 'A' || letter > 'J') return {std::nullopt, Cat("--stream wants a letter from A to J, not ", value)};
      options.stream = letter;
    } else if (name == "script") {
      if (value.empty()) return {std::nullopt, "--script needs a file name"};
      options.script = value;
    } else if (name == "timeout") {
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
