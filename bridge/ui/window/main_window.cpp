#include "bridge/ui/window/main_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>

#include "bridge/status/status_text.h"
#include "bridge/ui/window/layout.h"

namespace tw::window {

namespace {

// FLTK shows a CR as a glyph of its own; the box's CR LF ends a line.
std::string WithoutCr(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '\r') out.push_back(c);
  }
  return out;
}

Fl_Output* Display(const Box& box) {
  auto* output = new Fl_Output(box.x, box.y + kMenuHeight, box.w, box.h);
  output->readonly(1);
  output->textsize(12);
  return output;
}

// A line of text on the window's background, read only.
Fl_Output* Line(const Box& box) {
  Fl_Output* output = Display(box);
  output->box(FL_FLAT_BOX);
  output->color(FL_BACKGROUND_COLOR);
  output->clear_visible_focus();
  return output;
}

void Label(const Box& box, const char* text) {
  auto* label = new Fl_Box(box.x, box.y + kMenuHeight, box.w, box.h, text);
  label->align(FL_ALIGN_INSIDE | FL_ALIGN_RIGHT);
  label->labelsize(11);
}

}  // namespace

MainWindow::MainWindow(Actions actions) : actions_(std::move(actions)) {
  window_ = std::make_unique<Fl_Double_Window>(kClient.w, kClient.h + kMenuHeight, kCaption);
  menu_ = new Fl_Menu_Bar(0, 0, kClient.w, kMenuHeight);
  menu_->add("&Help", FL_ALT + 'h', &MainWindow::MenuHelp, this);
  menu_->add("&About", FL_ALT + 'a', &MainWindow::MenuAbout, this);
  menu_->add("&Save log...", FL_ALT + 's', &MainWindow::MenuSaveLog, this);

  logText_ = std::make_unique<Fl_Text_Buffer>();
  logView_ = new Fl_Text_Display(kLogBox.x, kLogBox.y + kMenuHeight, kLogBox.w, kLogBox.h);
  logView_->buffer(logText_.get());
  logView_->textfont(FL_COURIER);
  logView_->textsize(12);

  Label(kMyCallLabel, "MyCall:");
  myCall_ = Display(kMyCallBox);
  Label(kPortLabel, "Default Radio Port:");
  port_ = Display(kPortBox);
  Label(kAcceptLabel, "Accept:");
  accept_ = Display(kAcceptBox);

  engine_ = Line(kEngineLine);
  client_ = Line(kClientLine);
  table_ = new StreamTableView(kStreamTable.x, kStreamTable.y + kMenuHeight, kStreamTable.w, kStreamTable.h);
  ShowStatus(StatusSnapshot{});

  window_->resizable(logView_);
  window_->callback(&MainWindow::Closing, this);
  window_->end();
}

MainWindow::~MainWindow() {
  // The display refers to the buffer: it goes first.
  if (logView_ != nullptr) logView_->buffer(nullptr);
}

void MainWindow::Show() { window_->show(); }
void MainWindow::Hide() { window_->hide(); }
bool MainWindow::Shown() const { return window_->shown() != 0; }
int MainWindow::X() const { return window_->x(); }
int MainWindow::Y() const { return window_->y(); }

void MainWindow::AddLog(const std::string& line) {
  if (log_.Add(line)) {
    logText_->text(WithoutCr(log_.Text()).c_str());
  } else {
    logText_->append(WithoutCr(line + "\n").c_str());
  }
  // The caret goes to the end, so the newest line is in view.
  logView_->insert_position(logText_->length());
  logView_->show_insert_position();
}

void MainWindow::ShowMyCall(const std::string& text) { myCall_->value(text.c_str()); }
void MainWindow::ShowDefaultPort(const std::string& text) { port_->value(text.c_str()); }
void MainWindow::ShowAccept(const std::string& text) { accept_->value(text.c_str()); }
void MainWindow::ShowStatus(const StatusSnapshot& status) {
  const std::string engine = EngineLine(status.engine);
  const std::string client = ClientStatusLine(status.client);
  if (engine != engine_->value()) engine_->value(engine.c_str());
  if (client != client_->value()) client_->value(client.c_str());
  StreamTableView::Rows rows;
  for (std::size_t s = 0; s < rows.size(); ++s) rows[s] = StreamRow(s, status.streams[s]);
  table_->Show(rows);
}

std::string MainWindow::EngineText() const { return engine_->value(); }
std::string MainWindow::ClientText() const { return client_->value(); }
std::string MainWindow::MyCall() const { return myCall_->value(); }
std::string MainWindow::DefaultPort() const { return port_->value(); }
std::string MainWindow::Accept() const { return accept_->value(); }

void MainWindow::MenuHelp(Fl_Widget*, void* self) {
  auto* window = static_cast<MainWindow*>(self);
  if (window->actions_.help) window->actions_.help();
}

void MainWindow::MenuAbout(Fl_Widget*, void* self) {
  auto* window = static_cast<MainWindow*>(self);
  if (window->actions_.about) window->actions_.about();
}

void MainWindow::MenuSaveLog(Fl_Widget*, void* self) {
  auto* window = static_cast<MainWindow*>(self);
  if (window->actions_.saveLog) window->actions_.saveLog();
}

void MainWindow::Closing(Fl_Widget*, void* self) {
  // FLTK calls a window's callback for the Escape key as well; a keypress
  // must not end every link and the client's session.
  if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
  auto* window = static_cast<MainWindow*>(self);
  if (window->actions_.close) window->actions_.close();
}

}  // namespace tw::window
