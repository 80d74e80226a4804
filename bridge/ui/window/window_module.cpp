// libtidewire-window.so's entry point: the window front end, when a display
// can be opened. Everything else of the module stays hidden.
#include <string>
#include <vector>

#include "bridge/ui/window/window_front_end.h"

#ifndef TIDEWIRE_VERSION
#define TIDEWIRE_VERSION "unknown"
#endif

extern "C" __attribute__((visibility("default"))) tw::WindowView* TwCreateWindowView(
    const char* const* helpDirectories, std::size_t count) {
  if (!tw::window::DisplayAvailable()) return nullptr;
  std::vector<std::string> directories;
  for (std::size_t i = 0; i < count; ++i) directories.emplace_back(helpDirectories[i]);
  return new tw::window::WindowFrontEnd(std::move(directories), TIDEWIRE_VERSION);
}
