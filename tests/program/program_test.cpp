// tidewire as a process over real TCP: the loopback engine as a process
// (with ten radio ports, so ten links to its echo station can exist at
// once), a mail client's side (HostModeSession), and for incoming links a
// second station speaking the engine protocol itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <string>

#include "tests/e2e/agw_client.h"
#include "tests/program/program_rig.h"
#include "tools/hostmode_client/hostmode_session.h"

namespace tw::program_test {
namespace {

using hostmode::HostModeSession;

// Generous: a sanitizer build on a loaded machine.
constexpr Millis kWait{30000};

std::string Pattern(std::size_t size, unsigned seed) {
  std::string data;
  for (std::size_t i = 0; i < size; ++i) data += static_cast<char>((i * 31 + seed * 7 + i / 256) & 0xFF);
  return data;
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TempDirectory();
    ASSERT_FALSE(dir_.empty());
    std::string error;
    ASSERT_TRUE(engine_.Start(dir_, 0, {"--ports", "10"}, error)) << error;
    ASSERT_TRUE(tidewire_.Start(dir_, "N0CALL,1,true", engine_.port, error)) << error;
    ASSERT_TRUE(tidewire_.process.WaitForOutput("MyCall: N0CALL", kWait)) << "never registered";
  }

  void TearDown() override {
    if (HasFailure()) {
      const std::string engine = engine_.process.Output();
      std::cout << "--- tidewire:\n" << tidewire_.process.Output() << "--- engine (end):\n"
                << engine.substr(engine.size() - std::min<std::size_t>(engine.size(), 4000)) << "\n";
    }
    tidewire_.process.Kill();
    engine_.process.Kill();
    std::filesystem::remove_all(dir_);
  }

  void Open(HostModeSession& client) {
    ASSERT_TRUE(client.Open("127.0.0.1", tidewire_.listenPort, kWait)) << client.Error();
  }

  static void ConnectEcho(HostModeSession& client, char stream, int radioPort = 1) {
    client.SendCommand(stream, radioPort == 1 ? "C ECHO" : "C ECHO #" + std::to_string(radioPort));
    ASSERT_TRUE(client.WaitForStatus(stream, "*** CONNECTED to ECHO", kWait)) << stream;
  }

  // A station N0REM on the engine, connecting to tidewire's call.
  void ConnectRemote(e2e::AgwClient& remote) {
    std::string error;
    ASSERT_TRUE(remote.Connect(engine_.port, error)) << error;
    remote.Send('X', 1, "N0REM");
    ASSERT_TRUE(remote.WaitForKind('X', kWait));
    remote.Send('C', 1, "N0REM", "N0CALL");
    ASSERT_TRUE(remote.WaitForKind('C', kWait)) << remote.History();
  }

  static std::string Received(e2e::AgwClient& remote, std::size_t size) {
    std::string data;
    for (const Frame& frame : remote.ReceiveData("N0CALL", size, kWait)) data += frame.data;
    return data;
  }

  std::string dir_;
  LoopbackEngine engine_;
  Tidewire tidewire_;
};

TEST_F(ProgramTest, EchoSessionCarriesEveryByteValueBothWays) {
  HostModeSession client;
  ASSERT_NO_FATAL_FAILURE(Open(client));
  ASSERT_NO_FATAL_FAILURE(ConnectEcho(client, 'A'));
  const std::string payload = Pattern(256, 0) + Pattern(700, 3);  // 0..255 first, then FEND and FESC mixed in
  ASSERT_TRUE(client.SendData('A', payload));
  ASSERT_TRUE(client.WaitForData('A', payload.size(), kWait));
  EXPECT_TRUE(client.Data('A').bytes == payload) << "the echo differs";
  client.SendCommand('A', "D");
  EXPECT_TRUE(client.WaitForStatus('A', "*** DISCONNECTED", kWait));
}

TEST_F(ProgramTest, TenStreamsAtOnceKeepTheirDataApart) {
  HostModeSession client;
  ASSERT_NO_FATAL_FAILURE(Open(client));
  for (int i = 0; i < 10; ++i) ASSERT_NO_FATAL_FAILURE(ConnectEcho(client, static_cast<char>('A' + i), i + 1));
  std::string expected[10];
  for (unsigned round = 0; round < 4; ++round) {
    for (unsigned i = 0; i < 10; ++i) {
      const std::string chunk = Pattern(150 + 40 * i, round * 10 + i);
      ASSERT_TRUE(client.SendData(static_cast<char>('A' + i), chunk));
      expected[i] += chunk;
    }
  }
  for (int i = 0; i < 10; ++i) {
    const char stream = static_cast<char>('A' + i);
    ASSERT_TRUE(client.WaitForData(stream, expected[i].size(), kWait)) << stream;
    EXPECT_TRUE(client.Data(stream).bytes == expected[i]) << "stream " << stream << " got other data";
  }
}

TEST_F(ProgramTest, AnIncomingLinkTakesTheFirstFreeStream) {
  HostModeSession client;
  ASSERT_NO_FATAL_FAILURE(Open(client));
  ASSERT_NO_FATAL_FAILURE(ConnectEcho(client, 'A'));
  e2e::AgwClient remote("N0REM");
  ASSERT_NO_FATAL_FAILURE(ConnectRemote(remote));
  ASSERT_TRUE(client.WaitForStatus('B', "*** CONNECTED to N0REM", kWait));
  remote.Send('D', 1, "N0REM", "N0CALL", "hello client\r", 0xF0);
  ASSERT_TRUE(client.WaitForData('B', 13, kWait));
  EXPECT_EQ(client.Data('B').bytes, "hello client\r");
  EXPECT_TRUE(client.Data('A').bytes.empty());
  ASSERT_TRUE(client.SendData('B', "hello remote\r"));
  EXPECT_EQ(Received(remote, 13), "hello remote\r");
}

TEST_F(ProgramTest, AClientThatReconnectsFindsItsLinksAndWhatCameMeanwhile) {
  e2e::AgwClient remote("N0REM");
  {
    HostModeSession first;
    ASSERT_NO_FATAL_FAILURE(Open(first));
    ASSERT_NO_FATAL_FAILURE(ConnectRemote(remote));
    ASSERT_TRUE(first.WaitForStatus('A', "*** CONNECTED to N0REM", kWait));
    first.Close();
  }
  ASSERT_TRUE(tidewire_.process.WaitForOutput("client disconnect winsock close", kWait));
  remote.Send('D', 1, "N0REM", "N0CALL", "while you were away\r", 0xF0);
  ASSERT_TRUE(engine_.process.WaitForOutput("Kind[D]", kWait));  // with the bridge now

  HostModeSession second;  // host mode stays: no dialogue again
  ASSERT_TRUE(second.Connect("127.0.0.1", tidewire_.listenPort, kWait)) << second.Error();
  ASSERT_TRUE(second.WaitForData('A', 20, kWait));
  EXPECT_EQ(second.Data('A').bytes, "while you were away\r");
  second.SendCommand('0', "S");
  const auto status = second.WaitForReply('0', '0', "FREE BYTES", kWait);
  ASSERT_TRUE(status);
  EXPECT_NE(status->text.find("A/V stream - CONNECTED to N0REM"), std::string::npos) << status->text;
  ASSERT_TRUE(second.SendData('A', "back again\r"));
  EXPECT_EQ(Received(remote, 11), "back again\r");
}

TEST_F(ProgramTest, AfterTheEngineRestartsStreamsAreToldAndANewConnectWorks) {
  HostModeSession client;
  ASSERT_NO_FATAL_FAILURE(Open(client));
  ASSERT_NO_FATAL_FAILURE(ConnectEcho(client, 'A'));
  const std::uint16_t port = engine_.port;
  engine_.process.Kill();
  ASSERT_TRUE(client.WaitForStatus('A', "*** DISCONNECTED", kWait));
  std::string error;
  ASSERT_TRUE(engine_.Start(dir_, port, {"--ports", "10"}, error)) << error;
  // The control tries again every 5 s; after it gives up, the program's
  // supervisor switches it on every 10 s.
  ASSERT_TRUE(tidewire_.process.WaitForOutput("EVENT: PE is ready", Millis(120000), 2));
  ASSERT_NO_FATAL_FAILURE(ConnectEcho(client, 'A'));
  ASSERT_TRUE(client.SendData('A', "again\r"));
  ASSERT_TRUE(client.WaitForData('A', 6, kWait));
  EXPECT_EQ(client.Data('A').bytes, "again\r");
}

TEST_F(ProgramTest, SigtermDisconnectsTheLinksAtTheEngineAndEndsCleanly) {
  HostModeSession client;
  ASSERT_NO_FATAL_FAILURE(Open(client));
  ASSERT_NO_FATAL_FAILURE(ConnectEcho(client, 'A'));
  e2e::AgwClient remote("N0REM");
  ASSERT_NO_FATAL_FAILURE(ConnectRemote(remote));
  ASSERT_TRUE(client.WaitForStatus('B', "*** CONNECTED to N0REM", kWait));

  tidewire_.process.Signal(SIGTERM);
  EXPECT_EQ(tidewire_.process.WaitForExit(kWait), 0);
  EXPECT_TRUE(client.WaitClosed(kWait));
  EXPECT_TRUE(remote.WaitForKind('d', kWait));
  // Asked for by the bridge, before its connection to the engine ended.
  const std::string engine = engine_.process.Output();
  const std::size_t left = engine.find(") disconnected");
  for (const char* request : {"Kind[d] Port(1) From(N0CALL) To(ECHO)", "Kind[d] Port(1) From(N0CALL) To(N0REM)",
                              "Kind[x] Port(1) From(N0CALL)"}) {
    const std::size_t at = engine.find(request);
    EXPECT_TRUE(at != std::string::npos && at < left) << request;
  }
}

TEST(ProgramStart, StartUpErrorsEndWithStatusOne) {
  const std::string dir = TempDirectory();
  ASSERT_FALSE(dir.empty());
  setenv("TIDEWIRE_COM_REGISTRY", (dir + "/com-registry").c_str(), 1);
  // A copy of the program without the control beside it.
  const std::string lonely = dir + "/tidewire";
  std::filesystem::copy_file(BuildProgram("tidewire"), lonely);
  std::filesystem::create_symlink(BuildProgram("libtwcom.so"), dir + "/libtwcom.so");
  const struct {
    std::string program, commandLine, says;
  } cases[] = {
      {BuildProgram("tidewire"), "N0CALL,17", "ERROR"},
      {lonely, "N0CALL", "ERROR cannot create the control VOKAPIXControl.VOKAPIX"},
  };
  for (const auto& c : cases) {
    ChildProcess program;
    std::string error;
    ASSERT_TRUE(program.Start({c.program, "--listen-address", "127.0.0.1", c.commandLine}, dir + "/out", error));
    EXPECT_EQ(program.WaitForExit(kWait), 1) << c.commandLine;
    EXPECT_NE(program.Output().find(c.says), std::string::npos) << program.Output();
  }
  std::filesystem::remove_all(dir);
}

// Mistakes caught before anything starts: one line on standard error each,
// status 1 for the bridge's settings, 2 for the options themselves.
TEST(ProgramStart, MistakesOfTheCommandLineSayWhyInOneLine) {
  const struct {
    std::vector<std::string> args;
    int status;
    std::string says;
  } cases[] = {
      {{"N0CALL-99"}, 1, "ERROR the call-sign \"N0CALL-99\" is not an AX.25 address: a call-sign is 1 to 6"},
      {{"N0CALL", "1", "true", "8000", "8200"}, 1, "is several words: the fields are separated by commas: "
                                                   "mycall,defport,acceptany,engineport,listenport, as in "
                                                   "N0CALL,1,true,8000,8200"},
      {{"--log", "/nonexistent-dir/tw.log", "N0CALL"}, 1, "ERROR cannot open the log file /nonexistent-dir/tw.log"},
      {{"--bogus", "N0CALL"}, 2, ": unknown option --bogus (see "},
      {{"--console", "--stop-timeout"}, 2, ": --stop-timeout needs a value (see "},
  };
  const std::string dir = TempDirectory();
  ASSERT_FALSE(dir.empty());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.front());
    ChildProcess program;
    std::string error;
    std::vector<std::string> argv{BuildProgram("tidewire")};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    ASSERT_TRUE(program.Start(argv, dir + "/out", error)) << error;
    EXPECT_EQ(program.WaitForExit(kWait), c.status);
    const std::string output = program.Output();
    EXPECT_NE(output.find(c.says), std::string::npos) << output;
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tw::program_test
