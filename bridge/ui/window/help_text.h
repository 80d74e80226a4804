// The help window's text: "strmread.txt" from the directories the program
// names (the working directory, beside the program, the installed data
// directory). A missing or unreadable file gives a
// message to show instead; a very large one is shown up to a limit, so the
// window stays responsive.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tw::window {

inline constexpr const char* kHelpFile = "strmread.txt";
inline constexpr std::size_t kHelpLimit = std::size_t{1} << 20;

struct HelpText {
  std::string text;
  std::string source;  // the file read, empty when none could be
};

// Tries each directory in turn ("" is the working directory).
HelpText LoadHelpText(const std::vector<std::string>& directories, std::size_t limit = kHelpLimit);

}  // namespace tw::window
