#include "bridge/app/program_options.h"

#include "bridge/log_text.h"
#include "control/link/text.h"

namespace tw {

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
    } else if (arg == "--verbose") {
      options.verbose = true;
    } else if (value(arg, "--engine-host", &options.start.engineHost, &error) ||
               value(arg, "--listen-address", &options.start.listenAddress, &error) ||
               value(arg, "--log", &options.logFile, &error)) {
      if (!error.empty()) return {std::nullopt, error};
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
  --log FILE              append every log line to FILE as well, with the time
  --verbose               log also where the engine control was found
  --help                  this text
  --version               the program's version

SIGINT or SIGTERM ends it: the client is closed, the call-sign unregistered
and the links disconnected.
)");
}

}  // namespace tw
