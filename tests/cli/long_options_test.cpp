// The conventions every program shares: both spellings of a value, short
// letters, "--", the order of options and other words, and one line for
// each kind of mistake.
#include "platform/cli/long_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tw {
namespace {

const std::vector<LongOption> kTable = {
    {"help", false, 'h'}, {"verbose", false, 'v'}, {"port", true}, {"ports", true}, {"log", true, 'l'},
};

// "name=value" per option, then "| word" per word; or "error: ...".
std::string Render(const ReadOptions& read) {
  if (!read.error.empty()) return "error: " + read.error;
  std::string text;
  for (const GivenOption& given : read.options) text += (text.empty() ? "" : " ") + given.name + "=" + given.value;
  for (const std::string& word : read.words) text += " | " + word;
  return text;
}

TEST(LongOptions, ReadsEachSpellingAndSaysWhatIsWrongInOneLine) {
  const struct {
    std::vector<std::string> args;
    WordOrder order;
    const char* want;
  } cases[] = {
      {{}, WordOrder::Anywhere, ""},
      {{"--port", "8000", "--log=/tmp/x", "-v"}, WordOrder::Anywhere, "port=8000 log=/tmp/x verbose="},
      {{"-l", "a.log", "-h"}, WordOrder::Anywhere, "log=a.log help="},
      {{"-la.log"}, WordOrder::Anywhere, "log=a.log"},
      // A value may be empty or look like an option: it is the option's.
      {{"--log=", "--port", "-1"}, WordOrder::Anywhere, "log= port=-1"},
      // The full name is matched before a longer one that begins with it.
      {{"--port=1", "--ports=2"}, WordOrder::Anywhere, "port=1 ports=2"},
      // Other words: anywhere, or ending the options.
      {{"8000", "--verbose", "x"}, WordOrder::Anywhere, "verbose= | 8000 | x"},
      {{"N0CALL", "--verbose"}, WordOrder::OptionsFirst, " | N0CALL | --verbose"},
      {{"--verbose", "--", "--help"}, WordOrder::OptionsFirst, "verbose= | --help"},
      {{"--", "--help"}, WordOrder::Anywhere, " | --help"},
      {{"-"}, WordOrder::OptionsFirst, " | -"},
      // Mistakes, each as one line naming the word.
      {{"--bogus", "x"}, WordOrder::Anywhere, "error: unknown option --bogus"},
      {{"--bogus=1"}, WordOrder::Anywhere, "error: unknown option --bogus"},
      {{"-x"}, WordOrder::Anywhere, "error: unknown option -x"},
      {{"-5"}, WordOrder::OptionsFirst, "error: unknown option -5"},
      {{"--port"}, WordOrder::Anywhere, "error: --port needs a value"},
      {{"-l"}, WordOrder::Anywhere, "error: --log needs a value"},
      {{"--verbose=yes"}, WordOrder::Anywhere, "error: --verbose takes no value"},
      // An abbreviation that fits two options is no option.
      {{"--p", "1"}, WordOrder::Anywhere, "error: unknown option --p"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.front());
    EXPECT_EQ(Render(ReadLongOptions(c.args, kTable, c.order)), c.want);
  }
}

TEST(LongOptions, EachCallStartsAfreshAndTheUsageLinePointsToHelp) {
  // A call that stopped half-way leaves nothing for the next one.
  EXPECT_EQ(Render(ReadLongOptions({"--port"}, kTable, WordOrder::Anywhere)), "error: --port needs a value");
  EXPECT_EQ(Render(ReadLongOptions({"--port", "1", "w"}, kTable, WordOrder::OptionsFirst)), "port=1 | w");
  EXPECT_EQ(Render(ReadLongOptions({"w", "--port", "2"}, kTable, WordOrder::Anywhere)), "port=2 | w");
  EXPECT_EQ(UsageLine("tidewire", "unknown option --bogus"), "tidewire: unknown option --bogus (see tidewire --help)");
  EXPECT_EQ(kUsageExitStatus, 2);
}

}  // namespace
}  // namespace tw
