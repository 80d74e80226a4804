// StrmHelp: a non-modal window showing the help text. One for the program's
// run; the text is read again each time the window is shown after it was
// closed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "bridge/ui/window/help_text.h"

class Fl_Double_Window;
class Fl_Text_Buffer;
class Fl_Text_Display;

namespace tw::window {

class HelpWindow {
 public:
  // Where "strmread.txt" is looked for, in order.
  explicit HelpWindow(std::vector<std::string> directories);
  ~HelpWindow();
  HelpWindow(const HelpWindow&) = delete;
  HelpWindow& operator=(const HelpWindow&) = delete;

  // Shown where asked the first time; where the user left it afterwards.
  void Show(int x, int y);
  void Hide();
  bool Shown() const;
  const HelpText& Loaded() const { return loaded_; }

 private:
  std::vector<std::string> directories_;
  HelpText loaded_;
  std::unique_ptr<Fl_Double_Window> window_;
  Fl_Text_Display* view_ = nullptr;
  std::unique_ptr<Fl_Text_Buffer> text_;
};

// The about box: the program's name and version, author and contact lines,
// with an OK button. `version` is the one the build gives the program.
void ShowAbout(const std::string& version);
std::string AboutText(const std::string& version);

}  // namespace tw::window
