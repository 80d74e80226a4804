// The program's shutdown in two steps: every link a stream holds is asked to
// end (the control holds each disconnect until the link's data is sent), the
// program waits for the ends, and only then is the control switched off.
#include <gtest/gtest.h>

#include <functional>

#include "tests/bridge/bridge_harness.h"

namespace tw::testing {
namespace {

TEST(StopLinks, AsksEveryLinkAStreamHoldsToEndAndCountsWhatIsLeft) {
  struct Case {
    std::string name;
    std::function<void(BridgeHarness&)> links;
    std::string calls;    // made by StopLinks
    std::string waiting;  // the line that says how many links it waits for
    int up;
  } cases[] = {
      {"no links", [](BridgeHarness&) {}, "VOKUnRegister N0CALL", "", 0},
      {"connected, connecting and incoming",
       [](BridgeHarness& h) {
         h.Outgoing('A', "NOBODY-1");
         h.Reply(Block("C1BC NOBODY-2"));
         h.Incoming("REMOTE");
       },
       "VOKUnRegister N0CALL;AX25Disconnect 1;AX25Disconnect 2;AX25Disconnect 3",
       "waiting for 3 links to send what they hold", 3},
      {"a disconnect the client asked for is not asked again",
       [](BridgeHarness& h) {
         h.Outgoing('A', "NOBODY-1");
         h.Reply(Block("C1AD"));
       },
       "VOKUnRegister N0CALL", "waiting for 1 links to send what they hold", 1},
      {"a link the control no longer knows is freed at once",
       [](BridgeHarness& h) {
         h.Outgoing('A', "NOBODY-1");
         h.control.links.clear();
       },
       "VOKUnRegister N0CALL;AX25Disconnect 1", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BridgeHarness h;
    h.StartHost();
    c.links(h);
    h.Forget();
    h.core.StopLinks();
    EXPECT_EQ(h.control.TakeCalls(), c.calls);  // the control stays on
    EXPECT_EQ(h.core.LinksUp(), c.up);
    EXPECT_EQ(h.view.lines, c.waiting.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.waiting});
    EXPECT_FALSE(h.Socket().ClientConnected());
    EXPECT_FALSE(h.Socket().Listening());
    EXPECT_EQ(h.view.myCall, "");
    h.core.Form_Unload();
    EXPECT_EQ(h.control.TakeCalls(), "Active 0;Enabled 0");
  }
}

// The window asks before closing while links are up: it hears each change
// of their number, from the client's commands and the control's events.
TEST_F(BridgeTest, TheViewHearsHowManyLinksAreUpWhenItChanges) {
  StartHost();
  const std::int32_t a = Outgoing('A', "NOBODY-1");  // connecting, then connected: one change
  Incoming("REMOTE");
  Reply(Block("C1CC NOBODY-3"));
  core.OnAX25Disconnect(control.nextId - 1);  // the connect failed
  Reply(Block("C1AD"));                       // disconnecting still holds the link
  Ended(a);
  core.OnReady(false);                        // the engine lost: every stream freed
  EXPECT_EQ(view.linksUp, (std::vector<int>{1, 2, 3, 2, 1, 0}));
}

TEST_F(BridgeTest, EachLinkEndIsLoggedAndWhatIsCutIsNamedOnce) {
  StartHost();
  const std::int32_t a = Outgoing('A', "NOBODY-1");
  Outgoing('C', "ECHO");
  const std::int32_t d = Outgoing('D', "N0REM");
  core.StopLinks();
  Forget();

  core.OnAX25Receive(a, "late data");  // nobody to hold it for
  Ended(a);
  EXPECT_EQ(view.lines, (std::vector<std::string>{
                            "stream A, N0CALL to NOBODY-1 on radio port 1: disconnected at shutdown, 0 bytes sent, "
                            "9 received",
                            "stream A link to NOBODY-1 ended, 2 left"}));
  EXPECT_EQ(core.LinksUp(), 2);
  // A station calling in now is refused and never waited for.
  const std::int32_t late = Incoming("LATE");
  EXPECT_EQ(control.TakeCalls(), Cat("AX25Disconnect ", late));
  EXPECT_EQ(core.LinksUp(), 2);
  EXPECT_TRUE(core.Held().Empty());
  EXPECT_EQ(Written(), "");

  Forget();
  core.CutLinks("stop timeout of 30 s reached");
  EXPECT_EQ(view.lines, std::vector<std::string>{"stop timeout of 30 s reached, cutting what the links still hold: "
                                                 "stream C to ECHO, stream D to N0REM"});
  core.Form_Unload();
  EXPECT_EQ(control.TakeCalls(), "Active 0;Enabled 0");
  // Deactivation ends the rest; that is not a link sending its data.
  Forget();
  Ended(d);
  EXPECT_TRUE(view.lines.empty());

  BridgeHarness done;
  done.StartHost();
  done.Ended(done.Outgoing('A', "NOBODY-1"));
  done.core.StopLinks();
  done.Forget();
  done.core.CutLinks("asked again to stop");
  EXPECT_TRUE(done.view.lines.empty());
}

}  // namespace
}  // namespace tw::testing
