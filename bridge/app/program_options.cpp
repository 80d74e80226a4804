#include "bridge/app/program_options.h"

#include "bridge/log_text.h"
#include "control/link/text.h"

namespace tw {

namespace {

std::optional<int> StopTimeout(std::string_view text) {
  if (text.empty() || text.size() > 4) return std::nullopt;
  int seconds = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    seconds = seconds * 10 + (c - '0');
  }
  if (seconds > kMaxStopTimeoutSeconds) return std::nullopt;
  return seconds;
}

}  // namespace

ParsedProgramOptions ParseProgramOptions(const std::vector<std::string>& args) {
  ProgramOptions options;
  std::size_t i = 0;
  // "--name value" and "--name=value" alike.
  auto value = [&](std::string_view arg, std::string_view name, std::string* out, std::string* error) {
    if (arg == name) {
      if (i + 1 >= args.size()) {
        *error = Cat(name, " needs a value");
        return true;
      }
      *out = args[++i];
      return true;
    }
    if (arg.size() > name.size() && arg.substr(0, name.size()) == name && arg[name.size()] == '=') {
      *out = std::string(arg.substr(name.size() + 1));
      return true;
    }
    return false;
  };

  for (; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    std::string error;
    if (arg == "--") {
      ++i;
      break;
    }
    if (arg.size() < 2 || arg[0] != '-') break;
    if (arg == "--console") {
      options.console = true;
    } else if (arg == "--host-mode") {
      options.start.hostMode = true;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (value(arg, "--engine-host", &options.start.engineHost, &error) ||
               value(arg, "--listen-address", &options.start.listenAddress, &error)) {
      if (!error.empty()) return {std::nullopt, error};
    } else if (std::string seconds; value(arg, "--stop-timeout", &seconds, &error)) {
      if (!error.empty()) return {std::nullopt, error};
      const std::optional<int> parsed = StopTimeout(seconds);
      if (!parsed) {
        return {std::nullopt,
                Cat("--stop-timeout wants 0 to ", kMaxStopTimeoutSeconds, " seconds, not ", LogBytes(seconds))};
      }
      options.stopTimeoutSeconds = *parsed;
    } else {
      return {std::nullopt, "unknown option " + LogBytes(arg)};
    }
  }
  for (; i < args.size(); ++i) {
    if (!options.start.commandLine.empty()) options.start.commandLine += ' ';
    options.start.commandLine += args[i];
  }
  return {options, {}};
}

std::string UsageText(std::string_view program) {
  return Cat("usage: ", program, " [options] [mycall[,defport[,acceptany[,engineport[,listenport]]]]]\n",
             R"(
Plays a KAM controller in host mode to one mail client and carries its ten
streams (A to J) over the packet engine's AX.25 connections.

  mycall        call-sign to register with the engine (none by default)
  defport       radio port for connects that name none, 1 to 16 (1)
  acceptany     take incoming connects from every radio port: true/false (true);
                false takes them only from defport
  engineport    TCP port of the packet engine (8000)
  listenport    TCP port the mail client connects to (8200)

options:
  --console               no window: log to standard output (the default without a display)
  --engine-host ADDRESS   the packet engine's host (127.0.0.1)
  --listen-address ADDR   listen for the client on this address only (all interfaces)
  --host-mode             start in host mode, for clients that never send RESET
  --stop-timeout S        at shutdown, wait at most S seconds for the links to send
                          what they hold (30)
  --help                  this text
  --version               the program's version

SIGINT, SIGTERM or SIGHUP ends it: the client is closed, the call-sign
unregistered and the links disconnected once they have sent what they hold
(within the stop timeout); a second signal cuts them at once.
)");
}

}  // namespace tw
