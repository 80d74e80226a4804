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

TEST(ProgramOptions, TheStatusPageIsOnLoopbackUnlessMovedOrSwitchedOff) {
  struct Case {
    std::vector<std::string> args;
    std::string error;
    std::string address;
    std::uint16_t port;
  } cases[] = {
      {{"N0CALL"}, "", "127.0.0.1", 8201},
      {{"--status-port", "0", "N0CALL"}, "", "127.0.0.1", 0},
      {{"--status-address=0.0.0.0", "--status-port=65535"}, "", "0.0.0.0", 65535},
      {{"--status-port", "65536"}, "--status-port needs a port number, 0 to 65535 (0: no status page), not 65536", "", 0},
      {{"--status-port", "-1"}, "--status-port needs a port number, 0 to 65535 (0: no status page), not -1", "", 0},
      {{"--status-port", ""}, "--status-port needs a port number, 0 to 65535 (0: no status page), not ", "", 0},
      {{"--status-port=80x"}, "--status-port needs a port number, 0 to 65535 (0: no status page), not 80x", "", 0},
      {{"--status-port"}, "--status-port needs a value", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front());
    const ParsedProgramOptions parsed = ParseProgramOptions(c.args);
    ASSERT_EQ(parsed.error, c.error);
    if (!parsed.options) continue;
    EXPECT_EQ(parsed.options->statusPage.address, c.address);
    EXPECT_EQ(parsed.options->statusPage.port, c.port);
  }
}

}  // namespace
}  // namespace tw
