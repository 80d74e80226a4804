// tidewire: the host-mode bridge, in a window when a display is there, the
// window module is installed beside the program and --console is not given;
// headless otherwise.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bridge/app/app.h"
#include "bridge/app/log_sink.h"
#include "bridge/app/program_options.h"
#include "bridge/app/signal_watcher.h"
#include "bridge/app/window_loader.h"
#include "bridge/log_text.h"
#include "platform/cli/long_options.h"
#include "bridge/ui/console_view.h"

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
    std::fprintf(stderr, "%s\n", tw::UsageLine(program, parsed.error).c_str());
    return tw::kUsageExitStatus;
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
  std::unique_ptr<tw::WindowView> window;
#ifdef TIDEWIRE_WINDOW
  const char* display = std::getenv("DISPLAY");
  if (!options.console && display != nullptr && *display != '\0') {
    const std::string beside = tw::ProgramDirectory();
    tw::LoadedWindow loaded = tw::LoadWindow(beside, {"", beside, TIDEWIRE_DATA_DIR});
    if (!loaded.note.empty()) std::fprintf(stderr, "%s: %s\n", program, loaded.note.c_str());
    window = std::move(loaded.view);
  }
#endif

  // Console lines carry the time, unless the journal stamps them itself.
  tw::ConsoleView console(stdout, !tw::JournalStamps());
  tw::LogSink sink(window ? static_cast<tw::BridgeView&>(*window) : console);
  if (!options.logFile.empty()) {
    if (const std::string why = sink.OpenFile(options.logFile); !why.empty()) {
      std::fprintf(stderr, "%s: ERROR %s\n", program, why.c_str());
      return 1;
    }
  }
  tw::App app(sink, options.statusPage, TIDEWIRE_VERSION);
  app.SetStopTimeout(std::chrono::seconds(options.stopTimeoutSeconds));
  app.SetVerbose(options.verbose);
  tw::SignalWatcher signals([&app](int) { app.RequestShutdown(); });

  std::string error;
  if (window) {
    // The window keeps the main thread; the bridge runs on a second one.
    std::thread loop([&] {
      error = app.Run(options.start, options.line);
      window->Finished();
    });
    window->Run([&app] { app.RequestShutdown(); });
    loop.join();
  } else {
    error = app.Run(options.start, options.line);
  }
  if (!error.empty()) {
    std::fprintf(stderr, "%s: ERROR %s\n", program, error.c_str());
    return 1;
  }
  return 0;
}
