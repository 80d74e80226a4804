#include "bridge/ui/window/ui_probe.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tw::window {

UiProbe::UiProbe() {
  if (const char* path = std::getenv("TIDEWIRE_UI_PROBE")) path_ = path;
}

void UiProbe::Write(const UiSnapshot& s) const {
  if (path_.empty()) return;
  std::string state = "engine=" + s.engine + "\nclient=" + s.client + "\n";
  for (const std::string& row : s.streams) state += "stream=" + row + "\n";
  const std::string text = "caption=" + s.caption + "\nmycall=" + s.myCall + "\nport=" + s.port +
                           "\naccept=" + s.accept + "\nmain=" + (s.mainShown ? "shown" : "hidden") +
                           "\nhelp=" + (s.helpShown ? "shown" : "hidden") + "\nhelp-source=" + s.helpSource +
                           "\nhelp-head=" + s.helpHead + "\nabout=" + (s.aboutShown ? "shown" : "hidden") +
                           "\n" + state + "links=" + std::to_string(s.linksUp) + "\nquestion=" + s.question +
                           "\nlog:\n" + s.log;
  const std::string temporary = path_ + ".new";
  if (std::FILE* file = std::fopen(temporary.c_str(), "wb")) {
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) == 0 && written) std::rename(temporary.c_str(), path_.c_str());
  }
}

}  // namespace tw::window
