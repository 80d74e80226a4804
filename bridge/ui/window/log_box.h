// The text of the window's log box and its one rule: every line ends with
// CR LF, and a line that would take the box past 30000 characters first cuts
// it to its last 5000. Kept apart from the widget so the rule is tested on
// its own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tw::window {

class LogBox {
 public:
  static constexpr std::size_t kLimit = 30000;
  static constexpr std::size_t kKeep = 5000;

  // Adds one line; true when the box was cut first.
  bool Add(std::string_view line);

  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace tw::window
