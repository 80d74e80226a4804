#include "bridge/ui/window/help_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>
#include <FL/fl_ask.H>

#include "bridge/ui/window/layout.h"

namespace tw::window {

HelpWindow::HelpWindow(std::vector<std::string> directories) : directories_(std::move(directories)) {}

HelpWindow::~HelpWindow() {
  if (view_ != nullptr) view_->buffer(nullptr);
}

void HelpWindow::Show(int x, int y) {
  if (!window_) {
    window_ = std::make_unique<Fl_Double_Window>(x, y, 560, 420, "Tidewire Help");
    text_ = std::make_unique<Fl_Text_Buffer>();
    view_ = new Fl_Text_Display(0, 0, window_->w(), window_->h());
    view_->buffer(text_.get());
    view_->textfont(FL_COURIER);
    view_->textsize(12);
    window_->resizable(view_);
    window_->end();
  }
  if (!window_->shown()) {
    loaded_ = LoadHelpText(directories_);
    text_->text(loaded_.text.c_str());
  }
  window_->show();
}

void HelpWindow::Hide() {
  if (window_) window_->hide();
}

bool HelpWindow::Shown() const { return window_ && window_->shown() != 0; }

std::string AboutText(const std::string& version) {
  return "Tidewire " + version + ": a KAM host-mode bridge over a packet engine\n" + "the Tidewire developers\n" +
         "Help: strmread.txt (menu Help) and the README of the installation";
}

void ShowAbout(const std::string& version) {
  fl_message_title("About Tidewire");
  fl_close = "OK";
  fl_message("%s", AboutText(version).c_str());
}

}  // namespace tw::window
