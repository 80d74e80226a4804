// The window front end: formMain, its help window and about box on the
// program's main thread, fed by the bridge that runs on the loop's thread.
//
// The two threads meet in two places only. The bridge's view calls (log
// lines, MyCall, port, accept) arrive on the loop's thread and go into a
// UiQueue, which wakes the window's thread (Fl::awake) to show them. The
// user's one action that concerns the bridge, closing the window, calls the
// `close` function given to Run, which asks the bridge to shut down (the
// program posts that to the loop). Help and About are the window's own.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bridge/bridge_view.h"

namespace tw::window {

class WindowFrontEnd final : public BridgeView {
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

  // On the main thread: shows the window and runs it until it is closed by
  // the user (`close` is called then) or Finished was called.
  void Run(std::function<void()> close);

  // From any thread: the bridge has ended; the windows go.
  void Finished();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Whether a window can be shown: a display is named.
bool DisplayAvailable();

}  // namespace tw::window
