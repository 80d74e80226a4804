// The session and the program against a scripted bridge on loopback TCP.
// Timeouts are generous; nothing here depends on how fast the machine is.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "fake_bridge.h"
#include "tools/hostmode_client/client_command.h"
#include "tools/hostmode_client/client_run.h"
#include "tools/hostmode_client/hostmode_session.h"

namespace tw::hostmode {
namespace {

using testing::Behaviour;
using testing::FakeBridge;
using namespace std::chrono_literals;

TEST(HostModeSession, DrivesTheBridgeAsAMailClient) {
  FakeBridge bridge;
  HostModeSession client;
  ASSERT_TRUE(client.Open("127.0.0.1", bridge.Port())) << client.Error();
  EXPECT_EQ(bridge.TerminalBytes(), "\rINTFACE HOST\rRESET\r");

  ASSERT_TRUE(client.SendCommand('A', "C ECHO"));
  EXPECT_TRUE(client.WaitForReply('1', 'A', "", 10s));
  EXPECT_TRUE(client.WaitForStatus('A', "*** CONNECTED to ECHO", 10s));

  const std::string payload = PatternBytes(256 * 4);
  ASSERT_TRUE(client.SendData('A', payload));
  ASSERT_TRUE(client.WaitForData('A', payload.size(), 10s));
  EXPECT_EQ(client.Data('A').bytes, payload);
  EXPECT_EQ(client.Data('A').largestBlock, 128u);

  ASSERT_TRUE(client.SendCommand(kNoStream, "S"));
  auto status = client.WaitForReply('0', '0', "FREE BYTES 936\r", 10s);
  ASSERT_TRUE(status);
  EXPECT_NE(status->text.find("A/V stream - CONNECTED to ECHO\r"), std::string::npos);

  ASSERT_TRUE(client.SendGlobal('q'));
  EXPECT_TRUE(client.WaitForText("INTFACE was HOST\rcmd:\r", 10s));
  auto blocks = bridge.Blocks();
  ASSERT_FALSE(blocks.empty());
  EXPECT_EQ(blocks.back(), (HostBlock{'q', '\0', '\0', "", 1}));
}

TEST(HostModeSession, SaysWhatTheBridgeFailedToAnswer) {
  struct Case {
    Behaviour behaviour;
    std::string said;
  };
  const Case cases[] = {
      {Behaviour::Silent, "\"cmd:\" after CR"},
      {Behaviour::NoResetAnswer, "\"S00\""},
      {Behaviour::CloseAtOnce, "closed"},
  };
  for (const Case& c : cases) {
    FakeBridge bridge(c.behaviour);
    HostModeSession client;
    ASSERT_TRUE(client.Connect("127.0.0.1", bridge.Port(), 10s)) << client.Error();
    EXPECT_FALSE(client.EnterHostMode(1s));
    EXPECT_NE(client.Error().find(c.said), std::string::npos) << client.Error();
  }

  std::uint16_t unused;
  {
    FakeBridge gone(Behaviour::CloseAtOnce);
    unused = gone.Port();
  }
  HostModeSession client;
  EXPECT_FALSE(client.Connect("127.0.0.1", unused, 10s));
  EXPECT_FALSE(client.Error().empty());
}

// The program's loop with a script of lines, as from --script.
int RunScript(std::uint16_t port, std::chrono::seconds timeout, const std::vector<std::string>& script,
              std::string& out, std::string& err) {
  ClientOptions options;
  options.port = port;
  options.timeout = timeout;
  LineQueue lines;
  for (const std::string& line : script) lines.Push(line);
  lines.Finish();
  std::ostringstream outText, errText;
  int status = RunClient(options, lines, outText, errText);
  out = outText.str();
  err = errText.str();
  return status;
}

TEST(HostModeSession, LeavingReadsWhatTheBridgeStillSends) {
  struct Case {
    Behaviour behaviour;
    bool closedByBridge;
    std::string dataAfterLeaving;
  };
  const Case cases[] = {
      {Behaviour::LastWords, true, "last words"},
      {Behaviour::Bridge, false, ""},  // never closes its side: Leave gives up
  };
  for (const Case& c : cases) {
    FakeBridge bridge(c.behaviour);
    HostModeSession client;
    ASSERT_TRUE(client.Open("127.0.0.1", bridge.Port())) << client.Error();
    std::string data;
    client.OnReceived = [&data](const Received& item) {
      if (item.kind == Received::Kind::Block && item.block.kind == 'D') data += item.block.text;
    };
    EXPECT_EQ(client.Leave(2s), c.closedByBridge) << static_cast<int>(c.behaviour);
    EXPECT_EQ(data, c.dataAfterLeaving) << static_cast<int>(c.behaviour);
    EXPECT_FALSE(client.IsOpen());
    EXPECT_FALSE(client.Leave(2s)) << "nothing left to leave";
  }
}

TEST(RunClient, CarriesOutAScriptAndPrintsWhatArrives) {
  FakeBridge bridge;
  std::string out, err;
  int status = RunScript(bridge.Port(), 10s,
                         {"connect ECHO via RELAY", "wait 10 for CONNECTED", "stream B", "bogus-free text",
                          "stream A", "sendbytes 3", "conect typo", "wait 10 for conect typo", "status",
                          "wait 10 for FREE BYTES", "quit", "send never sent"},
                         out, err);
  EXPECT_EQ(status, 0) << err;
  EXPECT_EQ(err, "");
  for (const char* line : {"< [S1A] *** CONNECTED to ECHO V RELAY\n", "< [D1B] 16 bytes: bogus-free text\\x0D\n",
                           "< [D1A] 3 bytes: \\x00\\x01\\x02\n", "< [D1A] 12 bytes: conect typo\\x0D\n",
                           "< [C00] FREE BYTES 936\\x0D\n", "> [q]\n"}) {
    EXPECT_NE(out.find(line), std::string::npos) << line << " not in\n" << out;
  }
  EXPECT_EQ(out.find("never sent"), std::string::npos);
  // The answer to quit is read before closing, so the bridge sees a clean close, not a reset.
  EXPECT_NE(out.find("INTFACE was HOST", out.find("> [q]")), std::string::npos) << out;
  ASSERT_TRUE(bridge.WaitClientGone(10s));
  auto blocks = bridge.Blocks();
  ASSERT_FALSE(blocks.empty());
  EXPECT_EQ(blocks.back().kind, 'q');
}

TEST(RunClient, FailsWithStatusOneWithoutHostMode) {
  FakeBridge bridge(Behaviour::Silent);
  std::string out, err;
  EXPECT_EQ(RunScript(bridge.Port(), 1s, {"status"}, out, err), 1);
  EXPECT_NE(err.find("--no-reset"), std::string::npos) << err;
}

}  // namespace
}  // namespace tw::hostmode
