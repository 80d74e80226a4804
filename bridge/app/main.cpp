// tidewire: the host-mode bridge, in a window when a display is there and
// --console is not given, headless otherwise.
#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bridge/app/app.h"
#include "bridge/app/log_sink.h"
#include "bridge/app/program_options.h"
#include "bridge/app/signal_watcher.h"
#include "bridge/log_text.h"
#include "bridge/ui/console_view.h"
#include "bridge/ui/window/help_text.h"
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

  const tw::ProgramOptions& options = *parsed.options;
  // Every log line passes one sink, whichever front end shows it.
  auto openSink = [&](tw::LogSink& sink) {
    sink.SetVerbose(options.verbose);
    return options.logFile.empty() ? std::string() : sink.OpenFile(options.logFile);
  };
  std::string error;
  if (!options.console && tw::window::DisplayAvailable()) {
    // The window keeps the main thread; the bridge runs on a second one.
    std::vector<std::string> helpDirectories{""};
    if (std::string beside = tw::window::ProgramDirectory(); !beside.empty()) helpDirectories.push_back(beside);
    helpDirectories.push_back(TIDEWIRE_DATA_DIR);
    tw::window::WindowFrontEnd window(std::move(helpDirectories), TIDEWIRE_VERSION);
    tw::LogSink sink(window);
    if (error = openSink(sink); !error.empty()) {
      std::fprintf(stderr, "%s: ERROR %s\n", program, error.c_str());
      return 1;
    }
    tw::App app(sink);
    tw::SignalWatcher signals([&app](int) { app.RequestShutdown(); });
    std::thread loop([&] {
      error = app.Run(options.start);
      window.Finished();
    });
    window.Run([&app] { app.RequestShutdown(); });
    loop.join();
  } else {
    tw::ConsoleView view(stdout, !tw::JournalStamps());
    tw::LogSink sink(view);
    if (error = openSink(sink); !error.empty()) {
      std::fprintf(stderr, "%s: ERROR %s\n", program, error.c_str());
      return 1;
    }
    tw::App app(sink);
    tw::SignalWatcher signals([&app](int) { app.RequestShutdown(); });
    error = app.Run(options.start);
  }
  if (!error.empty()) {
    std::fprintf(stderr, "%s: ERROR %s\n", program, error.c_str());
    return 1;
  }
  return 0;
}
