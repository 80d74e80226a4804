// tidewire: the host-mode bridge, headless.
#include <cstdio>
#include <string>
#include <vector>

#include "bridge/app/app.h"
#include "bridge/app/program_options.h"
#include "bridge/app/signal_watcher.h"
#include "bridge/ui/console_view.h"

#ifndef TIDEWIRE_VERSION
#define TIDEWIRE_VERSION "unknown"
#endif

int main(int argc, char** argv) {
  // Before anything starts a thread.
  tw::SignalWatcher::TakeOverSignals();

  const char* program = argc > 0 ? argv[0] : "tidewire";
  const tw::ParsedProgramOptions parsed = tw::ParseProgramOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.options) {
    std::fprintf(stderr, "%s: %s\n%s", program, parsed.error.c_str(), tw::UsageText(program).c_str());
    return 1;
  }
  if (parsed.options->help) {
    std::fputs(tw::UsageText(program).c_str(), stdout);
    return 0;
  }
  if (parsed.options->version) {
    std::printf("tidewire %s\n", TIDEWIRE_VERSION);
    return 0;
  }

  tw::ConsoleView view(stdout);
  tw::App app(view);
  std::string error;
  {
    tw::SignalWatcher signals([&app](int) { app.RequestShutdown(); });
    error = app.Run(parsed.options->start);
  }
  if (!error.empty()) {
    std::fprintf(stderr, "%s: ERROR %s\n", program, error.c_str());
    return 1;
  }
  return 0;
}
