#include "tools/loopback_engine/options.h"

#include "platform/text/text.h"

namespace tw::loopback {

namespace {

constexpr std::uint64_t kMaxRetryDelayMs = 3'600'000;
constexpr std::uint64_t kMaxBaud = 10'000'000;

// A decimal number from `min` to `max`, else nothing.
std::optional<std::uint64_t> Number(std::string_view text, std::uint64_t min, std::uint64_t max) {
  if (!IsDigits(text)) return std::nullopt;
  std::uint64_t value = DigitsValue(text);
  if (value < min || value > max) return std::nullopt;
  return value;
}

}  // namespace

ParsedOptions ParseOptions(const std::vector<std::string>& args) {
  ServerOptions options;
  bool portSeen = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      continue;
    }
    if (arg == "--verbose" || arg == "-v") {
      options.traceLevel = 5;
      continue;
    }
    bool takesValue = arg == "--port" || arg == "--ports" || arg == "--retry-delay" || arg == "--trace" ||
                     arg == "--baud";
    if (takesValue && i + 1 == args.size()) return {std::nullopt, Cat(arg, " needs a value")};
    if (arg == "--port") {
      auto value = Number(args[++i], 0, 65535);
      if (!value) return {std::nullopt, Cat("--port wants 0 to 65535, not ", args[i])};
      options.port = static_cast<std::uint16_t>(*value);
      portSeen = true;
    } else if (arg == "--ports") {
      auto value = Number(args[++i], 1, kMaxPorts);
      if (!value) return {std::nullopt, Cat("--ports wants 1 to ", kMaxPorts, ", not ", args[i])};
      options.engine.ports = static_cast<int>(*value);
    } else if (arg == "--retry-delay") {
      auto value = Number(args[++i], 0, kMaxRetryDelayMs);
      if (!value) return {std::nullopt, Cat("--retry-delay wants 0 to ", kMaxRetryDelayMs, " ms, not ", args[i])};
      options.engine.retryDelay = Millis(static_cast<Millis::rep>(*value));
    } else if (arg == "--baud") {
      auto value = Number(args[++i], 0, kMaxBaud);
      if (!value) return {std::nullopt, Cat("--baud wants 0 to ", kMaxBaud, ", not ", args[i])};
      options.engine.baud = static_cast<std::uint32_t>(*value);
    } else if (arg == "--trace") {
      auto value = Number(args[++i], 1, 5);
      if (!value) return {std::nullopt, Cat("--trace wants 1 to 5, not ", args[i])};
      options.traceLevel = static_cast<int>(*value);
    } else if (!portSeen && IsDigits(arg)) {
      auto value = Number(arg, 0, 65535);
      if (!value) return {std::nullopt, Cat("port wants 0 to 65535, not ", arg)};
      options.port = static_cast<std::uint16_t>(*value);
      portSeen = true;
    } else {
      return {std::nullopt, Cat("unknown argument ", arg)};
    }
  }
  return {options, {}};
}

std::string UsageText(std::string_view program) {
  return Cat("Usage: ", program, " [options] [port]\n",
             "A packet engine on 127.0.0.1 for trying clients without a radio: registered\n",
             "call-signs of its clients can connect to each other, the station ECHO returns\n",
             "what it is sent, unproto frames reach monitoring and raw clients.\n",
             "\n",
             "  --port N          TCP port to listen on (default 8000; 0 picks a free one)\n",
             "  --ports N         radio ports, 1 to 16 (default 2; the last is the loop-back port)\n",
             "  --retry-delay MS  delay before a connect nobody answers is given up (default 3000)\n",
             "  --baud N          pace of connected data: N/8 bytes a second per port, as on the\n",
             "                    air (default 0: at once)\n",
             "  --trace LEVEL     trace to standard error, 1 (events) to 5 (every frame)\n",
             "  --verbose, -v     the same as --trace 5\n",
             "  --help, -h        this text\n");
}

}  // namespace tw::loopback
