// The window front end: formMain, its help window and about box on the
// program's main thread, fed by the bridge that runs on the loop's thread.
//
// The two threads meet in two places only. The bridge's view calls (log
// lines, MyCall, port, accept) arrive on the loop's thread and go into a
// UiQueue, which wakes the window's thread (Fl::awake) to show them. The
// user's one action that concerns the bridge, closing the window, calls the
// `close` function given to Run, which asks the bridge to shut down (the
// program posts that to the loop); while links are up the window asks
// first. Help and About are the window's own.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bridge/ui/window_view.h"

namespace tw::window {

class WindowFrontEnd final : public WindowView {
 public:
  // `helpDirectories`: where "strmread.txt" is looked for, in order;
  // `version`: the program's, for the about box.
  WindowFrontEnd(std::vector<std::string> helpDirectories, std::string version);
  ~WindowFrontEnd() override;
  WindowFrontEnd(const WindowFrontEnd&) = delete;
  WindowFrontEnd& operator=(const WindowFrontEnd&) = delete;

  // From the loop's thread.
  void addlog(const std::string& line) override;
  void ShowMyCall(const std::string& callSign) override;
  void ShowDefaultPort(const std::string& text) override;
  void ShowAccept(const std::string& text) override;
  void ShowStatus(const std::shared_ptr<const StatusSnapshot>& snapshot) override;
  void ShowLinksUp(int count) override;

  void Run(std::function<void()> close) override;
  void Finished() override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Whether a window can be shown: a display is named.
bool DisplayAvailable();

}  // namespace tw::window
