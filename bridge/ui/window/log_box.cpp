#include "bridge/ui/window/log_box.h"

namespace tw::window {

bool LogBox::Add(std::string_view line) {
  const std::size_t added = line.size() + 2;
  bool cut = false;
  if (text_.size() + added > kLimit) {
    // The last characters, whatever they are: a line may lose its head.
    if (text_.size() > kKeep) text_.erase(0, text_.size() - kKeep);
    cut = true;
  }
  text_.append(line).append("\r\n");
  return cut;
}

}  // namespace tw::window
