// tidewire: the host-mode bridge, in a window when a display is there and
// --console is not given, headless otherwise.
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bridge/app/app.h"
#include "bridge/app/program_options.h"
#include "bridge/app/signal_watcher.h"
#include "bridge/ui/console_view.h"
#include "bridge/ui/window/window_front_end.h"

#ifndef TIDEWIRE_VERSION
#define TIDEWIRE_VERSION "unknown"
#endif
#ifndef TIDEWIRE_DATA_DIR
#define TIDEWIRE_DATA_DIR "/usr/local/share/tidewire"
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

  std::string error;
  if (!parsed.options->console && tw::window::DisplayAvailable()) {
    // The window keeps the main thread; the bridge runs on a second one.
    tw::window::WindowFrontEnd window({"", TIDEWIRE_DATA_DIR});
    tw::App app(window);
    app.SetStopTimeout(std::chrono::seconds(parsed.options->stopTimeoutSeconds));
    tw::SignalWatcher signals([&app](int) { app.RequestShutdown(); });
    std::thread loop([&] {
      error = app.Run(parsed.options->start);
      window.Finished();
    });
    window.Run([&app] { app.RequestShutdown(); });
    loop.join();
  } else {
    tw::ConsoleView view(stdout);
    tw::App app(view);
    app.SetStopTimeout(std::chrono::seconds(parsed.options->stopTimeoutSeconds));
    tw::SignalWatcher signals([&app](int) { app.RequestShutdown(); });
    error = app.Run(parsed.options->start);
  }
  if (!error.empty()) {
    std::fprintf(stderr, "%s: ERROR %s\n", program, error.c_str());
    return 1;
  }
  return 0;
}
