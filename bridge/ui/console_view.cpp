#include "bridge/ui/console_view.h"

#include "bridge/log_text.h"

#include <chrono>

namespace tw {

namespace {

// The boxes show " 1"; a line reads better without the blank.
std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first);
}

}  // namespace

void ConsoleView::Line(const std::string& text) {
  if (stamped_) {
    const std::string stamp = LocalStamp(std::chrono::system_clock::now());
    std::fwrite(stamp.data(), 1, stamp.size(), out_);
  }
  std::fwrite(text.data(), 1, text.size(), out_);
  std::fputc('\n', out_);
  std::fflush(out_);
}

void ConsoleView::addlog(const std::string& line) { Line(line); }

// Emptied at shutdown: nothing to tell then. The call comes from the
// engine's registration answer, so it is shown escaped like any network text.
void ConsoleView::ShowMyCall(const std::string& callSign) {
  if (!callSign.empty()) Line("MyCall: " + LogBytes(callSign));
}

void ConsoleView::ShowDefaultPort(const std::string& text) { Line("Default Radio Port: " + Trimmed(text)); }

void ConsoleView::ShowAccept(const std::string& text) { Line("Accept: " + Trimmed(text)); }

}  // namespace tw
