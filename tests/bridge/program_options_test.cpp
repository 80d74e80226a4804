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

TEST(ProgramOptions, TheClientOnAPseudoTerminalOrSerialLine) {
  using Kind = ClientLine::Kind;
  struct Case {
    std::vector<std::string> args;
    std::string error;  // empty: parsed
    Kind kind;
    std::string path;
    unsigned baud;
    SerialFlow flow;
  } cases[] = {
      {{"N0CALL"}, "", Kind::Tcp, "", 9600, SerialFlow::None},
      {{"--pty", "/tmp/kam", "N0CALL"}, "", Kind::Pty, "/tmp/kam", 9600, SerialFlow::None},
      {{"--pty=kam"}, "", Kind::Pty, "kam", 9600, SerialFlow::None},
      {{"--serial", "/dev/ttyUSB0"}, "", Kind::Serial, "/dev/ttyUSB0", 9600, SerialFlow::None},
      {{"--serial-flow", "rtscts", "--serial=/dev/ttyS1:1200"}, "", Kind::Serial, "/dev/ttyS1", 1200,
       SerialFlow::RtsCts},
      {{"--serial", "/dev/ttyS0:115200", "--serial-flow=xonxoff"}, "", Kind::Serial, "/dev/ttyS0", 115200,
       SerialFlow::XonXoff},
      // Colons inside a device's name are the name's.
      {{"--serial", "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"}, "", Kind::Serial,
       "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0", 9600, SerialFlow::None},
      {{"--serial", "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0:4800"}, "", Kind::Serial,
       "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0", 4800, SerialFlow::None},
      {{"--pty"}, "--pty needs a value", Kind::Tcp, "", 0, SerialFlow::None},
      {{"--pty="}, "--pty needs a path", Kind::Tcp, "", 0, SerialFlow::None},
      {{"--serial", ":9600"}, "--serial needs a device", Kind::Tcp, "", 0, SerialFlow::None},
      {{"--serial"}, "--serial needs a value", Kind::Tcp, "", 0, SerialFlow::None},
      {{"--serial", "/dev/ttyS0:9601"},
       "--serial: bad baud rate 9601 (one of 300 600 1200 2400 4800 9600 19200 38400 57600 115200 230400)",
       Kind::Tcp, "", 0, SerialFlow::None},
      {{"--serial", "/dev/ttyS0:fast"},
       "--serial: bad baud rate fast (one of 300 600 1200 2400 4800 9600 19200 38400 57600 115200 230400)",
       Kind::Tcp, "", 0, SerialFlow::None},
      {{"--serial", "/dev/ttyS0:"},
       "--serial: bad baud rate  (one of 300 600 1200 2400 4800 9600 19200 38400 57600 115200 230400)", Kind::Tcp,
       "", 0, SerialFlow::None},
      {{"--serial", "/dev/ttyS0:4294967296"},
       "--serial: bad baud rate 4294967296 (one of 300 600 1200 2400 4800 9600 19200 38400 57600 115200 230400)",
       Kind::Tcp, "", 0, SerialFlow::None},
      {{"--serial", "/dev/ttyS0", "--serial-flow", "dtrdsr"},
       "--serial-flow: unknown flow control dtrdsr (one of none rtscts xonxoff)", Kind::Tcp, "", 0,
       SerialFlow::None},
      {{"--serial-flow", "none", "N0CALL"}, "--serial-flow needs --serial", Kind::Tcp, "", 0, SerialFlow::None},
      {{"--pty", "/tmp/kam", "--serial", "/dev/ttyS0"}, "--pty and --serial exclude each other", Kind::Tcp, "", 0,
       SerialFlow::None},
      {{"--listen-address", "127.0.0.1", "--pty", "/tmp/kam"},
       "--listen-address has no use with --pty or --serial (no TCP listener is opened)", Kind::Tcp, "", 0,
       SerialFlow::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.front() + " " + (c.args.size() > 1 ? c.args[1] : ""));
    const ParsedProgramOptions parsed = ParseProgramOptions(c.args);
    ASSERT_EQ(parsed.error, c.error);
    ASSERT_EQ(parsed.options.has_value(), c.error.empty());
    if (!parsed.options) continue;
    EXPECT_EQ(parsed.options->line.kind, c.kind);
    EXPECT_EQ(parsed.options->line.path, c.path);
    EXPECT_EQ(parsed.options->line.baud, c.baud);
    EXPECT_EQ(parsed.options->line.flow, c.flow);
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

TEST(ProgramOptions, StopTimeoutIsWholeSecondsWithinAnHour) {
  struct Case {
    std::vector<std::string> args;
    int seconds;  // -1: refused
  } cases[] = {
      {{"N0CALL"}, 30},
      {{"--stop-timeout", "5", "N0CALL"}, 5},
      {{"--stop-timeout=0"}, 0},
      {{"--stop-timeout", "3600"}, 3600},
      {{"--stop-timeout", "3601"}, -1},
      {{"--stop-timeout", "-1"}, -1},
      {{"--stop-timeout", "2.5"}, -1},
      {{"--stop-timeout", ""}, -1},
      {{"--stop-timeout", "99999999999"}, -1},
      {{"--stop-timeout"}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front() + (c.args.size() > 1 ? " " + c.args[1] : ""));
    const ParsedProgramOptions parsed = ParseProgramOptions(c.args);
    ASSERT_EQ(parsed.options.has_value(), c.seconds >= 0) << parsed.error;
    if (parsed.options) {
      EXPECT_EQ(parsed.options->stopTimeoutSeconds, c.seconds);
    } else {
      EXPECT_NE(parsed.error.find("--stop-timeout"), std::string::npos) << parsed.error;
    }
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
