// loopback-engine: the frame protocol of a packet engine on 127.0.0.1, with
// no radio behind it.
#include <asio.hpp>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "tools/loopback_engine/engine_core.h"
#include "platform/cli/long_options.h"
#include "tools/loopback_engine/options.h"
#include "tools/loopback_engine/server.h"

int main(int argc, char** argv) {
  using namespace tw::loopback;
  std::vector<std::string> args(argv + 1, argv + argc);
  const char* program = argc > 0 ? argv[0] : "loopback-engine";
  ParsedOptions parsed = ParseOptions(args);
  if (!parsed.options) {
    std::fprintf(stderr, "%s\n", tw::UsageLine(program, parsed.error).c_str());
    return tw::kUsageExitStatus;
  }
  const ServerOptions& options = *parsed.options;
  if (options.help) {
    std::fputs(UsageText(program).c_str(), stdout);
    return 0;
  }

  LoopbackEngine engine(options.engine);
  if (options.traceLevel > 0) {
    engine.Log().SetOn(true);
    engine.Log().SetLevel(options.traceLevel);
    engine.Log().SetSink([](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
  }
  try {
    asio::io_context io;
    EngineServer server(io, engine, options.port);
    asio::signal_set signals(io, SIGINT, SIGTERM);
    signals.async_wait([&](std::error_code, int) { server.Stop(); });
    // Scripts that asked for port 0 read the port from this line.
    std::printf("loopback-engine listening on 127.0.0.1:%u\n", static_cast<unsigned>(server.Port()));
    std::fflush(stdout);
    io.run();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s: %s\n", program, error.what());
    return 1;
  }
  return 0;
}
