// Finds the window module beside the program and asks it for a window.
// Without the module (a headless install, or a build without the window)
// the program runs in the console, as with --console.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "bridge/ui/window_view.h"

namespace tw {

struct LoadedWindow {
  std::unique_ptr<WindowView> view;  // empty: run in the console
  std::string note;                  // why not, when the operator should hear of it
};

// `moduleDirectory`: where libtidewire-window.so is looked for (the program's
// own directory). Only called when a window is wanted: no --console and a
// display named. A module that is there is loaded once and kept until the
// program exits (the display library's exit handlers live in it).
LoadedWindow LoadWindow(const std::string& moduleDirectory, const std::vector<std::string>& helpDirectories);

// The directory of the running program with links resolved, so that the
// link in bin/ finds what is installed beside the program itself.
std::string ProgramDirectory();

}  // namespace tw
