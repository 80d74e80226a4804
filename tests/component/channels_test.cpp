// The channel table: ids, the engine's reports matched to channels, link
// identity, refused connects, link loss and handlers that re-enter it.
#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/component/component_harness.h"

namespace tw::testing {
namespace {

class Channels : public ::testing::Test, public ComponentHarness {};

TEST_F(Channels, RoundTripOfOneOutgoingLink) {
  BringUp();
  ASSERT_EQ(api.AX25Connect(2, kOwn, "N0TEST-1", ""), 1);
  auto sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].header.kind, 'C');
  EXPECT_EQ(sent[0].header.port, 2);
  EXPECT_EQ(sent[0].header.callFrom, kOwn);
  EXPECT_EQ(sent[0].header.callTo, "N0TEST-1");

  LinkInfoResult info;
  ASSERT_TRUE(api.AX25Info(1, info));
  EXPECT_EQ(info.iLinkStatus, kLinkConnecting);
  EXPECT_FALSE(api.AX25Send(1, "early")) << "not connected yet";

  EngineConnects("N0TEST-1", 2);
  EXPECT_EQ(Events(), "OnConnect(2,N0TEST-1,N0CALL) OnAX25Connect(1)");
  ASSERT_TRUE(api.AX25Info(1, info));
  EXPECT_EQ(info.iPort, 2);
  EXPECT_EQ(info.szFrom, kOwn);
  EXPECT_EQ(info.szTo, "N0TEST-1");
  EXPECT_EQ(info.szVIA, "");
  EXPECT_EQ(info.iLinkStatus, kLinkConnected);

  ASSERT_TRUE(api.AX25Send(1, Numbered(510)));
  sent = Sent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].data + sent[1].data, Numbered(510));

  EngineData("N0TEST-1", "hello", 2);
  EXPECT_EQ(received, "hello");

  EngineDisconnects("N0TEST-1", 2);
  EXPECT_EQ(events.back(), "OnAX25Disconnect(1)");
  EXPECT_FALSE(api.AX25Info(1, info));
  EXPECT_EQ(info.iPort, 0);
  EXPECT_EQ(info.szTo, "");
}

TEST_F(Channels, IdsStartAtOneAndAreNeverReused) {
  BringUp();
  EXPECT_EQ(api.AX25Connect(1, kOwn, "N0A", ""), 1);
  EngineConnects("N0IN");
  EXPECT_EQ(Events(), "OnConnect(1,N0IN,N0CALL) OnAX25Connect(2)");
  api.SetAX25(false);
  api.SetAX25(true);
  EXPECT_EQ(api.AX25Connect(1, kOwn, "N0A", ""), 3);
}

struct IdentityCase {
  const char* name;
  int connectPort;
  const char* connectTo;
  int reportPort;
  const char* reportedRemote;
  bool completes;
};

class Identity : public ::testing::TestWithParam<IdentityCase>, public ComponentHarness {};

TEST_P(Identity, EngineReportFindsTheChannelOrStartsAnIncoming) {
  const IdentityCase& c = GetParam();
  BringUp();
  ASSERT_EQ(api.AX25Connect(c.connectPort, kOwn, c.connectTo, ""), 1);
  EngineConnects(c.reportedRemote, c.reportPort);
  EXPECT_EQ(events.back(), c.completes ? "OnAX25Connect(1)" : "OnAX25Connect(2)");
  EXPECT_EQ(api.ChannelCount(), c.completes ? 1u : 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Channels, Identity,
    ::testing::Values(IdentityCase{"LowerCaseConnect", 1, "n0test", 1, "N0TEST", true},
                      IdentityCase{"SsidZeroSpelledOrNot", 1, "N0TEST-0", 1, "N0TEST", true},
                      IdentityCase{"SamePairOnAnotherPort", 1, "N0TEST", 2, "N0TEST", false},
                      IdentityCase{"AnotherStation", 1, "N0TEST", 1, "N0TEST-1", false}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(Channels, ASecondConnectToTheSameStationIsRefusedOnlyOnTheSamePort) {
  BringUp();
  EXPECT_EQ(api.AX25Connect(1, kOwn, "N0TEST", ""), 1);
  EXPECT_EQ(api.AX25Connect(1, "n0call", "n0test", ""), 0);
  EXPECT_EQ(api.AX25Connect(1, "N0TEST", kOwn, ""), 0) << "the same pair in the other direction";
  EXPECT_EQ(api.AX25Connect(2, kOwn, "N0TEST", ""), 2);
}

TEST_F(Channels, CallsThatAreNotAx25AddressesAreRefused) {
  BringUp();
  for (const char* bad : {"", "TOOLONGCALL", "N0CALL-16", "N0CALL-", "N0 CALL", "N0CALL-1X", "N\xC3\x98"}) {
    EXPECT_EQ(api.AX25Connect(1, kOwn, bad, ""), 0) << bad;
    EXPECT_EQ(api.AX25Connect(1, bad, "N0TEST", ""), 0) << bad;
  }
  EXPECT_EQ(SentKinds(), "");
  EXPECT_EQ(api.AX25Connect(1, kOwn, "N0TEST-15", ""), 1);
}

TEST_F(Channels, AConnectTheLinkRefusesEndsAfterTheCallReturned) {
  api.SetCallSign(kOwn);
  api.SetAX25(true);  // the table works without an engine, its requests do not
  const int id = api.AX25Connect(1, kOwn, "N0TEST", "");
  ASSERT_NE(id, 0);
  EXPECT_EQ(Events(), "") << "not raised inside the call";
  EXPECT_EQ(api.ChannelCount(), 0u);
  loop.RunPosted();
  EXPECT_EQ(Events(), "OnAX25Disconnect(" + std::to_string(id) + ")");
}

TEST_F(Channels, LinkLossEndsEveryChannelAndTheSameStationCanBeCalledAgain) {
  BringUp();
  ASSERT_EQ(api.AX25Connect(1, kOwn, "N0A", ""), 1);
  EngineConnects("N0A");
  EngineConnects("N0B");
  events.clear();
  Socket().PeerCloses();
  EXPECT_EQ(Events(), "OnAX25Disconnect(1) OnAX25Disconnect(2) OnReady(false)");
  EXPECT_EQ(api.ChannelCount(), 0u);
  EXPECT_TRUE(api.AX25()) << "the table stays open";

  Fire(TVOKAPI::kRetryIntervalMs);
  Socket().CompleteConnect();
  Engine(VersionReply());
  Socket().writes.clear();
  EXPECT_EQ(api.AX25Connect(1, kOwn, "N0A", ""), 3);
  EXPECT_EQ(SentKinds(), "C");
}

TEST_F(Channels, ADisconnectAskedForWhileConnectingIsSentAgainOnceConnected) {
  BringUp();
  ASSERT_EQ(api.AX25Connect(1, kOwn, "N0TEST", ""), 1);
  EXPECT_TRUE(api.AX25Disconnect(1));
  EXPECT_EQ(SentKinds(), "Cd");
  EngineConnects("N0TEST");
  EXPECT_EQ(SentKinds(), "d");
  EXPECT_EQ(events.back(), "OnAX25Connect(1)");
  EngineDisconnects("N0TEST");
  EXPECT_EQ(events.back(), "OnAX25Disconnect(1)");
}

// Handlers that come back into the table while it raises an event.
struct ReentryCase {
  const char* name;
  bool inConnect;  // else inside OnAX25Disconnect
  std::function<void(TVOKAPI&, int id)> action;
};

class Reentry : public ::testing::TestWithParam<ReentryCase>, public ComponentHarness {};

TEST_P(Reentry, TheTableStaysConsistent) {
  const ReentryCase& c = GetParam();
  BringUp();
  auto action = [&](int id) { c.action(api, id); };
  if (c.inConnect) {
    onConnect = action;
  } else {
    onDisconnect = action;
  }
  EngineConnects("N0A");
  EngineData("N0A", "after");
  EngineDisconnects("N0A");
  EngineConnects("N0B");
  onConnect = nullptr;
  onDisconnect = nullptr;
  // Whatever the handler did, the table still works and holds no stale record.
  EngineDisconnects("N0B");
  EXPECT_LE(api.ChannelCount(), 1u);
  LinkInfoResult info;
  EXPECT_FALSE(api.AX25Info(1, info));
}

INSTANTIATE_TEST_SUITE_P(
    Channels, Reentry,
    ::testing::Values(
        ReentryCase{"InfoAndDisconnectInConnect", true,
                    [](TVOKAPI& api, int id) {
                      LinkInfoResult link;
                      EXPECT_TRUE(api.AX25Info(id, link));
                      EXPECT_TRUE(api.AX25Disconnect(id));
                    }},
        ReentryCase{"CloseTableInConnect", true, [](TVOKAPI& api, int) { api.SetAX25(false); }},
        ReentryCase{"DeactivateInConnect", true, [](TVOKAPI& api, int) { api.SetActive(false); }},
        ReentryCase{"ThrowInConnect", true, [](TVOKAPI&, int) { throw std::runtime_error("container"); }},
        ReentryCase{"CloseTableInDisconnect", false, [](TVOKAPI& api, int) { api.SetAX25(false); }},
        ReentryCase{"ReopenInDisconnect", false,
                    [](TVOKAPI& api, int) {
                      api.SetAX25(false);
                      api.SetAX25(true);
                      api.AX25Connect(1, "N0CALL", "N0C", "");
                    }},
        ReentryCase{"DeactivateInDisconnect", false, [](TVOKAPI& api, int) { api.SetActive(false); }},
        ReentryCase{"ThrowInDisconnect", false, [](TVOKAPI&, int) { throw std::runtime_error("container"); }}),
    [](const auto& param) { return std::string(param.param.name); });

// Every trace line may reach the container, whose OnDebug handler may then
// close the table under the operation that logs.
class TraceReentry : public ::testing::TestWithParam<const char*>, public ComponentHarness {};

TEST_P(TraceReentry, ClosingTheTableFromTheTraceMidOperationIsSafe) {
  const std::string trigger = GetParam();
  api.SetTrace(5);
  api.OnDebug = [&](const std::string& line) {
    if (line.ends_with(trigger)) api.SetAX25(false);
  };
  api.SetDebug(true);
  api.SetAX25(true);
  api.AX25Connect(1, kOwn, "N0EARLY", "");  // refused: no engine yet
  BringUp();
  api.SetAX25(true);
  const int id = api.AX25Connect(1, kOwn, "N0TEST", "");
  EngineConnects("N0TEST");
  api.AX25Send(id, "data");
  EngineData("N0TEST", "back");
  api.AX25Disconnect(id);
  Engine(InFrame('Y', 1, Count32(0), kOwn, "N0TEST"));
  EngineDisconnects("N0TEST");
  loop.RunPosted();
  EXPECT_EQ(api.ChannelCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Channels, TraceReentry,
                         ::testing::Values("{VOK} <Connect> L2 Object not Active", "{VOK} <Dlte> Control Block Found",
                                           "{VOK} <AX25Conn> New session connected", "{VOK} <AX25Send> Data Sent",
                                           "{VOK} <AX25Get> Data Received",
                                           "{VOK} <AX25Disconnect> Disconnect held until the data is sent",
                                           "{VOK} <AX25Disconnect> Disconnect Request Sent",
                                           "{VOK} <Disconnect> Port(1) From(N0CALL) To(N0TEST)"));

TEST_F(Channels, AThrowingHandlerIsLoggedAndTheRecordStillGoes) {
  std::vector<std::string> trace;
  api.OnDebug = [&](const std::string& line) { trace.push_back(line); };
  api.SetDebug(true);
  BringUp();
  onDisconnect = [](int) { throw std::runtime_error("container"); };
  EngineConnects("N0A");
  EngineDisconnects("N0A");
  EXPECT_EQ(api.ChannelCount(), 0u);
  bool logged = false;
  for (const auto& line : trace) logged = logged || line.ends_with("{VOK} Exception on event <OnAX25Disconnect>");
  EXPECT_TRUE(logged);
}

TEST_F(Channels, ATraceHandlerThatLogsDoesNotRecurse) {
  int calls = 0;
  api.OnDebug = [&](const std::string&) {
    ++calls;
    api.AX25Info(99, *std::make_unique<LinkInfoResult>());  // logs again
  };
  api.SetTrace(5);
  api.SetDebug(true);
  api.SetAX25(true);
  EXPECT_GT(calls, 0);
  EXPECT_LT(calls, 10);
}

}  // namespace
}  // namespace tw::testing
