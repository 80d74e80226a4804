// Why the engine cannot be reached, said at once and once per outage.
#include "bridge/engine_check.h"

#include <gtest/gtest.h>

#include "tests/bridge/bridge_harness.h"

namespace tw::testing {
namespace {

TEST(EngineCheck, EachCauseSaysWhatToCheck) {
  const struct {
    const char* error;
    const char* want;
  } cases[] = {
      {"Connection refused",
       "ERROR engine at 127.0.0.1:8000: connection refused; check that the packet engine is running and takes "
       "clients on TCP port 8000"},
      {"No route to host", "ERROR engine at 127.0.0.1:8000: no route to it; check the engine's address "
                           "(--engine-host) and the network"},
      {"Network is unreachable", "ERROR engine at 127.0.0.1:8000: no route to it; check the engine's address "
                                 "(--engine-host) and the network"},
      {"Host not found (authoritative)",
       "ERROR engine at 127.0.0.1:8000: name not found; check the engine's host name (--engine-host)"},
      {"Connection timed out", "ERROR engine at 127.0.0.1:8000: no answer (timed out); check the engine's address "
                               "and any firewall on the way"},
      {"Permission \x01" "denied", "ERROR engine at 127.0.0.1:8000: Permission \\x01denied; check the engine's address "
                                "(--engine-host) and port"},
  };
  for (const auto& c : cases) EXPECT_EQ(EngineUnreachableLine("127.0.0.1", 8000, c.error), c.want) << c.error;
}

class EngineCheckTest : public BridgeTest {
 protected:
  FakeTimer& CheckTimer() { return *loop.timers.at(2); }
  FakeClientSocket& Probe() { return *loop.clientSockets.at(0); }
  static constexpr const char* kRefused =
      "ERROR engine at engine.lan:8001: connection refused; check that the packet engine is running and takes "
      "clients on TCP port 8001";
};

TEST_F(EngineCheckTest, AnEngineThatDoesNotAnswerIsProbedOnceAndTheCauseLogged) {
  ASSERT_EQ(core.initvars({"N0CALL,1,1,8001", false, "engine.lan", "127.0.0.1"}), "");
  view.lines.clear();
  ASSERT_TRUE(CheckTimer().Enabled());
  CheckTimer().Fire();
  EXPECT_EQ(Probe().RemoteHost(), "engine.lan");
  EXPECT_EQ(Probe().RemotePort(), 8001);
  Probe().Fail("Connection refused");
  EXPECT_EQ(view.lines, std::vector<std::string>{kRefused});
  // The control's own give-up still says its written line; the cause is not repeated.
  core.OnError();
  EXPECT_TRUE(Logged("ERROR PE not reachable, trying again every 10 s"));
  EXPECT_EQ(std::count(view.lines.begin(), view.lines.end(), kRefused), 1);

  // Back, then lost again: a new outage is checked anew.
  core.OnReady(true);
  core.OnReady(false);
  view.lines.clear();
  ASSERT_TRUE(CheckTimer().Enabled());
  CheckTimer().Fire();
  Probe().Fail("Connection refused");
  EXPECT_EQ(view.lines, std::vector<std::string>{kRefused});
}

TEST_F(EngineCheckTest, AnEngineThatAnswersInTimeIsNeverProbed) {
  ASSERT_EQ(core.initvars({"N0CALL", false, {}, "127.0.0.1"}), "");
  core.OnReady(true);
  EXPECT_FALSE(CheckTimer().Enabled());
  EXPECT_TRUE(loop.clientSockets.empty());
}

TEST_F(EngineCheckTest, AReachableEngineIsLeftAloneAndShutdownStopsTheCheck) {
  ASSERT_EQ(core.initvars({"N0CALL", false, {}, "127.0.0.1"}), "");
  CheckTimer().Fire();
  Probe().CompleteConnect();
  EXPECT_FALSE(Probe().Active());  // closed at once
  view.lines.clear();
  core.OnReady(false);
  core.Form_Unload();
  EXPECT_FALSE(CheckTimer().Enabled());
  EXPECT_TRUE(std::none_of(view.lines.begin(), view.lines.end(),
                           [](const std::string& line) { return line.starts_with("ERROR engine at"); }));
}

}  // namespace
}  // namespace tw::testing
