// engine-probe: is the packet engine reachable, and which radio ports has it?
#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>

#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cli/long_options.h"
#include "platform/text/text.h"
#include "platform/loop/asio_event_loop.h"
#include "tools/engine_probe/probe.h"

namespace {

constexpr const char* kUsage =
    "usage: engine-probe [options]\n"
    "Connects to a packet engine's AGW port and prints its version, radio ports with\n"
    "their capabilities and outstanding frames, and heard lists.\n"
    "  --host ADDRESS     engine address (default 127.0.0.1)\n"
    "  --port N           engine TCP port (default 8000)\n"
    "  --register CALL    register CALL with the engine and report the answer\n"
    "  --monitor          then print monitored frames until Ctrl-C\n"
    "  --raw              then print raw frames, decoded, until Ctrl-C\n"
    "  --timeout SECONDS  how long to wait for the engine's first answers (default 5)\n"
    "  --help, -h         this text\n"
    "Exit status: 0 done, 2 engine unreachable (or bad usage, said on standard error),\n"
    "3 engine silent, 4 connection lost.\n";

bool ParseNumber(std::string_view text, unsigned long low, unsigned long high, unsigned long& out) {
  if (!tw::IsDigits(text) || text.size() > 9) return false;
  out = static_cast<unsigned long>(tw::DigitsValue(text));
  return out >= low && out <= high;
}

int UsageError(const std::string& message) {
  std::cerr << tw::UsageLine("engine-probe", message) << "\n";
  return tw::kUsageExitStatus;
}

}  // namespace

int main(int argc, char** argv) {
  tw::ProbeOptions options;
  static const std::vector<tw::LongOption> kOptions = {
      {"help", false, 'h'}, {"host", true}, {"port", true},    {"register", true},
      {"monitor", false},   {"raw", false}, {"timeout", true},
  };
  const tw::ReadOptions read =
      tw::ReadLongOptions(std::vector<std::string>(argv + 1, argv + argc), kOptions, tw::WordOrder::Anywhere);
  if (!read.error.empty()) return UsageError(read.error);
  if (!read.words.empty()) return UsageError("unknown argument '" + read.words.front() + "'");
  for (const tw::GivenOption& given : read.options) {
    const std::string_view name = given.name;
    const std::string& v = given.value;
    unsigned long number = 0;
    if (name == "help") {
      std::cout << kUsage;
      return 0;
    } else if (name == "host") {
      if (v.empty()) return UsageError("--host needs an address");
      options.host = v;
    } else if (name == "port") {
      if (!ParseNumber(v, 1, 65535, number)) return UsageError("--port needs a number from 1 to 65535");
      options.port = static_cast<int>(number);
    } else if (name == "register") {
      if (v.empty()) return UsageError("--register needs a call-sign");
      options.registerCall = tw::UpperText(v);
    } else if (name == "monitor") {
      options.monitor = true;
    } else if (name == "raw") {
      options.raw = true;
    } else if (name == "timeout") {
      if (!ParseNumber(v, 1, 3600, number)) return UsageError("--timeout needs a number of seconds from 1 to 3600");
      options.answerTimeoutMs = static_cast<unsigned>(number * 1000);
    }
  }

  tw::AsioEventLoop loop;
  int status = 0;
  {
    tw::EngineProbe probe(loop, options, std::cout);
    probe.OnFinished = [&](tw::EngineProbe::Outcome outcome) {
      switch (outcome) {
        case tw::EngineProbe::Outcome::Done: status = 0; break;
        case tw::EngineProbe::Outcome::Unreachable: status = 2; break;
        case tw::EngineProbe::Outcome::Silent: status = 3; break;
        default: status = 4; break;
      }
      loop.Stop();
    };
    asio::signal_set signals(loop.Context(), SIGINT, SIGTERM);
    signals.async_wait([&](const std::error_code& error, int) {
      if (!error) loop.Stop();
    });
    probe.Start();
    loop.Run();
    signals.cancel();
  }
  return status;
}
