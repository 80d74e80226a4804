// The window as the program sees it: a view of the bridge that also owns the
// main thread while it runs. It lives in a module of its own,
// libtidewire-window.so, the only part of the program that needs a display
// library, so a station without one installs and runs the program without
// X11 or FLTK; the program loads the module when it is there (see
// bridge/app/window_loader.h).
#pragma once

#include <cstddef>
#include <functional>

#include "bridge/bridge_view.h"

namespace tw {

class WindowView : public BridgeView {
 public:
  // On the main thread: shows the window and runs it until it is closed by
  // the user (`close` is called then) or Finished was called.
  virtual void Run(std::function<void()> close) = 0;

  // From any thread: the bridge has ended; the windows go.
  virtual void Finished() = 0;
};

// The module's one entry point, looked up by name. `helpDirectories` (count
// of them) are where "strmread.txt" is looked for, in order. Returns nullptr
// when no window can be shown (no display); the caller owns the view.
using CreateWindowViewFunction = WindowView* (*)(const char* const* helpDirectories, std::size_t count);
inline constexpr const char* kWindowModuleFile = "libtidewire-window.so";
inline constexpr const char* kCreateWindowViewName = "TwCreateWindowView";

}  // namespace tw
