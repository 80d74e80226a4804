#include "tools/loopback_engine/options.h"

#include "platform/cli/long_options.h"
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
  static const std::vector<LongOption> kOptions = {
      {"help", false, 'h'}, {"verbose", false, 'v'}, {"port", true},  {"ports", true},
      {"retry-delay", true}, {"baud", true},          {"trace", true},
  };
  const ReadOptions read = ReadLongOptions(args, kOptions, WordOrder::Anywhere);
  if (!read.error.empty()) return {std::nullopt, read.error};
  ServerOptions options;
  bool portSeen = false;
  for (const GivenOption& given : read.options) {
    const std::string_view name = given.name;
    const std::string& text = given.value;
    if (name == "help") {
      options.help = true;
    } else if (name == "verbose") {
      options.traceLevel = 5;
    } else if (name == "port") {
      auto value = Number(text, 0, 65535);
      if (!value) return {std::nullopt, Cat("--port wants 0 to 65535, not ", text)};
      options.port = static_cast<std::uint16_t>(*value);
      portSeen = true;
    } else if (name == "ports") {
      auto value = Number(text, 1, kMaxPorts);
      if (!value) return {std::nullopt, Cat("--ports wants 1 to ", kMaxPorts, ", not ", text)};
      options.engine.ports = static_cast<int>(*value);
    } else if (name == "retry-delay") {
      auto value = Number(text, 0, kMaxRetryDelayMs);
      if (!value) return {std::nullopt, Cat("--retry-delay wants 0 to ", kMaxRetryDelayMs, " ms, not ", text)};
      options.engine.retryDelay = Millis(static_cast<Millis::rep>(*value));
    } else if (name == "baud") {
      auto value = Number(text, 0, kMaxBaud);
      if (!value) return {std::nullopt, Cat("--baud wants 0 to ", kMaxBaud, ", not ", text)};
      options.engine.baud = static_cast<std::uint32_t>(*value);
    } else if (name == "trace") {
      auto value = Number(text, 1, 5);
      if (!value) return {std::nullopt, Cat("--trace wants 1 to 5, not ", text)};
      options.traceLevel = static_cast<int>(*value);
    }
  }
  // The one word besides the options is the port, unless --port named it.
  for (const std::string& word : read.words) {
    if (portSeen || !IsDigits(word)) return {std::nullopt, Cat("unknown argument ", word)};
    auto value = Number(word, 0, 65535);
    if (!value) return {std::nullopt, Cat("port wants 0 to 65535, not ", word)};
    options.port = static_cast<std::uint16_t>(*value);
    portSeen = true;
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
