#include "control/beacon/l2_beacon.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "control/link/tl2.h"
#include "platform/loop/fake_event_loop.h"
#include "tests/beacon/log_lines.h"
#include "tests/beacon/wire_frame.h"

namespace tw {
namespace {

using testing::LogLines;
using testing::WireFrame;

const std::string kDefaultText = "*** Beacon ****";

class BeaconTest : public ::testing::Test {
 protected:
  // The beacon logs as it goes, so it must go before the lines' collector.
  ~BeaconTest() override { beacon.reset(); }

  // Brings the link up against the fake engine and lets it learn `ports`
  // ports; what the link sent on its own is thrown away.
  void Connect(int ports) {
    link.SetAddress("127.0.0.1");
    link.SetCallSign("N0CALL");
    link.SetActive(true);
    Socket().CompleteConnect();
    std::string list = std::to_string(ports) + ";";
    for (int n = 1; n <= ports; ++n) list += "Port" + std::to_string(n) + " radio;";
    Socket().Receive(WireFrame(0, 'G', 0, "", "", list));
    ASSERT_EQ(link.PortMax(), ports);
    Socket().TakeWritten();
  }

  FakeClientSocket& Socket() { return *loop.clientSockets.at(0); }
  FakeTimer& BeaconTimer() { return *loop.timers.at(0); }

  FakeEventLoop loop;
  TL2 link{loop};
  std::unique_ptr<TL2Beacon> beacon = std::make_unique<TL2Beacon>(loop);
  LogLines log{beacon->Log()};
};

TEST_F(BeaconTest, StartsStoppedWithItsDefaults) {
  TL2Beacon fresh(loop);
  EXPECT_FALSE(fresh.Active());
  EXPECT_EQ(fresh.Interval, 240000);
  EXPECT_EQ(fresh.Text, kDefaultText);
  EXPECT_EQ(fresh.Id, "ID");
  EXPECT_EQ(fresh.Call, "NOBODY");
  EXPECT_EQ(fresh.Via, "");
  EXPECT_EQ(fresh.Pid, 240);
  EXPECT_EQ(fresh.VOKL2, nullptr);
  EXPECT_FALSE(fresh.OnPost);
  EXPECT_EQ(fresh.Log().Switch(), "NOT");
  EXPECT_EQ(fresh.Log().Level(), 1);
  EXPECT_EQ(fresh.Log().FileName(), "L2Digi.LOG");
  EXPECT_EQ(loop.liveTimers, 0);
}

TEST_F(BeaconTest, CycleSendsOnEveryPortHighestFirst) {
  Connect(3);
  beacon->VOKL2 = &link;
  beacon->SetActive(true);

  EXPECT_EQ(Socket().TakeWritten(), WireFrame(2, 'M', 240, "NOBODY", "ID", kDefaultText) +
                                        WireFrame(1, 'M', 240, "NOBODY", "ID", kDefaultText) +
                                        WireFrame(0, 'M', 240, "NOBODY", "ID", kDefaultText));

  BeaconTimer().Fire();
  EXPECT_EQ(Socket().TakeWritten(), WireFrame(2, 'M', 240, "NOBODY", "ID", kDefaultText) +
                                        WireFrame(1, 'M', 240, "NOBODY", "ID", kDefaultText) +
                                        WireFrame(0, 'M', 240, "NOBODY", "ID", kDefaultText));
  EXPECT_TRUE(log.Logged("{L2Beacon} Post Performed for Port(3)"));
}

TEST_F(BeaconTest, NoPortsSendNothingButTheTimerStaysArmed) {
  Connect(0);
  beacon->VOKL2 = &link;
  beacon->SetActive(true);
  BeaconTimer().Fire();
  BeaconTimer().Fire();

  EXPECT_EQ(Socket().TakeWritten(), "");
  EXPECT_TRUE(BeaconTimer().Enabled());
  EXPECT_EQ(log.Count("{L2Beacon} Beacon Timer Tick"), 3u);
}

TEST_F(BeaconTest, FirstCycleGoesOutBeforeTheStartedLine) {
  Connect(1);
  beacon->VOKL2 = &link;
  beacon->SetActive(true);

  std::size_t posted = log.IndexOf("{L2Beacon} Post Performed for Port(1)");
  std::size_t started = log.IndexOf("{L2Beacon} L2 BroadCast Object started");
  ASSERT_LT(started, log.messages.size());
  EXPECT_LT(posted, started);
  EXPECT_EQ(BeaconTimer().Interval(), 240000u);
  EXPECT_TRUE(BeaconTimer().Enabled());
}

TEST_F(BeaconTest, FrameCarriesCallIdAndPid) {
  Connect(2);
  beacon->VOKL2 = &link;
  beacon->Call = "N0CALL-7";
  beacon->Id = "BEACON";
  beacon->Pid = 0xCF;
  beacon->Text = std::string("bin\0\xff", 5);
  beacon->SetActive(true);

  EXPECT_EQ(Socket().TakeWritten(), WireFrame(1, 'M', 0xCF, "N0CALL-7", "BEACON", beacon->Text) +
                                        WireFrame(0, 'M', 0xCF, "N0CALL-7", "BEACON", beacon->Text));
}

TEST_F(BeaconTest, PathPutsTheBlockInFrontOfTheText) {
  Connect(1);
  beacon->VOKL2 = &link;
  beacon->Via = "RELAY WIDE2-2";
  beacon->SetActive(true);

  std::string block = std::string("\x02", 1) + std::string("RELAY\0\0\0\0\0", 10) +
                      std::string("WIDE2-2\0\0\0", 10);
  EXPECT_EQ(Socket().TakeWritten(), WireFrame(0, 'V', 240, "NOBODY", "ID", block + kDefaultText));
}

TEST_F(BeaconTest, PostSendsTheCallersValues) {
  Connect(4);
  beacon->Post(&link, 4, "AB1CD", "CQ", "", "hello");
  beacon->Post(&link, 2, "AB1CD", "CQ", "R1", "hi");

  std::string block = std::string("\x01", 1) + std::string("R1\0\0\0\0\0\0\0\0", 10);
  EXPECT_EQ(Socket().TakeWritten(), WireFrame(3, 'M', 240, "AB1CD", "CQ", "hello") +
                                        WireFrame(1, 'V', 240, "AB1CD", "CQ", block + "hi"));
  EXPECT_TRUE(log.Logged("{L2Beacon} Post Performed for Port(4)"));
  EXPECT_TRUE(log.Logged("{L2Beacon} Post Performed for Port(2)"));
}

TEST_F(BeaconTest, PathThatCannotBeBuiltSendsNothing) {
  Connect(1);
  std::string tooMany;
  for (int n = 0; n < 26; ++n) tooMany += "R" + std::to_string(n) + " ";
  beacon->Post(&link, 1, "AB1CD", "CQ", tooMany, "hello");
  beacon->Post(&link, 1, "AB1CD", "CQ", "R1 ELEVENCHARS", "hello");

  EXPECT_EQ(Socket().TakeWritten(), "");
  EXPECT_EQ(log.Count("{L2Beacon} Post refused for Port(1): path can not be sent"), 2u);
  EXPECT_FALSE(log.Logged("{L2Beacon} Post Performed for Port(1)"));
}

TEST_F(BeaconTest, PathOfBlanksOnlyGoesOutWithoutOne) {
  Connect(1);
  beacon->Post(&link, 1, "AB1CD", "CQ", "   ", "hello");
  EXPECT_EQ(Socket().TakeWritten(), WireFrame(0, 'M', 240, "AB1CD", "CQ", "hello"));
}

TEST_F(BeaconTest, PostWithoutConnectionLosesTheFrameButStillLogs) {
  // Never opened: the link refuses to write.
  beacon->Post(&link, 2, "AB1CD", "CQ", "", "hello");
  EXPECT_TRUE(log.Logged("{L2Beacon} Post Performed for Port(2)"));
  EXPECT_TRUE(Socket().writes.empty());
}

TEST_F(BeaconTest, PostWithoutLinkLogsAndDumpsItsOwnText) {
  beacon->Text = "own text";
  beacon->Post(nullptr, 1, "AB1CD", "CQ", "", "argument");

  EXPECT_EQ(log.messages, std::vector<std::string>{"{L2Beacon} ERROR Invalid Reference to L2 Object"});
  EXPECT_EQ(log.dumps, std::vector<std::string>{
                           " |6F 77 6E 20 74 65 78 74 -- -- -- -- -- -- -- -- |own text        "});
}

TEST_F(BeaconTest, WithoutLinkEveryTickLogsAndTheTimerGoesOn) {
  beacon->SetActive(true);
  BeaconTimer().Fire();
  BeaconTimer().Fire();

  EXPECT_EQ(log.Count("{L2Beacon} ERROR No L2 Object Assigned (VOKL2 property)"), 3u);
  EXPECT_FALSE(log.Logged("{L2Beacon} Beacon Timer Tick"));
  EXPECT_TRUE(BeaconTimer().Enabled());
  EXPECT_EQ(loop.liveTimers, 1);
}

TEST_F(BeaconTest, HandlerIsCalledInsteadOfSending) {
  Connect(2);
  struct Call {
    TL2* link;
    int port;
    std::string call, id, via, text;
  };
  std::vector<Call> calls;
  beacon->VOKL2 = &link;
  beacon->Via = "R1";
  beacon->OnPost = [&](TL2* l, int port, const std::string& call, const std::string& id,
                       const std::string& via, const std::string& text) {
    calls.push_back({l, port, call, id, via, text});
  };
  beacon->SetActive(true);

  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].port, 2);
  EXPECT_EQ(calls[1].port, 1);
  for (const Call& c : calls) {
    EXPECT_EQ(c.link, &link);
    EXPECT_EQ(c.call, "NOBODY");
    EXPECT_EQ(c.id, "ID");
    EXPECT_EQ(c.via, "R1");
    EXPECT_EQ(c.text, kDefaultText);
  }
  EXPECT_EQ(Socket().TakeWritten(), "");
}

TEST_F(BeaconTest, IntervalChangeTakesEffectAfterTheNextTick) {
  Connect(1);
  beacon->VOKL2 = &link;
  beacon->SetActive(true);
  ASSERT_EQ(BeaconTimer().Interval(), 240000u);

  beacon->Interval = 60000;
  EXPECT_EQ(BeaconTimer().Interval(), 240000u);
  BeaconTimer().Fire();
  EXPECT_EQ(BeaconTimer().Interval(), 60000u);
  EXPECT_TRUE(BeaconTimer().Enabled());
}

TEST_F(BeaconTest, IntervalThatIsNotPositiveStopsFurtherCycles) {
  // A timer interval of 0 never ticks; anything small would flood the air.
  beacon->VOKL2 = &link;
  beacon->Interval = -5;
  beacon->SetActive(true);
  EXPECT_EQ(BeaconTimer().Interval(), 0u);
}

TEST_F(BeaconTest, StoppedDuringItsFirstCycleItIsNotReportedStarted) {
  Connect(1);
  beacon->VOKL2 = &link;
  beacon->OnPost = [this](TL2*, int, const std::string&, const std::string&, const std::string&,
                          const std::string&) { beacon->SetActive(false); };
  beacon->SetActive(true);
  EXPECT_FALSE(beacon->Active());
  EXPECT_TRUE(log.Logged("{L2Beacon} L2 BroadCast Object stopped"));
  EXPECT_FALSE(log.Logged("{L2Beacon} L2 BroadCast Object started"));
  EXPECT_EQ(loop.liveTimers, 0);
}

TEST_F(BeaconTest, StartingOrStoppingTwiceChangesNothing) {
  Connect(1);
  beacon->VOKL2 = &link;
  beacon->SetActive(true);
  Socket().TakeWritten();
  log.Clear();

  beacon->SetActive(true);
  EXPECT_TRUE(log.messages.empty());
  EXPECT_EQ(loop.timers.size(), 1u);
  EXPECT_EQ(Socket().TakeWritten(), "");

  beacon->SetActive(false);
  EXPECT_EQ(log.messages, std::vector<std::string>{"{L2Beacon} L2 BroadCast Object stopped"});
  log.Clear();
  beacon->SetActive(false);
  EXPECT_TRUE(log.messages.empty());
  EXPECT_FALSE(beacon->Active());
}

TEST_F(BeaconTest, TimerIsReleasedExactlyOnce) {
  beacon->SetActive(true);
  EXPECT_EQ(loop.liveTimers, 1);
  beacon->SetActive(false);
  EXPECT_EQ(loop.liveTimers, 0);
  beacon.reset();
  EXPECT_EQ(loop.liveTimers, 0);
  EXPECT_TRUE(log.Logged("{L2Beacon} L2 BroadCast Object Released"));
}

TEST_F(BeaconTest, DestroyingARunningBeaconReleasesItsTimer) {
  beacon->SetActive(true);
  beacon.reset();
  EXPECT_EQ(loop.liveTimers, 0);
  EXPECT_FALSE(log.Logged("{L2Beacon} L2 BroadCast Object stopped"));
  EXPECT_EQ(log.messages.back(), "{L2Beacon} L2 BroadCast Object Released");
}

TEST_F(BeaconTest, RestartingMakesAFreshTimerAndSendsAtOnce) {
  Connect(1);
  beacon->VOKL2 = &link;
  beacon->SetActive(true);
  beacon->SetActive(false);
  Socket().TakeWritten();

  beacon->SetActive(true);
  EXPECT_EQ(loop.timers.size(), 2u);
  EXPECT_EQ(loop.liveTimers, 1);
  EXPECT_EQ(Socket().TakeWritten(), WireFrame(0, 'M', 240, "NOBODY", "ID", kDefaultText));
}

TEST_F(BeaconTest, HandlerThatThrowsIsContainedAndTheTimerRearmed) {
  Connect(2);
  beacon->VOKL2 = &link;
  beacon->OnPost = [](TL2*, int, const std::string&, const std::string&, const std::string&,
                      const std::string&) { throw std::runtime_error("handler failed"); };
  beacon->SetActive(true);
  beacon->Interval = 70000;
  EXPECT_NO_THROW(BeaconTimer().Fire());

  EXPECT_EQ(log.Count("{L2Beacon} Exception on module TimerTick"), 2u);
  EXPECT_TRUE(log.Logged("{L2Beacon} L2 BroadCast Object started"));
  EXPECT_TRUE(BeaconTimer().Enabled());
  EXPECT_EQ(BeaconTimer().Interval(), 70000u);
}

TEST_F(BeaconTest, HandlerMayStopTheBeaconInsideATick) {
  Connect(3);
  int calls = 0;
  beacon->VOKL2 = &link;
  beacon->OnPost = [&](TL2*, int, const std::string&, const std::string&, const std::string&,
                       const std::string&) {
    ++calls;
    beacon->SetActive(false);
  };
  beacon->SetActive(true);

  // The cycle still covers every port; the timer goes once the tick is over.
  EXPECT_EQ(calls, 3);
  EXPECT_FALSE(beacon->Active());
  EXPECT_EQ(loop.liveTimers, 0);
}

TEST_F(BeaconTest, HandlerChangingTheSettingsDoesNotSplitACycle) {
  Connect(2);
  std::vector<std::string> texts;
  beacon->VOKL2 = &link;
  beacon->OnPost = [&](TL2*, int, const std::string&, const std::string&, const std::string&,
                       const std::string& text) {
    texts.push_back(text);
    beacon->Text = "changed";
  };
  beacon->SetActive(true);
  EXPECT_EQ(texts, (std::vector<std::string>{kDefaultText, kDefaultText}));
  BeaconTimer().Fire();
  EXPECT_EQ(texts.back(), "changed");
}

}  // namespace
}  // namespace tw
