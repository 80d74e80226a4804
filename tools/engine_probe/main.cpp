// engine-probe: is the packet engine reachable, and which radio ports has it?
#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>

#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

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
    "  --help             this text\n"
    "Exit status: 0 done, 1 bad usage, 2 engine unreachable, 3 engine silent, 4 connection lost.\n";

bool ParseNumber(std::string_view text, unsigned long low, unsigned long high, unsigned long& out) {
  if (!tw::IsDigits(text) || text.size() > 9) return false;
  out = static_cast<unsigned long>(tw::DigitsValue(text));
  return out >= low && out <= high;
}

int UsageError(const std::string& message) {
  std::cerr << "engine-probe: " << message << "\n" << kUsage;
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  tw::ProbeOptions options;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    auto value = [&](std::string_view name) -> const char* {
      if (i + 1 >= argc) return nullptr;
      (void)name;
      return argv[++i];
    };
    unsigned long number = 0;
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--host") {
      const char* v = value(arg);
      if (v == nullptr || *v == '\0') return UsageError("--host needs an address");
      options.host = v;
    } else if (arg == "--port") {
      const char* v = value(arg);
      if (v == nullptr || !ParseNumber(v, 1, 65535, number)) {
        return UsageError("--port needs a number from 1 to 65535");
      }
      options.port = static_cast<int>(number);
    } else if (arg == "--register") {
      const char* v = value(arg);
      if (v == nullptr || *v == '\0') return UsageError("--register needs a call-sign");
      options.registerCall = tw::UpperText(v);
    } else if (arg == "--monitor") {
      options.monitor = true;
    } else if (arg == "--raw") {
      options.raw = true;
    } else if (arg == "--timeout") {
      const char* v = value(arg);
      if (v == nullptr || !ParseNumber(v, 1, 3600, number)) {
        return UsageError("--timeout needs a number of seconds from 1 to 3600");
      }
      options.answerTimeoutMs = static_cast<unsigned>(number * 1000);
    } else {
      return UsageError("unknown argument '" + std::string(arg) + "'");
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
