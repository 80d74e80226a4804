// tidewire serving its client on a pseudo-terminal: a client opens the link
// as a serial-port program would, plays the terminal dialogue into host
// mode and talks to the loopback engine's echo station; a second client
// finds the link state the first one left; at the end the link is gone.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "tests/program/program_rig.h"
#include "tools/hostmode_client/hostmode_session.h"

namespace tw::program_test {
namespace {

namespace fs = std::filesystem;
using hostmode::HostModeSession;
using namespace std::string_literals;

constexpr Millis kWait{30000};

TEST(LineProgramTest, AClientOnThePseudoTerminalReachesTheEchoStation) {
  const std::string dir = TempDirectory();
  ASSERT_FALSE(dir.empty());
  const std::string link = dir + "/kam";
  std::string error;
  LoopbackEngine engine;
  ASSERT_TRUE(engine.Start(dir, 0, {}, error)) << error;
  // The control from this build, side by side, whatever a user registered.
  ::setenv("TIDEWIRE_COM_REGISTRY", (dir + "/com-registry").c_str(), 1);
  ChildProcess tidewire;
  ASSERT_TRUE(tidewire.Start({BuildProgram("tidewire"), "--console", "--pty", link,
                              "N0CALL,1,true," + std::to_string(engine.port)},
                             dir + "/tidewire.log", error))
      << error;
  struct Dump {
    ChildProcess& process;
    ~Dump() {
      if (::testing::Test::HasFailure()) std::cout << "--- tidewire:\n" << process.Output();
    }
  } dump{tidewire};

  ASSERT_TRUE(tidewire.WaitForOutput("listening for the client on pseudo-terminal " + link + " (/dev/pts/", kWait));
  ASSERT_TRUE(tidewire.WaitForOutput("MyCall: N0CALL", kWait));
  ASSERT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(tidewire.Output().find(" port 8200"), std::string::npos) << "listening on TCP as well";

  {
    HostModeSession client;
    ASSERT_TRUE(client.OpenLine(link)) << client.Error();
    ASSERT_TRUE(client.EnterHostMode(kWait)) << client.Error();
    ASSERT_TRUE(tidewire.WaitForOutput("accept winsock connection from client", kWait));
    client.SendCommand('A', "C ECHO");
    ASSERT_TRUE(client.WaitForStatus('A', "*** CONNECTED to ECHO", kWait));
    std::string payload;
    for (int i = 0; i < 256; ++i) payload += static_cast<char>(i);
    payload += "\xC0\xDB\x11\x13\r\n"s + std::string(1, '\0') + payload;
    ASSERT_TRUE(client.SendData('A', payload));
    ASSERT_TRUE(client.WaitForData('A', payload.size(), kWait));
    EXPECT_TRUE(client.Data('A').bytes == payload) << "the echo differs";
  }
  ASSERT_TRUE(tidewire.WaitForOutput("client disconnect winsock close", kWait));

  // The next client: host mode and the link to ECHO are still there.
  HostModeSession next;
  ASSERT_TRUE(next.OpenLine(link)) << next.Error();
  ASSERT_TRUE(tidewire.WaitForOutput("accept winsock connection from client", kWait, 2));
  next.SendCommand('A', "D");
  EXPECT_TRUE(next.WaitForStatus('A', "*** DISCONNECTED", kWait));

  tidewire.Signal(SIGTERM);
  EXPECT_EQ(tidewire.WaitForExit(kWait), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "the link outlived the program";
  next.Close();
  engine.process.Kill();
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tw::program_test
