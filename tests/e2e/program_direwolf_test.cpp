// tidewire end to end over a real packet engine: a mail client's side drives
// tidewire, which uses Dire Wolf A; the station it calls is a raw engine
// client on Dire Wolf B, whose modem hears A's.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "tests/e2e/agw_client.h"
#include "tests/e2e/direwolf_pair.h"
#include "tests/e2e/direwolf_test.h"
#include "tests/e2e/e2e_settings.h"
#include "tests/program/program_rig.h"
#include "tools/hostmode_client/hostmode_session.h"

namespace tw::e2e {
namespace {

using hostmode::HostModeSession;
using program_test::Millis;
using Clock = std::chrono::steady_clock;

// 2000 bytes take about 15 s of air time at 1200 baud, more with the
// acknowledgements; the limit leaves room for a loaded machine.
constexpr std::chrono::seconds kMessageTimeout{180};

class ProgramDirewolfTest : public DirewolfTest {
 protected:
  void SetUp() override {
    DirewolfTest::SetUp();
    if (IsSkipped()) return;
    std::string whyNot;
    dir_ = program_test::TempDirectory();
    ASSERT_FALSE(dir_.empty());
    // Two modems on a loaded machine may take longer than the default stop
    // timeout to send a message.
    ASSERT_TRUE(tidewire_.Start(dir_, CallA() + ",1,true", pair_->A().agwPort, whyNot, {"--stop-timeout", "150"}))
        << whyNot;
    ASSERT_TRUE(tidewire_.process.WaitForOutput("MyCall: " + CallA(), kConnectTimeout)) << "never registered";
    ASSERT_TRUE(station_.Connect(pair_->B().agwPort, whyNot)) << whyNot;
    station_.Send('X', 1, CallB());
    ASSERT_TRUE(station_.WaitForKind('X', kConnectTimeout));
    ASSERT_TRUE(client_.Open("127.0.0.1", tidewire_.listenPort, Millis(30000))) << client_.Error();
  }

  void TearDown() override {
    DirewolfTest::TearDown();
    tidewire_.process.Kill();
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  std::string Report() override {
    return "--- tidewire:\n" + tidewire_.process.Output() + "--- station B:\n" + station_.History();
  }

  const std::string& CallA() const { return pair_->A().call; }
  const std::string& CallB() const { return pair_->B().call; }

  void ConnectStreamA() {
    client_.SendCommand('A', "C " + CallB());
    ASSERT_TRUE(client_.WaitForStatus('A', "*** CONNECTED to " + CallB(), kConnectTimeout));
    ASSERT_TRUE(station_.WaitForKind('C', kConnectTimeout)) << "B never reported the link";
  }

  std::string dir_;
  program_test::Tidewire tidewire_;
  AgwClient station_{"B"};
  HostModeSession client_;
};

TEST_F(ProgramDirewolfTest, MessageSentAndDisconnectedAtOnceArrivesWhole) {
  ASSERT_NO_FATAL_FAILURE(ConnectStreamA());
  std::string message;
  for (std::size_t i = 0; i < 2000; ++i) message += static_cast<char>((i * 7 + i / 256) & 0xFF);
  message[0] = '\xC0';  // FEND and FESC in the data
  message[1] = '\xDB';

  const auto start = Clock::now();
  ASSERT_TRUE(client_.SendData('A', message));
  client_.SendCommand('A', "D");
  std::string received;
  for (const Frame& frame : station_.ReceiveData(CallA(), message.size(), kMessageTimeout)) received += frame.data;
  const bool disconnected = client_.WaitForStatus('A', "*** DISCONNECTED", kMessageTimeout).has_value();
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  std::cout << "sent " << message.size() << " bytes, received " << received.size() << " bytes, " << took
            << " s from the first block to *** DISCONNECTED\n";
  EXPECT_TRUE(received == message) << "received " << received.size() << " bytes, not the message";
  EXPECT_TRUE(disconnected);
  EXPECT_TRUE(station_.WaitForKind('d', kDisconnectTimeout)) << "B never saw the link end";
}

// Stopped 0.2 s after the client disconnected: the program waits until Dire
// Wolf has sent the message, then ends with status 0.
TEST_F(ProgramDirewolfTest, StoppedRightAfterTheMessageItStillArrivesWhole) {
  ASSERT_NO_FATAL_FAILURE(ConnectStreamA());
  std::string message;
  for (std::size_t i = 0; i < 2000; ++i) message += static_cast<char>((i * 13 + i / 256) & 0xFF);

  ASSERT_TRUE(client_.SendData('A', message));
  client_.SendCommand('A', "D");
  std::this_thread::sleep_for(Millis(200));
  const auto signalled = Clock::now();
  tidewire_.process.Signal(SIGTERM);
  std::string received;
  for (const Frame& frame : station_.ReceiveData(CallA(), message.size(), kMessageTimeout)) received += frame.data;
  const std::optional<int> status = tidewire_.process.WaitForExit(kMessageTimeout);
  const double took = std::chrono::duration<double>(Clock::now() - signalled).count();
  std::cout << "received " << received.size() << " of " << message.size() << " bytes, tidewire ended " << took
            << " s after SIGTERM\n";
  EXPECT_TRUE(received == message) << "received " << received.size() << " bytes, not the message";
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(station_.WaitForKind('d', kDisconnectTimeout)) << "B never saw the link end";
  const std::string log = tidewire_.process.Output();
  EXPECT_NE(log.find("waiting for 1 links to send what they hold"), std::string::npos) << log;
  EXPECT_NE(log.find("stream A link to " + CallB() + " ended, 0 left"), std::string::npos) << log;
}

TEST_F(ProgramDirewolfTest, RemoteDisconnectFreesTheStream) {
  ASSERT_NO_FATAL_FAILURE(ConnectStreamA());
  station_.Send('d', 1, CallB(), CallA());
  ASSERT_TRUE(client_.WaitForStatus('A', "*** DISCONNECTED", kDisconnectTimeout));
  client_.SendCommand('0', "S");
  const auto status = client_.WaitForReply('0', '0', "FREE BYTES", Millis(30000));
  ASSERT_TRUE(status);
  EXPECT_NE(status->text.find("A/V stream - DISCONNECTED"), std::string::npos) << status->text;
}

TEST_F(ProgramDirewolfTest, SsidZeroIsTheBareCallAndDataIsMeteredUntilAcked) {
  // Dire Wolf compares the called address with the registered text: the
  // call must be registered bare, or the caller gets no answer.
  client_.SendCommand('0', "MY " + CallA() + "-0");
  ASSERT_TRUE(client_.WaitForReply('0', '0', "", Millis(30000)));
  ASSERT_TRUE(tidewire_.process.WaitForOutput("MyCall: " + CallA(), kConnectTimeout, 2));
  station_.Send('C', 1, CallB(), CallA());
  ASSERT_TRUE(client_.WaitForStatus('A', "*** CONNECTED to " + CallB(), kConnectTimeout)) << station_.History();

  std::string message;
  for (std::size_t i = 0; i < 1000; ++i) message += static_cast<char>('a' + i % 26);
  ASSERT_TRUE(client_.SendData('A', message));
  std::string line;
  int metered = 0;
  const auto until = Clock::now() + kMessageTimeout;
  do {
    client_.SendCommand('0', "S");
    const auto status = client_.WaitForReply('0', '0', "FREE BYTES", Millis(30000));
    ASSERT_TRUE(status);
    const std::size_t at = status->text.find("\rA/V ");
    ASSERT_NE(at, std::string::npos) << status->text;
    line = status->text.substr(at + 1, status->text.find('\r', at + 1) - at - 1);
    if (line[4] == '#') {
      if (metered++ == 0) std::cout << "metered: " << line << "\n";
      client_.Pump(Millis(500), [] { return false; });
    }
  } while (line[4] == '#' && Clock::now() < until);
  EXPECT_GT(metered, 0);
  EXPECT_EQ(line, "A/V stream - CONNECTED to " + CallB());
  std::string received;
  for (const Frame& frame : station_.ReceiveData(CallA(), message.size(), kDataTimeout)) received += frame.data;
  EXPECT_TRUE(received == message) << "received " << received.size() << " bytes";
}

}  // namespace
}  // namespace tw::e2e
