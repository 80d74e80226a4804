// Properties, registration and the plain events and requests.
#include <gtest/gtest.h>

#include "tests/component/component_harness.h"

namespace tw::testing {
namespace {

class Routing : public ::testing::Test, public ComponentHarness {};

TEST_F(Routing, DefaultsOfAFreshComponent) {
  EXPECT_EQ(api.Port(), 8000);
  EXPECT_EQ(api.Address(), "127.0.0.1");
  EXPECT_EQ(api.CallSign(), "NOBODY-0");
  EXPECT_EQ(api.BeaconCall(), "NOBODY-0");
  EXPECT_EQ(api.DigiCall(), "NOBODY-1");
  EXPECT_EQ(api.MonitorMask(), "IUSC");
  EXPECT_EQ(api.Retry(), 8);
  EXPECT_EQ(api.BeaconEvery(), 600000);
  EXPECT_EQ(api.VOKVersion(), "0.0");
  EXPECT_EQ(api.VOKAPIVersion(), "0.1 Build(04)");
  EXPECT_FALSE(api.Active());
  EXPECT_FALSE(api.AX25());
}

TEST_F(Routing, SettersKeepTheirRules) {
  api.SetCallSign("N0NEW");
  EXPECT_EQ(api.BeaconCall(), "N0NEW") << "follows the call while the beacon is off";
  api.SetBeaconEvery(59999);
  EXPECT_EQ(api.BeaconEvery(), 600000);
  api.SetBeaconEvery(60000);
  EXPECT_EQ(api.BeaconEvery(), 60000);
  BringUp();
  api.SetCallSign("N0LATE");
  EXPECT_EQ(api.CallSign(), kOwn) << "refused while active";
  api.SetKiss(true);
  api.SetPoll(true);
  api.SetPoll(false);
  EXPECT_EQ(SentKinds(), "kG");
}

TEST_F(Routing, TheCallIsRegisteredOnEveryPortAndTheContainerHearsOneAnswer) {
  api.SetRegister(true);
  BringUp(3);  // registration on port 1 at once, ports 2 and 3 after the port list
  api.VOKRegister("N0ALIAS");
  std::vector<std::pair<char, int>> registrations;
  for (const Frame& f : Sent()) registrations.emplace_back(f.header.kind, f.header.port);
  EXPECT_EQ(registrations, (std::vector<std::pair<char, int>>{{'X', 1}, {'X', 2}, {'X', 3}}));
  for (int port = 1; port <= 3; ++port) Engine(InFrame('X', port, std::string(1, '\1'), "N0ALIAS"));
  EXPECT_EQ(Events(), "OnRegister(N0ALIAS,true)");
}

// Each of three ports answers the registration; the container hears success
// once any port accepted, a refusal only when all three refused.
TEST(Registration, OneAnswerSuccessIfAnyPortAccepted) {
  struct Case {
    std::string answers;  // port 1, 2, 3: '1' accepted, '0' refused
    std::vector<std::string> events;  // after each answer
  } cases[] = {
      {"111", {"OnRegister(N0ALIAS,true)", "", ""}},
      {"100", {"OnRegister(N0ALIAS,true)", "", ""}},
      {"010", {"", "OnRegister(N0ALIAS,true)", ""}},
      {"001", {"", "", "OnRegister(N0ALIAS,true)"}},
      {"000", {"", "", "OnRegister(N0ALIAS,false)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answers);
    ComponentHarness h;
    h.BringUp(3);
    h.api.VOKRegister("N0ALIAS");
    for (int port = 1; port <= 3; ++port) {
      const char answer = c.answers[static_cast<std::size_t>(port - 1)] == '1' ? '\1' : '\0';
      h.Engine(InFrame('X', port, std::string(1, answer), "N0ALIAS"));
      EXPECT_EQ(h.Events(), c.events[static_cast<std::size_t>(port - 1)]) << "after port " << port;
      h.events.clear();
    }
    // A new request gets a new answer.
    h.api.VOKRegister("N0ALIAS");
    h.Engine(InFrame('X', 1, std::string(1, '\1'), "N0ALIAS"));
    EXPECT_EQ(h.Events(), "OnRegister(N0ALIAS,true)");
  }
}

TEST_F(Routing, RegistrationAtConnectingCoversThePortsListedLater) {
  api.SetRegister(true);
  api.SetCallSign(kOwn);
  api.SetActive(true);
  Socket().CompleteConnect();
  Engine(InFrame('G', 1, "2;Port1 a;Port2 b;"));
  std::string registeredOn;
  for (const Frame& f : Sent()) {
    if (f.header.kind == 'X') registeredOn += std::to_string(f.header.port);
  }
  EXPECT_EQ(registeredOn, "12");
}

TEST_F(Routing, MonitorDataCarriesTheSamePortAsMonitor) {
  api.SetMonitor(true);
  std::vector<int> ports;
  api.OnMonitor = [&](int port, auto&&...) { ports.push_back(port); };
  api.OnMonitorData = [&](int port, auto&&...) { ports.push_back(port); };
  BringUp();
  Engine(InFrame('I', 2, " 2:Fm N0A To N0B <I R0 S1 pid=F0 Len=2 >[10:00:00]\rhi\r", "N0A", "N0B", 0xF0));
  EXPECT_EQ(ports, (std::vector<int>{2, 2}));
}

TEST_F(Routing, PortInformationNeedsAReportAndStaysWithinTheTable) {
  PortInfoResult info;
  info.szPortName = "kept";
  BringUp(2);
  EXPECT_TRUE(api.GetPortInfo(2, info));
  EXPECT_EQ(info.szPortName, "Port2 radio");
  info.szPortName = "kept";
  for (int bad : {0, 3, 17, -1}) {
    EXPECT_FALSE(api.GetPortInfo(bad, info)) << bad;
    EXPECT_EQ(api.GetHeardInfo(bad, 1), "") << bad;
  }
  EXPECT_EQ(info.szPortName, "kept") << "a refusal leaves the caller's values";
  EXPECT_EQ(api.GetHeardInfo(1, 0), "");
  EXPECT_EQ(api.GetHeardInfo(1, 21), "");

  Socket().PeerCloses();
  Fire(TVOKAPI::kRetryIntervalMs);
  Socket().CompleteConnect();
  Engine(VersionReply());
  EXPECT_FALSE(api.GetPortInfo(1, info)) << "the new connection has not reported its ports yet";
}

TEST_F(Routing, PlainRequestsReportWhatTheLinkDid) {
  BringUp();
  EXPECT_TRUE(api.Connect(1, kOwn, "N0TEST", "", 0xF0));
  EXPECT_FALSE(api.SendRaw(1, std::string(70000, 'k'))) << "too long for one raw frame";
  EXPECT_FALSE(api.SendUnproto(1, 0xF0, kOwn, "ID", std::string(30 * 3, ' ') + "A B C D E F G H I J K L M N O P Q R S T U V W X Y Z", "x"));
  api.VOKWrite(257, 0x1F0, "Hello", kOwn, "N0TEST", "data");
  auto sent = Sent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1].header.kind, 'H');
  EXPECT_EQ(sent[1].header.port, 1);
  EXPECT_EQ(sent[1].header.pid, 0xF0);
}

}  // namespace
}  // namespace tw::testing
