// What the operator reads of links: each event of a session as the log shows
// it, and the host-mode bytes of the same session unchanged by the logging.
#include <gtest/gtest.h>

#include "tests/bridge/bridge_harness.h"

namespace tw::testing {
namespace {

class LinkLinesTest : public BridgeTest {
 protected:
  // The lines logged by `step`, and nothing else.
  template <class Step>
  std::vector<std::string> LinesOf(Step step) {
    view.lines.clear();
    step();
    return view.lines;
  }
  using Lines = std::vector<std::string>;
};

TEST_F(LinkLinesTest, ASessionTellsEachLinksStoryByStream) {
  StartHost();
  core.OnReady(true);
  Forget();

  // A connect the far station never answers: the engine's own words quoted.
  EXPECT_EQ(LinesOf([&] { Reply(Block("C1AC W1AW V RELAY")); }),
            Lines{"stream A, N0CALL to W1AW on radio port 1 via RELAY: connecting"});
  EXPECT_EQ(LinesOf([&] {
              core.OnLinkNotice(1, "W1AW", "N0CALL", "*** DISCONNECTED RETRYOUT With W1AW\r");
              Ended(1);
            }),
            Lines{"stream A, N0CALL to W1AW on radio port 1 via RELAY: the far station did not answer "
                  "(engine: *** DISCONNECTED RETRYOUT With W1AW)"});

  // A connect that comes up, carries data both ways and is ended by the far end.
  EXPECT_EQ(LinesOf([&] {
              Reply(Block("C1AC ECHO #2"));
              core.OnAX25Connect(2);
            }),
            (Lines{"stream A, N0CALL to ECHO on radio port 2: connecting",
                   "stream A, N0CALL to ECHO on radio port 2: connected"}));
  Reply(Block("D1Ahello\r"));
  core.OnAX25Receive(2, "hello\r");
  core.OnAX25Receive(2, std::string(300, 'x'));
  EXPECT_EQ(LinesOf([&] {
              core.OnLinkNotice(2, "ECHO", "N0CALL", "*** DISCONNECTED From Station ECHO\r");
              Ended(2);
            }),
            Lines{"stream A, N0CALL to ECHO on radio port 2: disconnected by the far end, 6 bytes sent, 306 received"});

  // An incoming link, ended by the client.
  const std::int32_t in = Incoming("K1ABC", 1);
  EXPECT_TRUE(Logged("stream A, K1ABC to N0CALL on radio port 1: incoming link taken on stream A"));
  Reply(Block("D1Aok"));
  EXPECT_EQ(LinesOf([&] {
              Reply(Block("C1AD"));
              Ended(in);
            }),
            Lines{"stream A, K1ABC to N0CALL on radio port 1: disconnected by the client, 2 bytes sent, 0 received"});

  // The engine goes: every link ends with it, each says so.
  Outgoing('A', "W1AW");
  Incoming("K1ABC", 1);
  EXPECT_EQ(LinesOf([&] { core.OnReady(false); }),
            (Lines{"EVENT: engine lost",
                   "stream A, N0CALL to W1AW on radio port 1: disconnected when the engine was lost, 0 bytes sent, 0 received",
                   "stream B, K1ABC to N0CALL on radio port 1: disconnected when the engine was lost, 0 bytes sent, 0 "
                   "received"}));

  // While it is away, a connect cannot be made: not the far station's fault.
  EXPECT_EQ(LinesOf([&] {
              Reply(Block("C1CC W1AW"));
              Ended(control.nextId - 1);
            }),
            (Lines{"stream C, N0CALL to W1AW on radio port 1: connecting",
                   "stream C, N0CALL to W1AW on radio port 1: not made, the engine is not connected"}));
}

TEST_F(LinkLinesTest, TheClientSeesTheSameBytesWhateverIsLogged) {
  StartHost();
  core.OnReady(true);
  Forget();
  EXPECT_EQ(Reply(Block("C1AC W1AW")), Block("C1A"));
  core.OnLinkNotice(1, "W1AW", "N0CALL", "*** DISCONNECTED RETRYOUT With W1AW\r");
  Ended(1);
  EXPECT_EQ(Written(), Block("S1A*** DISCONNECTED"));
  const std::int32_t in = Incoming("K1ABC", 1);
  EXPECT_EQ(Written(), Block("S1A*** CONNECTED to K1ABC"));
  core.OnAX25Receive(in, "hi");
  EXPECT_EQ(Written(), Block("D1Ahi"));
}

TEST_F(LinkLinesTest, ANoticeForAnotherLinkIsNotQuotedForThisOne) {
  StartHost();
  core.OnReady(true);
  Reply(Block("C1AC W1AW"));
  Forget();
  core.OnLinkNotice(2, "W1AW", "N0CALL", "*** DISCONNECTED RETRYOUT With W1AW\r");  // other port
  Ended(1);
  // No notice of its own: the control ended it, the engine being gone.
  EXPECT_EQ(view.lines, Lines{"stream A, N0CALL to W1AW on radio port 1: not made, the engine is not connected"});

  // A connected link the control ends without the engine's word: the
  // engine went, whatever the order of the events.
  Outgoing('B', "K1ABC");
  Forget();
  Ended(control.nextId - 1);
  EXPECT_EQ(view.lines, Lines{"stream B, N0CALL to K1ABC on radio port 1: disconnected when the engine was lost, "
                              "0 bytes sent, 0 received"});
}

TEST_F(LinkLinesTest, ShutdownEndsTheLinksItFindsAndSaysSo) {
  StartHost();
  core.OnReady(true);
  const std::int32_t id = Outgoing('B', "W1AW");
  core.StopLinks();
  Forget();
  Ended(id);
  EXPECT_EQ(view.lines, (Lines{"stream B, N0CALL to W1AW on radio port 1: disconnected at shutdown, 0 bytes sent, "
                               "0 received",
                               "stream B link to W1AW ended, 0 left"}));
}

// A disconnect the engine must first send frames for says so, whoever
// asked; with nothing held it says nothing until the link has ended.
TEST_F(LinkLinesTest, ALinkThatEndsOnceItsFramesAreSentSaysHowManyItWaitsFor) {
  const struct {
    const char* name;
    int frames;  // the engine holds, as the control last learnt
    void (*ask)(BridgeHarness&);
    Lines want;
  } cases[] = {
      {"client", 3, [](BridgeHarness& t) { t.Reply(Block("C1AD")); },
       {"stream A, N0CALL to ECHO on radio port 1: waiting for 3 frames before disconnecting"}},
      {"client, nothing held", 0, [](BridgeHarness& t) { t.Reply(Block("C1AD")); }, {}},
      {"shutdown", 1, [](BridgeHarness& t) { t.core.StopLinks(); },
       {"stream A, N0CALL to ECHO on radio port 1: waiting for 1 frames before disconnecting",
        "waiting for 1 links to send what they hold"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BridgeHarness t;
    t.StartHost();
    t.core.OnReady(true);
    const std::int32_t id = t.Outgoing('A', "ECHO");
    t.control.outstanding[id] = {c.frames, c.frames * 100};
    t.Forget();
    c.ask(t);
    EXPECT_EQ(t.view.lines, c.want);
  }
}

TEST_F(LinkLinesTest, ThePortListIsLoggedOncePerEngineSessionWithAWarningForAMissingDefaultPort) {
  const struct {
    const char* commandLine;
    std::vector<std::string> ports;
    Lines want;
  } cases[] = {
      {"N0CALL,2", {"Port1 radio", "Port2 Loopback"}, {"engine radio ports: 1 Port1 radio, 2 Port2 Loopback"}},
      {"N0CALL,3",
       {"Port1 radio", "Port2 Loopback"},
       {"engine radio ports: 1 Port1 radio, 2 Port2 Loopback",
        "WARNING the default radio port 3 is not among the engine's 2 radio ports: connects that name no port will "
        "fail"}},
      {"N0CALL,1", {}, {}},  // the control has no list yet: nothing to say
  };
  for (const auto& c : cases) {
    BridgeHarness h;
    h.Start(c.commandLine);
    h.control.portNames = c.ports;
    h.core.OnReady(true);
    h.view.lines.clear();
    h.core.OnPort();
    h.core.OnPort();  // a later poll's list
    EXPECT_EQ(h.view.lines, c.want) << c.commandLine;
    h.core.OnReady(true);  // a new engine session tells it again
    h.view.lines.clear();
    h.core.OnPort();
    EXPECT_EQ(h.view.lines, c.want) << c.commandLine;
  }
}

TEST_F(LinkLinesTest, AConnectToAPortTheEngineLacksIsRefusedWithThatReason) {
  StartHost("N0CALL");
  core.OnReady(true);
  control.portNames = {"Port1 radio"};
  core.OnPort();
  control.refuseConnect = true;
  Forget();
  Reply(Block("C1AC W1AW #4"));
  EXPECT_EQ(view.lines, Lines{"ERROR AX25Connect refused W1AW on radio port 4: the engine has radio ports 1 to 1 only"});
}

}  // namespace
}  // namespace tw::testing
