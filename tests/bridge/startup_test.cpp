// Start-up, shutdown and the client connection.
#include <gtest/gtest.h>

#include "tests/bridge/bridge_harness.h"

namespace tw::testing {
namespace {

TEST_F(BridgeTest, StartUpShowsTheSettingsSetsUpTheControlAndListens) {
  ASSERT_EQ(core.initvars({"n0call,2,0,8001,8201", false, "engine.local", "127.0.0.1"}), "");
  EXPECT_EQ(control.TakeCalls(), "Address engine.local;Port 8001;Enabled 1;Active 1;AX25 1");
  EXPECT_EQ(view.port, " 2");
  EXPECT_EQ(view.accept, " 2");
  EXPECT_EQ(Socket().LocalPort(), 8201);
  EXPECT_EQ(Socket().localAddress, "127.0.0.1");
  EXPECT_TRUE(Socket().keepAlive && Socket().keepListening);
  EXPECT_EQ(view.lines, (std::vector<std::string>{
                            "settings: call N0CALL, default radio port 2, accept radio port 2 only, engine "
                            "engine.local:8001, listen 127.0.0.1:8201",
                            "listening for the client on 127.0.0.1 port 8201"}));
  EXPECT_FALSE(core.hostmode());

  BridgeHarness plain;
  ASSERT_EQ(plain.core.initvars({"N0CALL,1,1,8000,8200,9", true, {}, {}}), "");
  EXPECT_EQ(plain.control.TakeCalls(), "Port 8000;Enabled 1;Active 1;AX25 1");
  EXPECT_EQ(plain.view.accept, "ANY");
  EXPECT_TRUE(plain.Logged(
      "ERROR too many command line arguments (the fields are separated by commas: "
      "mycall,defport,acceptany,engineport,listenport; the first five are used: N0CALL,1,true,8000,8200)"));
  // Every interface: anyone on the network could use the call.
  EXPECT_TRUE(plain.Logged(
      "WARNING listening on 0.0.0.0: anyone who can reach port 8200 can transmit under N0CALL; "
      "--listen-address 127.0.0.1 keeps it to this machine"));
  EXPECT_TRUE(plain.core.hostmode());
}

TEST_F(BridgeTest, WithoutACallOneLineSaysTheClientMustSetIt) {
  ASSERT_EQ(core.initvars({"", false, {}, "127.0.0.1"}), "");
  EXPECT_EQ(view.lines.at(0), "no call-sign given: the mail client must set MYCALL before any link can be made");
  EXPECT_EQ(std::count(view.lines.begin(), view.lines.end(), view.lines.at(0)), 1);

  BridgeHarness named;
  ASSERT_EQ(named.core.initvars({"N0CALL", false, {}, "127.0.0.1"}), "");
  EXPECT_FALSE(named.Logged("no call-sign given: the mail client must set MYCALL before any link can be made"));
}

TEST_F(BridgeTest, ACallThatIsNoAddressStopsTheStartWithTheControlOff) {
  EXPECT_NE(core.initvars({"N0CALL-99", false, {}, {}}).find("is not an AX.25 address"), std::string::npos);
  EXPECT_EQ(control.TakeCalls(), "");
}

TEST_F(BridgeTest, StartUpErrorsLeaveTheControlOff) {
  EXPECT_NE(core.initvars({"N0CALL,0", false, {}, {}}), "");
  EXPECT_EQ(control.TakeCalls(), "");

  BridgeHarness taken;
  taken.loop.listenSockets.at(0)->refuseListen = true;
  taken.loop.listenSockets.at(0)->listenError = "Address already in use";
  EXPECT_EQ(taken.core.initvars({"N0CALL", false, {}, {}}),
            "cannot listen for the client on 0.0.0.0 port 8200: address already in use (another Tidewire?)");
  EXPECT_EQ(taken.control.TakeCalls(),
            "Port 8000;Enabled 1;Active 1;AX25 1;VOKUnRegister N0CALL;Active 0;Enabled 0");
}

TEST_F(BridgeTest, AClientOnATerminalLineIsNamedByItsPlace) {
  struct Case {
    bool opens;
    std::string place;  // what the line calls itself
    std::string result, line;
  } cases[] = {
      {true, "pseudo-terminal /tmp/kam (/dev/pts/3), no TCP listener", "",
       "settings: call N0CALL, default radio port 1, accept any radio port, engine 127.0.0.1:8000, client on "
       "pseudo-terminal /tmp/kam (/dev/pts/3), no TCP listener\n"
       "listening for the client on pseudo-terminal /tmp/kam (/dev/pts/3), no TCP listener"},
      {false, "serial line /dev/ttyS0 at 9600 baud 8N1, no flow control: Permission denied",
       "cannot listen for the client on serial line /dev/ttyS0 at 9600 baud 8N1, no flow control: Permission denied",
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.place);
    BridgeHarness harness;
    harness.Socket().place = c.place;
    harness.Socket().refuseListen = !c.opens;
    EXPECT_EQ(harness.core.initvars({"N0CALL", false, {}, {}}), c.result);
    std::string logged;
    for (const std::string& line : harness.view.lines) logged += (logged.empty() ? "" : "\n") + line;
    EXPECT_EQ(logged, c.line);
  }
}

TEST_F(BridgeTest, ShutdownInTheWrittenOrderAndNothingAfterIt) {
  StartHost();
  const std::int32_t id = Outgoing('A', "NOBODY-1");
  core.Form_Unload();
  EXPECT_EQ(control.TakeCalls(), "VOKUnRegister N0CALL;Active 0;Enabled 0");
  EXPECT_EQ(view.myCall, "");
  EXPECT_FALSE(Socket().ClientConnected());
  EXPECT_FALSE(Socket().Listening());
  Ended(id);
  core.OnReady(false);
  core.OnError();
  SupervisorTimer().Fire();
  EXPECT_TRUE(core.Held().Empty());
  EXPECT_EQ(control.TakeCalls(), "");
  core.Form_Unload();
  EXPECT_EQ(control.TakeCalls(), "");
}

TEST_F(BridgeTest, ASecondClientIsRefusedAndTheFirstKeepsItsConnection) {
  StartHost();
  Socket().requestAddress = "192.0.2.9:5001";
  Socket().ClientConnects();
  EXPECT_EQ(Socket().rejected, 1);
  // The newcomer hears why; the log names both.
  EXPECT_EQ(Socket().farewells,
            std::vector<std::string>{"Tidewire: another mail client is connected; one at a time.\r\n"});
  EXPECT_TRUE(Logged(
      "ERROR second client refused, one is connected: 192.0.2.9:5001 refused, 127.0.0.1:40312 is served"));
  EXPECT_EQ(Reply(Block("?")), Block("C00"));
  EXPECT_EQ(Written(), "");
}

TEST_F(BridgeTest, ASocketErrorIsTheClientLeavingAndTheBridgeListensAgain) {
  StartHost();
  Socket().refuseListen = true;
  Socket().listenError = "Permission denied";
  Socket().ClientFails("Connection reset by peer");
  EXPECT_TRUE(Logged("Winsock Error Connection reset by peer"));
  EXPECT_TRUE(Logged("client disconnect winsock close 127.0.0.1:40312"));
  EXPECT_TRUE(Logged("ERROR cannot listen on port 8200, trying again every 10 s: Permission denied"));
  EXPECT_FALSE(core.ClientPresent());
  Socket().refuseListen = false;
  ListenRetryTimer().Fire();
  EXPECT_TRUE(Socket().Listening());
  EXPECT_FALSE(ListenRetryTimer().Enabled());
  ClientConnects();
  EXPECT_EQ(Reply(Block("?")), Block("C00"));
}

TEST_F(BridgeTest, ABlockLeftUnfinishedByAClientIsDroppedWhenTheNextConnects) {
  StartHost();
  Reply("\xC0" "C1AC NOBO");
  Socket().ClientLeaves();
  EXPECT_TRUE(Logged("client disconnect winsock close 127.0.0.1:40312"));
  Socket().clientAddress = "[::1]:6000";
  Socket().ClientConnects();
  EXPECT_TRUE(Logged("accept winsock connection from client [::1]:6000"));
  Forget();
  EXPECT_EQ(Reply(Block("C1AD")), Block("C1ACan't DISCONNECT, A/V Link state is: DISCONNECTED"));
  EXPECT_EQ(control.TakeCalls(), "");

  Reply("\xC0" + std::string(5000, 'x') + "\xC0");
  EXPECT_TRUE(Logged("ERROR client block over 4096 bytes dropped"));
  EXPECT_EQ(control.TakeCalls(), "");
}

}  // namespace
}  // namespace tw::testing
