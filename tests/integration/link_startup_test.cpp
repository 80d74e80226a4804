// A link coming up against the loopback engine: what it sends first, and
// what it learns from the replies.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/integration/engine_fixture.h"

namespace tw::integration {
namespace {

constexpr int kPorts = 3;

loopback::EngineConfig ThreePorts() {
  loopback::EngineConfig config;
  config.ports = kPorts;
  return config;
}

class LinkStartupTest : public EngineTest {
 protected:
  LinkStartupTest() : EngineTest(ThreePorts()) {}
};

TEST_F(LinkStartupTest, ComesUpRegistersAndFillsThePortTable) {
  RecordingLink& a = NewLink("N0CALL");
  ASSERT_NO_FATAL_FAILURE(Start(a));

  EXPECT_EQ(a.ups, 1);
  EXPECT_EQ(a.downs + a.errors, 0);
  EXPECT_EQ(a.startup.versions, (std::vector<std::pair<int, int>>{{2005, 127}}));
  EXPECT_EQ(a.link.VersionMajor(), 2005);
  EXPECT_EQ(a.link.VersionMinor(), 127);

  EXPECT_EQ(a.startup.portLists, 1);
  EXPECT_EQ(a.link.PortMax(), kPorts);
  EXPECT_TRUE(a.link.LoopBack());
  EXPECT_EQ(a.link.LoopBackPort(), kPorts);

  EXPECT_EQ(a.startup.parameters, kPorts);
  EXPECT_EQ(a.startup.portFrames, (std::vector<std::pair<int, int>>{{1, 0}, {2, 0}, {3, 0}}));
  for (int port = 1; port <= kPorts; ++port) {
    SCOPED_TRACE(port);
    const PortInfo* record = a.link.PortRecord(port);
    ASSERT_NE(record, nullptr);
    EXPECT_TRUE(record->valid);
    EXPECT_EQ(record->portName, port == kPorts ? "Port3 Loopback" : "Port" + std::to_string(port) + " Simulated radio");
    // The engine's capability record, byte for byte in table order.
    EXPECT_EQ(record->txDelay, 30);
    EXPECT_EQ(record->txTail, 10);
    EXPECT_EQ(record->persist, 63);
    EXPECT_EQ(record->slotTime, 10);
    EXPECT_EQ(record->maxFrame, 4);
    EXPECT_EQ(record->ax25Channel, 0);
    EXPECT_EQ(record->howManyBytes, 0u);
  }
  EXPECT_FALSE(a.link.PortRecord(kPorts + 1)->valid);

  EXPECT_TRUE(a.link.Registered());
  ASSERT_EQ(a.startup.registerReplies.size(), 1u);
  EXPECT_EQ(a.startup.registerReplies[0].first, "N0CALL");
  EXPECT_EQ(a.startup.registerReplies[0].second, std::string(1, '\1'));

  // The registration asked for on coming up goes out first, then the port
  // list and the version; the port list then asks each port in turn.
  EXPECT_EQ(Engine().KindsFrom(1), "XGRHgyHgyHgy");
  std::vector<int> portsAsked;
  for (const EngineSaw& frame : Engine().saw) {
    if (frame.kind == 'H') portsAsked.push_back(frame.port);
  }
  EXPECT_EQ(portsAsked, (std::vector<int>{1, 2, 3}));
}

TEST_F(LinkStartupTest, RawAndMonitorSwitchesFollowTheVersionRequest) {
  RecordingLink& a = NewLink("N0CALL");
  a.registerOnUp = false;
  a.link.Kiss = true;
  a.link.SetMonitor("IUSC");
  ASSERT_NO_FATAL_FAILURE(Start(a));

  EXPECT_EQ(Engine().KindsFrom(1), "GRkmHgyHgyHgy");
  EXPECT_FALSE(a.link.Registered());
  EXPECT_TRUE(a.startup.registerReplies.empty());
}

TEST_F(LinkStartupTest, RegisteringOnlyAfterComingUpSendsTheRegistrationThen) {
  RecordingLink& a = NewLink("N0CALL");
  a.registerOnUp = false;
  a.link.SetRegister(true);  // not connected yet: nothing can go out
  ASSERT_NO_FATAL_FAILURE(Start(a));
  EXPECT_FALSE(a.link.Registered());

  a.link.SetRegister(true);
  ASSERT_TRUE(RunUntil([&] { return a.link.Registered(); }));
  EXPECT_EQ(Engine().KindsFrom(1), "GRHgyHgyHgyX");
}

TEST_F(LinkStartupTest, ACallHeldByAnotherClientIsRefusedUntilItsHolderLeaves) {
  RecordingLink& holder = NewLink("N0CALL-3");
  ASSERT_NO_FATAL_FAILURE(Start(holder));

  RecordingLink& second = NewLink("n0call-3");
  second.link.SetActive(true);
  ASSERT_TRUE(RunUntil([&] { return !second.startup.registerReplies.empty(); }));
  EXPECT_EQ(second.startup.registerReplies[0].first, "N0CALL-3");  // upper-cased on the way in
  EXPECT_EQ(second.startup.registerReplies[0].second, std::string(1, '\0'));
  EXPECT_FALSE(second.link.Registered());

  holder.link.SetActive(false);
  ASSERT_TRUE(RunUntil([&] { return holder.downs == 1; }));
  EXPECT_FALSE(holder.link.Connected());
  EXPECT_FALSE(holder.link.Registered());

  // The engine lets go of the call once it sees the connection end.
  ASSERT_TRUE(RunUntil([&] { return Engine().engine.ClientCount() == 1; }));
  second.link.SetRegister(true);
  ASSERT_TRUE(RunUntil([&] { return second.link.Registered(); }));
}

TEST_F(LinkStartupTest, HeardListRepliesFillTheHeardSlots) {
  RecordingLink& sender = NewLink("N0CALL");
  ASSERT_NO_FATAL_FAILURE(Start(sender));
  sender.link.SendUNPROTO(1, kPidText, "N0CALL-5", "ID", "", "heard me");
  sender.link.SendUNPROTO(1, kPidText, "N0CALL-7", "ID", "", "and me");
  ASSERT_NO_FATAL_FAILURE(Sync(sender));

  RecordingLink& listener = NewLink("N0CALL-1");
  ASSERT_NO_FATAL_FAILURE(Start(listener));
  const PortInfo* port1 = listener.link.PortRecord(1);
  ASSERT_NE(port1, nullptr);
  // Newest first, each a line of its own without the engine's NUL.
  EXPECT_EQ(port1->heard[0].rfind("N0CALL-7 first heard ", 0), 0u) << port1->heard[0];
  EXPECT_EQ(port1->heard[1].rfind("N0CALL-5 first heard ", 0), 0u) << port1->heard[1];
  EXPECT_EQ(port1->heard[0].find('\0'), std::string::npos);
  EXPECT_TRUE(port1->heard[2].empty());
  EXPECT_TRUE(listener.link.PortRecord(2)->heard[0].empty());
}

}  // namespace
}  // namespace tw::integration
