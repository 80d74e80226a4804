// A window for a test to look at: with TIDEWIRE_UI_PROBE naming a file, the
// window writes what it shows there (caption, boxes, whether Help and About
// are open, the help file read, the log) after each change. Unset, it costs
// one check per change.
#pragma once

#include <string>
#include <vector>

namespace tw::window {

struct UiSnapshot {
  std::string caption;
  std::string myCall;
  std::string port;
  std::string accept;
  bool mainShown = false;
  bool helpShown = false;
  std::string helpSource;
  std::string helpHead;  // the first line of the help text shown
  bool aboutShown = false;
  std::string engine;
  std::string client;
  std::vector<std::string> streams;  // each row's cells, joined by "|"
  int linksUp = 0;
  std::string question;  // the question the window asks now, if any
  std::string log;
};

class UiProbe {
 public:
  UiProbe();  // reads TIDEWIRE_UI_PROBE
  bool Wanted() const { return !path_.empty(); }
  // Replaces the file whole, so a reader never sees half of it.
  void Write(const UiSnapshot& snapshot) const;

 private:
  std::string path_;
};

}  // namespace tw::window
