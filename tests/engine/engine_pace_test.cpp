// The radio's pace (EngineConfig::baud): connected data leaves each port one
// frame at a time, 'Y' and 'y' count what has not yet arrived, and ending a
// link discards it. Time moves only through Tick.
#include <gtest/gtest.h>

#include <functional>

#include "tests/engine/engine_harness.h"

namespace tw::loopback::testing {
namespace {

using namespace std::string_literals;

// 2040 bit/s: a full frame of 255 bytes takes exactly one second.
constexpr std::uint32_t kBaud = 2040;

std::uint32_t Count(const Frame& frame) {
  std::uint32_t count = 0;
  for (std::size_t i = 0; i < 4 && i < frame.data.size(); ++i) {
    count |= std::uint32_t{static_cast<std::uint8_t>(frame.data[i])} << (8 * i);
  }
  return count;
}

// Clients a (N0AAA) and b (N0BBB), linked on port 1; c (N0CCC) and d
// (N0DDD) on port 2; the engine paced at kBaud.
struct PacedRig {
  PacedRig() {
    a = h.Join();
    b = h.Join();
    c = h.Join();
    d = h.Join();
    h.Register(b, "N0BBB");
    h.Register(d, "N0DDD");
    h.Send(a, 1, 'C', "N0AAA", "N0BBB");
    h.Send(c, 2, 'C', "N0CCC", "N0DDD");
    h.Forget();
  }
  static EngineConfig Config() {
    EngineConfig config = TestConfig();
    config.baud = kBaud;
    return config;
  }
  // What the engine answers `client` to 'Y' for (own, remote) on `port`.
  std::uint32_t LinkFrames(ClientId client, int port, std::string_view own, std::string_view remote) {
    h.Send(client, port, 'Y', own, remote);
    Frame reply = h.Only(client);
    EXPECT_EQ(reply.header.kind, 'Y');
    EXPECT_EQ(reply.header.callFrom, own);
    EXPECT_EQ(reply.header.callTo, remote);
    return Count(reply);
  }
  std::uint32_t PortFrames(ClientId client, int port) {
    h.Send(client, port, 'y');
    return Count(h.Only(client));
  }

  EngineHarness h{Config()};
  ClientId a = 0, b = 0, c = 0, d = 0;
};

struct Paced : ::testing::Test, PacedRig {};

TEST_F(Paced, DataArrivesFrameByFrameAtThePaceAndTheCountsGoDown) {
  std::string data;
  for (int i = 0; i < 600; ++i) data.push_back(static_cast<char>(i % 251));
  h.Send(a, 1, 'D', "N0AAA", "N0BBB", data, 0xF0);
  EXPECT_EQ(h.engine.NextDeadline(), Millis(1000));
  struct Step {
    int at;
    std::size_t arrived;  // bytes at b so far
    std::uint32_t frames;  // not yet arrived, by 'Y' and by 'y'
  };
  // 255 bytes take 1000 ms, the last 90 bytes 353 ms (rounded up).
  const Step steps[] = {{0, 0, 3},      {999, 0, 3},     {1000, 255, 2}, {1999, 255, 2},
                        {2000, 510, 1}, {2352, 510, 1},  {2353, 600, 0}, {9999, 600, 0}};
  std::string got;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.at);
    h.engine.Tick(Millis(step.at));
    for (const Frame& frame : h.Received(b)) {
      EXPECT_EQ(frame.header.kind, 'D');
      EXPECT_EQ(frame.header.pid, 0xF0);
      EXPECT_EQ(frame.header.callFrom, "N0AAA");
      EXPECT_EQ(frame.header.callTo, "N0BBB");
      got += frame.data;
    }
    EXPECT_EQ(got.size(), step.arrived);
    EXPECT_EQ(LinkFrames(a, 1, "N0AAA", "N0BBB"), step.frames);
    EXPECT_EQ(PortFrames(a, 1), step.frames);
    EXPECT_EQ(LinkFrames(b, 1, "N0BBB", "N0AAA"), 0u);  // b sent nothing
  }
  EXPECT_EQ(got, data);
  EXPECT_FALSE(h.engine.NextDeadline());
}

TEST_F(Paced, EachPortSendsOneFrameAtATimeInTheOrderGivenAndAtItsOwnPace) {
  const std::string one(255, '1'), two(255, '2'), three(51, '3'), other(255, 'o');
  h.Send(a, 1, 'D', "N0AAA", "N0BBB", one);
  h.Send(b, 1, 'D', "N0BBB", "N0AAA", two);
  h.Send(a, 1, 'D', "N0AAA", "N0BBB", three);
  h.Send(c, 2, 'D', "N0CCC", "N0DDD", other);
  EXPECT_EQ(LinkFrames(a, 1, "n0aaa", "n0bbb-0"), 2u);  // calls as any spelling
  EXPECT_EQ(LinkFrames(b, 1, "N0BBB", "N0AAA"), 1u);
  EXPECT_EQ(PortFrames(a, 1), 3u);
  EXPECT_EQ(PortFrames(a, 2), 1u);
  EXPECT_EQ(LinkFrames(a, 1, "N0AAA", "NOBODY"), 0u);  // no such link

  struct Step {
    int at;
    std::string toA, toB, toD;
  };
  const Step steps[] = {{999, "", "", ""}, {1000, "", one, other}, {2000, two, "", ""},
                        {2199, "", "", ""}, {2200, "", three, ""}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.at);
    h.engine.Tick(Millis(step.at));
    EXPECT_EQ(Joined(h.Received(a)), step.toA);
    EXPECT_EQ(Joined(h.Received(b)), step.toB);
    EXPECT_EQ(Joined(h.Received(d)), step.toD);
  }
  EXPECT_FALSE(h.engine.NextDeadline());

  // A clock that jumps delivers everything due, still in order.
  h.Send(a, 1, 'D', "N0AAA", "N0BBB", one + two + three);
  h.engine.Tick(Millis(60000));
  EXPECT_EQ(Joined(h.Received(b)), one + two + three);
}

TEST_F(Paced, EndingALinkDiscardsWhatWasNotYetSentBothWays) {
  using End = std::function<void(PacedRig&)>;
  struct Case {
    const char* name;
    End end;
  };
  const Case cases[] = {
      {"caller's 'd'", [](PacedRig& t) { t.h.Send(t.a, 1, 'd', "N0AAA", "N0BBB"); }},
      {"called end's 'd'", [](PacedRig& t) { t.h.Send(t.b, 1, 'd', "N0BBB", "N0AAA"); }},
      {"caller goes away", [](PacedRig& t) { t.h.engine.Disconnect(t.a); }},
      {"called client goes away", [](PacedRig& t) { t.h.engine.Disconnect(t.b); }},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    PacedRig t;
    t.h.Send(t.a, 1, 'D', "N0AAA", "N0BBB", std::string(600, 'a'));
    t.h.Send(t.b, 1, 'D', "N0BBB", "N0AAA", std::string(100, 'b'));
    t.h.engine.Tick(Millis(1000));
    ASSERT_EQ(Joined(t.h.Received(t.b)).size(), 255u);
    test.end(t);
    t.h.Forget();
    EXPECT_EQ(t.PortFrames(t.c, 1), 0u);
    EXPECT_FALSE(t.h.engine.NextDeadline());
    t.h.engine.Tick(Millis(100000));
    EXPECT_TRUE(t.h.Received(t.a).empty());
    EXPECT_TRUE(t.h.Received(t.b).empty());
  }
}

TEST_F(Paced, DiscardingTheFrameOnTheAirLetsTheNextOneStartAtOnce) {
  ClientId e = h.Join();
  h.Register(e, "N0EEE");
  h.Send(c, 1, 'C', "N0CCC", "N0EEE");
  h.Forget();
  h.Send(a, 1, 'D', "N0AAA", "N0BBB", std::string(255, 'a'));
  h.Send(c, 1, 'D', "N0CCC", "N0EEE", std::string(255, 'c'));
  h.engine.Tick(Millis(500));
  h.Send(a, 1, 'd', "N0AAA", "N0BBB");
  EXPECT_EQ(h.engine.NextDeadline(), Millis(1500));
  h.engine.Tick(Millis(1499));
  EXPECT_TRUE(h.Received(e).empty());
  h.engine.Tick(Millis(1500));
  EXPECT_EQ(Joined(h.Received(e)), std::string(255, 'c'));
}

TEST_F(Paced, TheEchoStationAnswersAtThePaceToo) {
  h.Send(a, 2, 'C', "N0AAA", "ECHO");
  h.Forget();
  const std::string data(255, 'e');
  h.Send(a, 2, 'D', "N0AAA", "ECHO", data, 0xF0);
  struct Step {
    int at;
    std::uint32_t mine;  // 'Y': a's frames not yet at the echo station
    std::uint32_t port;  // 'y': a's frames and the echo's answers
    bool back;
  };
  const Step steps[] = {{0, 1, 1, false}, {1000, 0, 1, false}, {1999, 0, 1, false}, {2000, 0, 0, true}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.at);
    h.engine.Tick(Millis(step.at));
    auto frames = h.Received(a);
    if (step.back) {
      ASSERT_EQ(frames.size(), 1u);
      EXPECT_EQ(frames[0].header.callFrom, "ECHO");
      EXPECT_EQ(frames[0].header.callTo, "N0AAA");
      EXPECT_EQ(frames[0].header.pid, 0xF0);
      EXPECT_EQ(frames[0].data, data);
    } else {
      EXPECT_TRUE(frames.empty());
    }
    EXPECT_EQ(LinkFrames(a, 2, "N0AAA", "ECHO"), step.mine);
    EXPECT_EQ(PortFrames(a, 2), step.port);
  }

  // An answer still on the air goes with the link.
  h.Send(a, 2, 'D', "N0AAA", "ECHO", data);
  h.engine.Tick(Millis(3000));
  h.Send(a, 2, 'd', "N0AAA", "ECHO");
  h.Forget();
  EXPECT_FALSE(h.engine.NextDeadline());
  h.engine.Tick(Millis(10000));
  EXPECT_TRUE(h.Received(a).empty());
}

TEST(EnginePace, WithoutABaudDataArrivesAtOnceAndNothingIsOutstanding) {
  EngineHarness h;  // TestConfig: baud 0
  ClientId a = h.Join();
  ClientId b = h.Join();
  h.Register(b, "N0BBB");
  h.Send(a, 1, 'C', "N0AAA", "N0BBB");
  h.Forget();
  h.Send(a, 1, 'D', "N0AAA", "N0BBB", std::string(600, 'x'));
  EXPECT_EQ(h.Received(b).size(), 3u);
  EXPECT_FALSE(h.engine.NextDeadline());
  h.Send(a, 1, 'Y', "N0AAA", "N0BBB");
  h.Send(a, 1, 'y');
  auto replies = h.Received(a);
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0].data, "\0\0\0\0"s);
  EXPECT_EQ(replies[1].data, "\0\0\0\0"s);
}

}  // namespace
}  // namespace tw::loopback::testing

namespace tw::loopback::testing {
namespace {

// The bytes that "echo station heard" lines of the trace add up to.
std::size_t HeardBytes(const std::vector<std::string>& lines) {
  constexpr std::string_view kHeard = ") echo station heard ";
  std::size_t bytes = 0;
  for (const std::string& line : lines) {
    if (const std::size_t at = line.find(kHeard); at != std::string::npos) {
      bytes += std::stoul(line.substr(at + kHeard.size()));
    }
  }
  return bytes;
}

// The trace says what reached the echo station, at once or at the pace, and
// never what a 'd' discarded before it went on the air: the soak test counts
// on it to tell what reached the far end.
TEST(EngineEchoTrace, TellsWhatTheEchoStationHeard) {
  struct Case {
    const char* name;
    std::uint32_t baud;
    Millis before;  // time on the air before the caller's 'd'
    std::size_t heard;
  };
  const Case cases[] = {
      {"at once", 0, Millis(0), 600},
      {"paced, all of it on the air", kBaud, Millis(10000), 600},
      {"paced, ended after one frame", kBaud, Millis(1000), 255},
      {"paced, ended before any", kBaud, Millis(500), 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    EngineConfig config = TestConfig();
    config.baud = test.baud;
    EngineHarness h(config);
    std::vector<std::string> lines;
    h.engine.Log().SetOn(true);
    h.engine.Log().SetLevel(3);
    h.engine.Log().SetSink([&lines](const std::string& line) { lines.push_back(line); });
    const ClientId a = h.Join();
    h.Send(a, 1, 'C', "N0AAA", "ECHO");
    h.Send(a, 1, 'D', "N0AAA", "ECHO", std::string(600, 'e'));
    h.engine.Tick(test.before);
    h.Send(a, 1, 'd', "N0AAA", "ECHO");
    h.engine.Tick(Millis(100000));
    EXPECT_EQ(HeardBytes(lines), test.heard);
  }
}

}  // namespace
}  // namespace tw::loopback::testing
