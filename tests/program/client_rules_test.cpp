// The rules by which real mail clients pace themselves from the status
// reply, replayed against tidewire and a loopback engine that takes a
// radio's time (9600 baud): one client holds its data while more than three
// frames are unacknowledged, reading "#bytes(frames)" from the fifth
// character of the stream's line; another waits for a line without "#"
// before it disconnects.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "tests/e2e/agw_client.h"
#include "tests/program/program_rig.h"
#include "tools/hostmode_client/hostmode_session.h"

namespace tw::program_test {
namespace {

using hostmode::HostModeSession;

constexpr Millis kWait{30000};
constexpr Millis kStatusEvery{100};
constexpr std::size_t kBlock = 128;

std::string Pattern(std::size_t size) {
  std::string data;
  for (std::size_t i = 0; i < size; ++i) data += static_cast<char>((i * 7 + i / 251) & 0xFF);
  return data;
}

// Stream A's line of a status reply, as a client reads it.
struct StreamLine {
  std::string text;
  bool metered = false;  // '#' at the fifth character
  int bytes = 0;
  int frames = 0;
};

class ClientRules : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TempDirectory();
    ASSERT_FALSE(dir_.empty());
    std::string error;
    ASSERT_TRUE(engine_.Start(dir_, 0, {"--baud", "9600"}, error)) << error;
    ASSERT_TRUE(tidewire_.Start(dir_, "N0CALL,1,true", engine_.port, error)) << error;
    ASSERT_TRUE(tidewire_.process.WaitForOutput("MyCall: N0CALL", kWait)) << "never registered";
    ASSERT_TRUE(client_.Open("127.0.0.1", tidewire_.listenPort, kWait)) << client_.Error();
  }

  void TearDown() override {
    if (HasFailure()) std::cout << "--- tidewire:\n" << tidewire_.process.Output() << "\n";
    tidewire_.process.Kill();
    engine_.process.Kill();
    std::filesystem::remove_all(dir_);
  }

  // The station N0REM on the engine; stream A connects to it as N0REM-0,
  // which must reach the engine as the bare call the station registered.
  void ConnectRemote() {
    std::string error;
    ASSERT_TRUE(remote_.Connect(engine_.port, error)) << error;
    remote_.Send('X', 1, "N0REM");
    ASSERT_TRUE(remote_.WaitForKind('X', kWait));
    client_.SendCommand('A', "C N0REM-0");
    ASSERT_TRUE(client_.WaitForStatus('A', "*** CONNECTED to N0REM", kWait)) << remote_.History();
  }

  StreamLine Status() {
    StreamLine line;
    client_.SendCommand('0', "S", '1');
    auto reply = client_.WaitForReply('0', '0', "FREE BYTES", kWait);
    if (!reply) {
      ADD_FAILURE() << "no status reply";
      return line;
    }
    const std::string& text = reply->text;
    EXPECT_EQ(text.substr(0, 15), "FREE BYTES 936\r");
    const std::size_t at = text.find("\rA/V ");
    if (at == std::string::npos) {
      ADD_FAILURE() << "no line for stream A in " << text;
      return line;
    }
    line.text = text.substr(at + 1, text.find('\r', at + 1) - at - 1);
    line.metered = line.text.size() > 4 && line.text[4] == '#';
    if (line.metered) {
      EXPECT_EQ(std::sscanf(line.text.c_str() + 4, "#%d(%d) ", &line.bytes, &line.frames), 2) << line.text;
      // The rest of the line is as without the meter.
      const std::size_t rest = line.text.find(") ");
      EXPECT_EQ(line.text.substr(rest + 2), "stream - CONNECTED to N0REM") << line.text;
    }
    return line;
  }

  void Pause(Millis time) {
    client_.Pump(time, [] { return false; });
  }

  std::string dir_;
  LoopbackEngine engine_;
  Tidewire tidewire_;
  HostModeSession client_;
  e2e::AgwClient remote_{"N0REM"};
};

TEST_F(ClientRules, AClientThatHoldsWhileMoreThanThreeFramesAreOutGetsAllItsDataThrough) {
  ASSERT_NO_FATAL_FAILURE(ConnectRemote());
  const std::string payload = Pattern(4000);
  std::size_t sent = 0;
  int holds = 0;
  int mostFrames = 0;
  while (sent < payload.size()) {
    const StreamLine line = Status();
    if (line.metered) {
      mostFrames = std::max(mostFrames, line.frames);
      EXPECT_GT(line.frames, 0) << line.text;
      EXPECT_LE(line.bytes, line.frames * static_cast<int>(kBlock)) << line.text;
      EXPECT_GT(line.bytes, 0) << line.text;
    }
    if (line.metered && line.frames > 3) {
      ++holds;
      ASSERT_LT(holds, 600) << "held for a minute: " << line.text;
      Pause(kStatusEvery);
      continue;
    }
    ASSERT_TRUE(client_.SendData('A', std::string_view(payload).substr(sent, kBlock)));
    sent += kBlock;
  }
  std::string arrived;
  for (const Frame& frame : remote_.ReceiveData("N0CALL", payload.size(), kWait)) arrived += frame.data;
  EXPECT_TRUE(arrived == payload) << "arrived " << arrived.size() << " of " << payload.size();
  EXPECT_GT(holds, 0) << "the meter never made the client wait";
  EXPECT_GT(mostFrames, 3);
  // Once all is through the meter goes away.
  StreamLine line;
  for (int i = 0; i < 50 && (line = Status()).metered; ++i) Pause(kStatusEvery);
  EXPECT_EQ(line.text, "A/V stream - CONNECTED to N0REM");
}

TEST_F(ClientRules, WaitingForNoUnackedDataDeliversEverything) {
  ASSERT_NO_FATAL_FAILURE(ConnectRemote());
  const std::string payload = Pattern(2000);
  ASSERT_TRUE(client_.SendData('A', payload));
  int metered = 0;
  StreamLine line;
  for (int polls = 0; (line = Status()).metered; ++polls) {
    ASSERT_LT(polls, 600) << "still unacknowledged after a minute: " << line.text;
    ++metered;
    Pause(kStatusEvery);
  }
  EXPECT_GT(metered, 0) << "the data was never shown as unacknowledged";
  EXPECT_EQ(line.text, "A/V stream - CONNECTED to N0REM");
  // Everything is at the far end before the client disconnects.
  std::string arrived;
  for (const Frame& frame : remote_.ReceiveData("N0CALL", payload.size(), Millis(2000))) arrived += frame.data;
  EXPECT_TRUE(arrived == payload) << "arrived " << arrived.size() << " of " << payload.size();
  client_.SendCommand('A', "D");
  EXPECT_TRUE(client_.WaitForStatus('A', "*** DISCONNECTED", kWait));
  EXPECT_TRUE(remote_.WaitForKind('d', kWait)) << remote_.History();
}

}  // namespace
}  // namespace tw::program_test
