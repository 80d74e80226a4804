// The snapshot the loop's thread builds from the bridge, and the feed that
// publishes it: the bridge on the fake loop and control, played through the
// fake client socket.
#include <gtest/gtest.h>

#include "bridge/status/status_feed.h"
#include "bridge/status/status_text.h"
#include "tests/bridge/bridge_harness.h"

namespace tw::testing {
namespace {

class SnapshotTest : public BridgeTest {
 protected:
  StatusSnapshot Now() { return BuildSnapshot(core, control); }
  const StreamStatus& Row(const StatusSnapshot& s, char letter) {
    return s.streams.at(static_cast<std::size_t>(letter - 'A'));
  }
};

TEST_F(SnapshotTest, EachStreamShowsItsLinkAndTheBytesEachWayUntilItEnds) {
  StartHost();
  // A connect asked for and not yet confirmed.
  Reply(Block("C1AC ECHO"));
  const std::int32_t echo = control.nextId - 1;
  const std::int32_t incoming = Incoming("N0REM-7", 3);
  struct Step {
    const char* what;
    std::function<void()> act;
    char letter;
    StreamState state;
    std::string remote;
    int radioPort;
    std::uint64_t sent, received;
    std::uint32_t held;  // frames the engine has not yet sent
  } steps[] = {
      {"connecting", [] {}, 'A', StreamState::Connecting, "ECHO", 1, 0, 0, 0},
      {"incoming on the first free stream", [] {}, 'B', StreamState::Connected, "N0REM-7", 3, 0, 0, 0},
      {"connected", [&] { core.OnAX25Connect(echo); }, 'A', StreamState::Connected, "ECHO", 1, 0, 0, 0},
      // The client's escapes are undone before counting: 3 bytes go out.
      {"data sent, the engine holds it", [&] {
         Reply(Block("D1Aa\xDB\xDC" "b"));
         control.outstanding[echo] = {1, 3};
       }, 'A', StreamState::Connected, "ECHO", 1, 3, 0, 1},
      {"data received", [&] { core.OnAX25Receive(echo, std::string(300, 'x')); }, 'A', StreamState::Connected,
       "ECHO", 1, 3, 300, 1},
      {"other stream's data", [&] { core.OnAX25Receive(incoming, "hi"); }, 'B', StreamState::Connected, "N0REM-7", 3,
       0, 2, 0},
      {"disconnect asked", [&] { Reply(Block("C1AD")); }, 'A', StreamState::Disconnecting, "ECHO", 1, 3, 300, 1},
      {"the engine sent it", [&] { control.outstanding[echo] = {0, 0}; }, 'A', StreamState::Disconnecting, "ECHO", 1,
       3, 300, 0},
      {"ended", [&] { Ended(echo); }, 'A', StreamState::Disconnected, "", 0, 0, 0, 0},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.act();
    const StatusSnapshot now = Now();
    const StreamStatus& row = Row(now, step.letter);
    EXPECT_EQ(row.state, step.state);
    EXPECT_EQ(row.remote, step.remote);
    EXPECT_EQ(row.radioPort, step.radioPort);
    EXPECT_EQ(row.bytesSent, step.sent);
    EXPECT_EQ(row.bytesReceived, step.received);
    EXPECT_EQ(row.framesHeld, step.held);
  }
  EXPECT_EQ(Row(Now(), 'C').state, StreamState::Disconnected);
}

TEST_F(SnapshotTest, EngineAndClientAsTheBridgeSeesThem) {
  ASSERT_EQ(core.initvars({"N0CALL,1,true,8010,8210", false, "engine.local", "127.0.0.1"}), "");
  StatusSnapshot s = Now();
  EXPECT_EQ(s.myCall, "N0CALL");
  EXPECT_EQ(s.engine, (EngineStatus{"engine.local", 8010, false, "", 0}));
  EXPECT_EQ(s.client, (ClientStatus{false, "", false, "127.0.0.1", 8210}));

  core.OnReady(true);
  Socket().ClientConnects();
  s = Now();
  EXPECT_EQ(s.engine, (EngineStatus{"engine.local", 8010, true, "1.6", 4}));
  EXPECT_EQ(s.client, (ClientStatus{true, "127.0.0.1:40312", false, "127.0.0.1", 8210}));
  EXPECT_EQ(EngineLine(s.engine), "Engine engine.local:8010: up, version 1.6, 4 radio ports");
  EXPECT_EQ(ClientStatusLine(s.client), "Client 127.0.0.1:40312: terminal mode");

  Reply("INTFACE HOST\rRESET\r");
  core.OnReady(false);
  Socket().ClientLeaves();
  s = Now();
  EXPECT_FALSE(s.engine.up);
  EXPECT_EQ(s.engine.version, "") << "a version of an engine that is gone";
  EXPECT_EQ(s.client, (ClientStatus{false, "", true, "127.0.0.1", 8210})) << "host mode stays for the next client";
  EXPECT_EQ(EngineLine(s.engine), "Engine engine.local:8010: down");
  EXPECT_EQ(ClientStatusLine(s.client), "Client: none, listening on 127.0.0.1 port 8210");
}

// The feed between the bridge and a recording front end.
class FeedTest : public BridgeTest {
 protected:
  FeedTest() : feed(view, [this](const SnapshotPtr& s) { published.push_back(s); }) {}
  FakeTimer& FeedTimer() { return *loop.timers.back(); }

  StatusFeed feed;
  std::vector<SnapshotPtr> published;
};

TEST_F(FeedTest, PublishesAtOnceThenOnlyWhenTheStateOrTheLogChanged) {
  StartHost();
  feed.Attach(loop, core, control);
  ASSERT_EQ(published.size(), 1u);
  EXPECT_EQ(FeedTimer().Interval(), StatusFeed::kIntervalMs);
  EXPECT_TRUE(FeedTimer().Enabled());

  struct Step {
    const char* what;
    std::function<void()> act;
    std::size_t published;
  } steps[] = {
      {"nothing changed", [] {}, 1},
      {"a link came", [&] { Incoming("N0REM"); }, 2},
      {"a log line", [&] { feed.addlog("line one"); }, 3},
      {"nothing again", [] {}, 3},
      {"data received", [&] { core.OnAX25Receive(control.nextId - 1, "x"); }, 4},
      {"the engine lost", [&] { core.OnReady(false); }, 5},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.act();
    FeedTimer().Fire();
    EXPECT_EQ(published.size(), step.published);
  }
  EXPECT_EQ(published.back()->log, std::vector<std::string>{"line one"});
  EXPECT_EQ(published[1]->streams[0].remote, "N0REM") << "an earlier snapshot never changes";
  EXPECT_EQ(published.back()->streams[0].state, StreamState::Disconnected);

  feed.Detach();
  feed.addlog("after");
  feed.Refresh();
  EXPECT_EQ(published.size(), 5u) << "nothing is published without a bridge";
}

TEST_F(FeedTest, EveryLineAndValueReachesTheFrontEndAndTheRingKeepsTheLast200) {
  feed.ShowMyCall("N0CALL");
  feed.ShowDefaultPort(" 2");
  feed.ShowAccept("ANY");
  feed.ShowLinksUp(2);
  for (int i = 0; i < 205; ++i) feed.addlog("line " + std::to_string(i));
  feed.addlog(std::string(5000, 'L'));
  EXPECT_EQ(view.myCall, "N0CALL");
  EXPECT_EQ(view.port, " 2");
  EXPECT_EQ(view.accept, "ANY");
  EXPECT_EQ(view.linksUp, std::vector<int>{2}) << "a window asks before closing links it knows of";
  ASSERT_EQ(view.lines.size(), 206u);
  EXPECT_EQ(view.lines.back().size(), 5000u) << "the front end gets the line whole";

  const std::vector<std::string> kept = feed.Recent().Lines();
  ASSERT_EQ(kept.size(), RecentLog::kLines);
  EXPECT_EQ(kept.front(), "line 6");
  EXPECT_EQ(kept[kept.size() - 2], "line 204");
  EXPECT_EQ(kept.back(), std::string(RecentLog::kLineLimit, 'L'));
  EXPECT_EQ(feed.Recent().Added(), 206u);
}

}  // namespace
}  // namespace tw::testing
