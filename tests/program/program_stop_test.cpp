// Stopping tidewire while a link still holds a message: the loopback engine
// paced like a radio, a station N0REM on it, and a mail client that sends
// 2000 bytes and disconnects; the program is told to stop 0.2 s later.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

#include "tests/e2e/agw_client.h"
#include "tests/program/program_rig.h"
#include "tools/hostmode_client/hostmode_session.h"

namespace tw::program_test {
namespace {

using hostmode::HostModeSession;
using Clock = std::chrono::steady_clock;

constexpr Millis kWait{30000};
// 2000 bytes at 1200 baud are about 13.3 s on the air.
constexpr Millis kMessageWait{90000};

std::size_t Count(const std::string& text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(ProgramStop, TheLinksSendWhatTheyHoldBeforeTheProgramEnds) {
  const std::string cutLine = ", cutting what the links still hold: stream A to N0REM";
  struct Case {
    std::string name;
    std::string baud;         // the engine's pace
    std::string stopTimeout;  // empty: the default
    int signal;
    bool secondSignal;
    bool whole;         // the station receives all 2000 bytes
    std::string ends;   // the line that ends the wait
  } cases[] = {
      {"the drain ends by itself", "1200", "", SIGTERM, false, true, "stream A link to N0REM ended, 0 left"},
      // At 10 baud the first frame alone takes minutes: the count never falls.
      {"the bound ends the wait", "10", "2", SIGTERM, false, false, "stop timeout of 2 s reached" + cutLine},
      {"a second signal ends the wait", "10", "", SIGTERM, true, false, "asked again to stop" + cutLine},
      // The terminal went away: the same shutdown, drain included.
      {"SIGHUP stops as SIGTERM does", "10", "1", SIGHUP, false, false, "stop timeout of 1 s reached" + cutLine},
  };
  std::string message;
  for (std::size_t i = 0; i < 2000; ++i) message += static_cast<char>((i * 7 + i / 256) & 0xFF);

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string dir = TempDirectory();
    ASSERT_FALSE(dir.empty());
    LoopbackEngine engine;
    Tidewire tidewire;
    std::string error;
    ASSERT_TRUE(engine.Start(dir, 0, {"--baud", c.baud}, error)) << error;
    std::vector<std::string> options;
    if (!c.stopTimeout.empty()) options = {"--stop-timeout", c.stopTimeout};
    ASSERT_TRUE(tidewire.Start(dir, "N0CALL,1,true", engine.port, error, options)) << error;
    ASSERT_TRUE(tidewire.process.WaitForOutput("MyCall: N0CALL", kWait)) << "never registered";

    e2e::AgwClient station("N0REM");
    ASSERT_TRUE(station.Connect(engine.port, error)) << error;
    station.Send('X', 1, "N0REM");
    ASSERT_TRUE(station.WaitForKind('X', kWait));
    HostModeSession client;
    ASSERT_TRUE(client.Open("127.0.0.1", tidewire.listenPort, kWait)) << client.Error();
    client.SendCommand('A', "C N0REM");
    ASSERT_TRUE(client.WaitForStatus('A', "*** CONNECTED to N0REM", kWait));

    ASSERT_TRUE(client.SendData('A', message));
    client.SendCommand('A', "D");
    std::this_thread::sleep_for(Millis(200));
    const auto signalled = Clock::now();
    tidewire.process.Signal(c.signal);
    ASSERT_TRUE(tidewire.process.WaitForOutput("waiting for 1 links to send what they hold", kWait));
    if (c.secondSignal) tidewire.process.Signal(c.signal);

    std::string received;
    if (c.whole) {
      for (const auto& frame : station.ReceiveData("N0CALL", message.size(), kMessageWait)) {
        received += frame.data;
      }
    }
    EXPECT_EQ(tidewire.process.WaitForExit(kMessageWait), 0);
    const double took = std::chrono::duration<double>(Clock::now() - signalled).count();
    EXPECT_TRUE(station.WaitForKind('d', kWait)) << "the link never ended";
    const std::string log = tidewire.process.Output();
    std::cout << c.name << ": received " << received.size() << " of " << message.size() << " bytes, exit "
              << took << " s after the signal\n";
    if (c.whole) {
      EXPECT_TRUE(received == message) << "received " << received.size() << " bytes, not the message";
    } else {
      EXPECT_GE(took, c.stopTimeout.empty() ? 0.0 : std::stod(c.stopTimeout));
    }
    EXPECT_EQ(Count(log, c.ends), 1u) << log;
    EXPECT_EQ(Count(log, "cutting what the links still hold"), c.whole ? 0u : 1u) << log;
    if (HasFailure()) {
      std::cout << "--- tidewire:\n" << log;
    } else if (const std::size_t at = log.find("shutting down"); at != std::string::npos) {
      std::cout << log.substr(at);
    }
    tidewire.process.Kill();
    engine.process.Kill();
    std::filesystem::remove_all(dir);
  }
}

}  // namespace
}  // namespace tw::program_test
