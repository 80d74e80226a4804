// formMain as an FLTK window: the log box, the three display boxes with
// their labels, the bridge's state below them (engine, client, the table of
// streams), and the Help, About and Save log menu items. A pure view: it shows
// what it is given and reports the user's actions; it holds no bridge state.
// Everything here runs on the window's (main) thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "bridge/status/status_snapshot.h"
#include "bridge/ui/window/log_box.h"
#include "bridge/ui/window/stream_table_view.h"

class Fl_Double_Window;
class Fl_Menu_Bar;
class Fl_Text_Buffer;
class Fl_Text_Display;
class Fl_Output;
class Fl_Box;
class Fl_Widget;

namespace tw::window {

class MainWindow {
 public:
  struct Actions {
    std::function<void()> help;
    std::function<void()> about;
    std::function<void()> saveLog;
    std::function<void()> close;  // the user closes the window
  };

  explicit MainWindow(Actions actions);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  void Show();
  void Hide();
  bool Shown() const;
  int X() const;
  int Y() const;

  // `addlog`: one line into the log box, by its rule.
  void AddLog(const std::string& line);
  void ShowMyCall(const std::string& text);
  void ShowDefaultPort(const std::string& text);
  void ShowAccept(const std::string& text);
  void ShowStatus(const StatusSnapshot& status);

  const LogBox& Log() const { return log_; }
  std::string MyCall() const;
  std::string DefaultPort() const;
  std::string Accept() const;
  std::string EngineText() const;
  std::string ClientText() const;
  const StreamTableView::Rows& StreamRows() const { return table_->Shown(); }

 private:
  static void MenuHelp(Fl_Widget*, void* self);
  static void MenuAbout(Fl_Widget*, void* self);
  static void MenuSaveLog(Fl_Widget*, void* self);
  static void Closing(Fl_Widget*, void* self);

  Actions actions_;
  LogBox log_;
  std::unique_ptr<Fl_Double_Window> window_;
  Fl_Menu_Bar* menu_ = nullptr;  // children are owned by the window
  Fl_Text_Display* logView_ = nullptr;
  std::unique_ptr<Fl_Text_Buffer> logText_;
  Fl_Output* myCall_ = nullptr;
  Fl_Output* port_ = nullptr;
  Fl_Output* accept_ = nullptr;
  Fl_Output* engine_ = nullptr;
  Fl_Output* client_ = nullptr;
  StreamTableView* table_ = nullptr;
};

}  // namespace tw::window
