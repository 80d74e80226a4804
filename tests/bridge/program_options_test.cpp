#include "bridge/app/program_options.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

TEST(ProgramOptions, OptionsComeFirstAndTheRestIsTheBridgesCommandLine) {
  using Args = std::vector<std::string>;
  const struct {
    Args args;
    std::string commandLine, engineHost, listenAddress;
    bool hostMode;
  } accepted[] = {
      {{}, "", "", "", false},
      {{"--console", "--host-mode", "n0call,2"}, "n0call,2", "", "", true},
      {{"--engine-host", "10.0.0.5", "--listen-address=127.0.0.1", "N0CALL"}, "N0CALL", "10.0.0.5", "127.0.0.1", false},
      {{"N0CALL,", "2,", "false"}, "N0CALL, 2, false", "", "", false},  // split by the shell
      {{"--", "--host-mode"}, "--host-mode", "", "", false},
      {{"N0CALL", "--host-mode"}, "N0CALL --host-mode", "", "", false},  // options only before it
  };
  for (const auto& c : accepted) {
    const ParsedProgramOptions parsed = ParseProgramOptions(c.args);
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->start.commandLine, c.commandLine);
    EXPECT_EQ(parsed.options->start.engineHost, c.engineHost);
    EXPECT_EQ(parsed.options->start.listenAddress, c.listenAddress);
    EXPECT_EQ(parsed.options->start.hostMode, c.hostMode);
  }
  EXPECT_EQ(ParseProgramOptions({"--engine-host"}).error, "--engine-host needs a value");
  EXPECT_EQ(ParseProgramOptions({"--hostmode", "N0CALL"}).error, "unknown option --hostmode");
}

}  // namespace
}  // namespace tw
