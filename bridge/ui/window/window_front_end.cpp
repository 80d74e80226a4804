#include "bridge/ui/window/window_front_end.h"

#include <FL/Fl.H>
#include <FL/fl_ask.H>
#include <FL/Fl_File_Chooser.H>
#include <X11/Xlib.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "bridge/ui/window/help_window.h"
#include "bridge/ui/window/layout.h"
#include "bridge/ui/window/main_window.h"
#include "bridge/ui/window/ui_probe.h"
#include "bridge/ui/window/ui_queue.h"

namespace tw::window {

namespace {
// A wake that FLTK could not queue is made up for by this poll.
constexpr double kPollSeconds = 0.25;
}  // namespace

struct WindowFrontEnd::Impl {
  Impl(std::vector<std::string> helpDirectories, std::string programVersion)
      : queue([this] { Fl::awake(&Impl::Awake, this); }),
        help(std::move(helpDirectories)),
        version(std::move(programVersion)) {}

  static void Awake(void* self) { static_cast<Impl*>(self)->Drain(); }
  static void Poll(void* self) {
    static_cast<Impl*>(self)->Drain();
    Fl::repeat_timeout(kPollSeconds, &Impl::Poll, self);
  }

  void Drain() {
    for (Update& update : queue.Take()) {
      switch (update.kind) {
        case Update::Kind::kLog: main->AddLog(update.text); break;
        case Update::Kind::kMyCall: main->ShowMyCall(update.text); break;
        case Update::Kind::kPort: main->ShowDefaultPort(update.text); break;
        case Update::Kind::kAccept: main->ShowAccept(update.text); break;
        case Update::Kind::kStatus: main->ShowStatus(*update.status); break;
        case Update::Kind::kLinksUp: linksUp = std::atoi(update.text.c_str()); break;
        case Update::Kind::kFinished: CloseAll(); break;
      }
    }
    Snapshot();
  }

  void CloseAll() {
    help.Hide();
    main->Hide();
  }

  void Snapshot() {
    if (!probe.Wanted() || !main) return;
    UiSnapshot s;
    s.caption = kCaption;
    s.myCall = main->MyCall();
    s.port = main->DefaultPort();
    s.accept = main->Accept();
    s.mainShown = main->Shown();
    s.helpShown = help.Shown();
    s.helpSource = help.Loaded().source;
    s.helpHead = help.Loaded().text.substr(0, help.Loaded().text.find('\n'));
    s.aboutShown = aboutShown;
    s.linksUp = linksUp;
    s.question = question;
    s.log = main->Log().Text();
    s.engine = main->EngineText();
    s.client = main->ClientText();
    for (const StreamCells& cells : main->StreamRows()) {
      std::string row;
      for (const std::string& cell : cells) row += (row.empty() ? "" : "|") + cell;
      s.streams.push_back(row);
    }
    probe.Write(s);
  }

  UiQueue queue;
  HelpWindow help;
  std::unique_ptr<MainWindow> main;
  UiProbe probe;
  bool aboutShown = false;
  int linksUp = 0;
  std::string question;
  std::string version;
};

WindowFrontEnd::WindowFrontEnd(std::vector<std::string> helpDirectories, std::string version)
    : impl_(std::make_unique<Impl>(std::move(helpDirectories), std::move(version))) {
  // Makes Fl::awake usable from the loop's thread; done here, on the main
  // thread, before that thread starts.
  Fl::lock();
}

WindowFrontEnd::~WindowFrontEnd() = default;

void WindowFrontEnd::addlog(const std::string& line) { impl_->queue.Push({Update::Kind::kLog, line}); }
void WindowFrontEnd::ShowMyCall(const std::string& callSign) { impl_->queue.Push({Update::Kind::kMyCall, callSign}); }
void WindowFrontEnd::ShowDefaultPort(const std::string& text) { impl_->queue.Push({Update::Kind::kPort, text}); }
void WindowFrontEnd::ShowAccept(const std::string& text) { impl_->queue.Push({Update::Kind::kAccept, text}); }
void WindowFrontEnd::ShowStatus(const std::shared_ptr<const StatusSnapshot>& snapshot) {
  if (snapshot) impl_->queue.Push({Update::Kind::kStatus, {}, snapshot});
}

void WindowFrontEnd::ShowLinksUp(int count) { impl_->queue.Push({Update::Kind::kLinksUp, std::to_string(count)}); }
void WindowFrontEnd::Finished() { impl_->queue.Push({Update::Kind::kFinished, {}}); }

void WindowFrontEnd::Run(std::function<void()> close) {
  Impl& impl = *impl_;
  MainWindow::Actions actions;
  actions.help = [&impl] {
    impl.help.Show(impl.main->X() + 40, impl.main->Y() + 60);
    impl.Snapshot();
  };
  actions.about = [&impl] {
    impl.aboutShown = true;
    impl.Snapshot();
    ShowAbout(impl.version);
    impl.aboutShown = false;
    impl.Snapshot();
  };
  actions.saveLog = [&impl] {
    // The box as it stands, its lines ending in CR LF as shown.
    const char* path = fl_file_chooser("Save log", "*.log", "tidewire.log");
    if (path == nullptr) return;
    std::ofstream file(path, std::ios::binary);
    const std::string& text = impl.main->Log().Text();
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!file) fl_alert("The log could not be written to %s", path);
  };
  actions.close = [&impl, close = std::move(close)] {
    if (impl.linksUp > 0) {
      // Closing ends the links (each once it has sent what it holds).
      impl.question = std::to_string(impl.linksUp) + " links are up. Close them and quit?";
      impl.Snapshot();
      fl_message_title(kCaption);
      const int answer = fl_choice("%s", "Cancel", "Quit", nullptr, impl.question.c_str());
      impl.question.clear();
      impl.Snapshot();
      if (answer != 1) return;
    }
    // The help window goes with the main window: the program ends.
    impl.CloseAll();
    impl.Snapshot();
    if (close) close();
  };
  impl.main = std::make_unique<MainWindow>(std::move(actions));
  impl.main->Show();
  impl.Drain();
  Fl::add_timeout(kPollSeconds, &Impl::Poll, &impl);
  Fl::run();
  Fl::remove_timeout(&Impl::Poll, &impl);
  impl.Drain();
}

bool DisplayAvailable() {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') return false;
  // Asked directly: FLTK would end the program on a display it cannot open.
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  XCloseDisplay(display);
  return true;
}

}  // namespace tw::window
