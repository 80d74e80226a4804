#include "bridge/app/program_options.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "bridge/log_text.h"
#include "platform/cli/long_options.h"
#include "platform/text/text.h"

namespace tw {

namespace {

// DEVICE[:BAUD]. A last part of letters and digits after a colon is the
// rate; other colons belong to the device's name (as in the names under
// /dev/serial/by-path).
std::string ParseSerial(std::string_view text, ClientLine& line) {
  line.kind = ClientLine::Kind::Serial;
  line.path = std::string(text);
  const std::size_t colon = text.rfind(':');
  if (colon != std::string_view::npos) {
    const std::string_view rate = text.substr(colon + 1);
    const auto alphanumeric = [](char c) {
      return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    };
    if (std::all_of(rate.begin(), rate.end(), alphanumeric)) {
      line.path = std::string(text.substr(0, colon));
      unsigned baud = 0;
      const auto [end, failure] = std::from_chars(rate.data(), rate.data() + rate.size(), baud);
      if (failure != std::errc() || end != rate.data() + rate.size() || !IsSerialBaud(baud)) {
        std::string rates;
        for (const unsigned known : kSerialBauds) rates += Cat(rates.empty() ? "" : " ", known);
        return Cat("--serial: bad baud rate ", LogBytes(rate), " (one of ", rates, ")");
      }
      line.baud = baud;
    }
  }
  if (line.path.empty()) return "--serial needs a device";
  return {};
}

std::string FlowWords() {
  std::string words;
#define TW_FLOW_WORD(name, word, text) words += " " word;
  TW_SERIAL_FLOWS(TW_FLOW_WORD)
#undef TW_FLOW_WORD
  return words;
}

// The options that only make sense together, once all are read.
std::string CheckLine(const ProgramOptions& options, bool pty, bool serial, bool flow) {
  if (pty && serial) return "--pty and --serial exclude each other";
  if (flow && !serial) return "--serial-flow needs --serial";
  if ((pty || serial) && !options.start.listenAddress.empty()) {
    return "--listen-address has no use with --pty or --serial (no TCP listener is opened)";
  }
  return {};
}

bool PortNumber(std::string_view text, std::uint16_t* port) {
  if (text.empty() || text.size() > 5) return false;
  unsigned value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > 65535) return false;
  *port = static_cast<std::uint16_t>(value);
  return true;
}

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
  static const std::vector<LongOption> kOptions = {
      {"console", false},        {"host-mode", false},      {"help", false, 'h'},
      {"version", false},        {"verbose", false},        {"engine-host", true},
      {"listen-address", true},  {"status-address", true},  {"log", true},
      {"pty", true},             {"serial", true},          {"serial-flow", true},
      {"status-port", true},     {"stop-timeout", true},
  };
  const ReadOptions read = ReadLongOptions(args, kOptions, WordOrder::OptionsFirst);
  if (!read.error.empty()) return {std::nullopt, read.error};

  ProgramOptions options;
  bool pty = false;
  bool serial = false;
  bool flow = false;
  for (const GivenOption& given : read.options) {
    const std::string_view name = given.name;
    const std::string& text = given.value;
    if (name == "console") {
      options.console = true;
    } else if (name == "host-mode") {
      options.start.hostMode = true;
    } else if (name == "help") {
      options.help = true;
    } else if (name == "version") {
      options.version = true;
    } else if (name == "verbose") {
      options.verbose = true;
    } else if (name == "engine-host") {
      options.start.engineHost = text;
    } else if (name == "listen-address") {
      options.start.listenAddress = text;
    } else if (name == "status-address") {
      options.statusPage.address = text;
    } else if (name == "log") {
      if (text.empty()) return {std::nullopt, "--log needs a file"};
      options.logFile = text;
    } else if (name == "pty") {
      if (text.empty()) return {std::nullopt, "--pty needs a path"};
      pty = true;
      options.line.kind = ClientLine::Kind::Pty;
      options.line.path = text;
    } else if (name == "serial") {
      if (std::string error = ParseSerial(text, options.line); !error.empty()) return {std::nullopt, error};
      serial = true;
    } else if (name == "serial-flow") {
      const std::optional<SerialFlow> chosen = SerialFlowFromWord(text);
      if (!chosen) {
        return {std::nullopt, Cat("--serial-flow: unknown flow control ", LogBytes(text), " (one of", FlowWords(), ")")};
      }
      flow = true;
      options.line.flow = *chosen;
    } else if (name == "status-port") {
      if (!PortNumber(text, &options.statusPage.port)) {
        return {std::nullopt, "--status-port needs a port number, 0 to 65535 (0: no status page), not " + LogBytes(text)};
      }
    } else if (name == "stop-timeout") {
      const std::optional<int> parsed = StopTimeout(text);
      if (!parsed) {
        return {std::nullopt,
                Cat("--stop-timeout wants 0 to ", kMaxStopTimeoutSeconds, " seconds, not ", LogBytes(text))};
      }
      options.stopTimeoutSeconds = *parsed;
    }
  }
  if (std::string error = CheckLine(options, pty, serial, flow); !error.empty()) return {std::nullopt, error};
  for (const std::string& word : read.words) {
    if (!options.start.commandLine.empty()) options.start.commandLine += ' ';
    options.start.commandLine += word;
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
  --pty PATH              serve the client on a pseudo-terminal instead of TCP: PATH
                          becomes a link to its slave side, for a serial-port program
                          to open (the client arrives when it opens it, leaves when
                          it closes it)
  --serial DEVICE[:BAUD]  serve the client on a serial line instead of TCP, at BAUD
                          (9600), 8N1; the client arrives when the device is opened
  --serial-flow FLOW      the serial line's flow control: none, rtscts, xonxoff (none)
  --status-address ADDR   serve the status page on this address (127.0.0.1)
  --status-port PORT      serve the status page on this port, 0 for none (8201)
  --stop-timeout S        at shutdown, wait at most S seconds for the links to send
                          what they hold (30)
  --log FILE              append every log line to FILE as well, with the time
  --verbose               log also where the engine control was found
  --help                  this text
  --version               the program's version

SIGINT, SIGTERM or SIGHUP ends it: the client is closed, the call-sign
unregistered and the links disconnected once they have sent what they hold
(within the stop timeout); a second signal cuts them at once.
)");
}

}  // namespace tw
