// The program's own options in front of the bridge's command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/app/program_options.h"

namespace tw {
namespace {

TEST(ProgramOptions, OptionsComeFirstAndTheRestIsTheCommandLine) {
  struct Case {
    std::vector<std::string> args;
    std::string error;  // empty: parsed
    std::string commandLine;
    bool console, hostMode;
    std::string engineHost, listenAddress;
  } cases[] = {
      {{}, "", "", false, false, "", ""},
      {{"--console", "--host-mode", "N0CALL,2"}, "", "N0CALL,2", true, true, "", ""},
      {{"--engine-host", "10.0.0.5", "--listen-address=127.0.0.1", "N0CALL"}, "", "N0CALL", false, false,
       "10.0.0.5", "127.0.0.1"},
      // A shell may split "N0CALL, 2, false": the words are joined again.
      {{"N0CALL,", "2,", "false"}, "", "N0CALL, 2, false", false, false, "", ""},
      // Options end at the first word that is not one, or at "--".
      {{"N0CALL", "--console"}, "", "N0CALL --console", false, false, "", ""},
      {{"--", "--console"}, "", "--console", false, false, "", ""},
      {{"--engine-host"}, "--engine-host needs a value", "", false, false, "", ""},
      {{"--colsone", "N0CALL"}, "unknown option --colsone", "", false, false, "", ""},
      {{"--log"}, "--log needs a value", "", false, false, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.front());
    const ParsedProgramOptions parsed = ParseProgramOptions(c.args);
    ASSERT_EQ(parsed.error, c.error);
    ASSERT_EQ(parsed.options.has_value(), c.error.empty());
    if (!parsed.options) continue;
    EXPECT_EQ(parsed.options->start.commandLine, c.commandLine);
    EXPECT_EQ(parsed.options->console, c.console);
    EXPECT_EQ(parsed.options->start.hostMode, c.hostMode);
    EXPECT_EQ(parsed.options->start.engineHost, c.engineHost);
    EXPECT_EQ(parsed.options->start.listenAddress, c.listenAddress);
  }
}

TEST(ProgramOptions, LogFileAndVerboseComeBeforeTheCommandLine) {
  const struct {
    std::vector<std::string> args;
    std::string logFile;
    bool verbose;
    std::string commandLine;
  } cases[] = {
      {{"--log", "/tmp/tw.log", "N0CALL"}, "/tmp/tw.log", false, "N0CALL"},
      {{"--verbose", "--log=tw.log", "--console"}, "tw.log", true, ""},
      {{"N0CALL", "--verbose"}, "", false, "N0CALL --verbose"},
  };
  for (const auto& c : cases) {
    const ParsedProgramOptions parsed = ParseProgramOptions(c.args);
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->logFile, c.logFile);
    EXPECT_EQ(parsed.options->verbose, c.verbose);
    EXPECT_EQ(parsed.options->start.commandLine, c.commandLine);
  }
}

}  // namespace
}  // namespace tw
