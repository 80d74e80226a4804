// The command-line conventions every program of the project shares, read
// with getopt_long: "--name value" and "--name=value" alike, a short letter
// where the option has one, "--" ends the options. The caller gets the
// options in order and the words left over, or one line saying what is
// wrong; what each option means stays with the caller.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct LongOption {
  const char* name;      // without the dashes
  bool takesValue;
  char letter = '\0';    // "-h" for "--help"; '\0' for none
};

struct GivenOption {
  std::string name;   // the long name, as in the table
  std::string value;  // empty for options without a value
};

struct ReadOptions {
  std::vector<GivenOption> options;
  std::vector<std::string> words;  // what is not an option, in order
  std::string error;               // one line, empty when the words were fine
};

enum class WordOrder {
  OptionsFirst,  // the first word that is no option ends the options
  Anywhere,      // options and other words in any order
};

// `args` without the program's name. Not for use on two threads at once
// (getopt_long keeps its state in globals).
ReadOptions ReadLongOptions(const std::vector<std::string>& args, const std::vector<LongOption>& table,
                            WordOrder order);

// The one line for a usage error: "PROGRAM: WHAT (see PROGRAM --help)".
std::string UsageLine(std::string_view program, std::string_view error);

// Exit status of a usage error, the same for every program.
inline constexpr int kUsageExitStatus = 2;

}  // namespace tw
