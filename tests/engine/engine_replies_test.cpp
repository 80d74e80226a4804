// What the engine answers about itself and its ports, and registration.
#include <gtest/gtest.h>

#include "platform/text/text.h"
#include "tests/engine/engine_harness.h"

namespace tw::loopback::testing {
namespace {

using namespace std::string_literals;

// A header as it must appear on the wire: port byte, kind, PID, two NUL-padded
// 10-byte calls, a 16-bit length and zeros elsewhere.
std::string WireHeader(std::uint8_t wirePort, char kind, std::uint8_t pid, const std::string& from,
                       const std::string& to, std::size_t length) {
  std::string h(36, '\0');
  h[0] = static_cast<char>(wirePort);
  h[4] = kind;
  h[6] = static_cast<char>(pid);
  h.replace(8, from.size(), from);
  h.replace(18, to.size(), to);
  h[28] = static_cast<char>(length & 0xFF);
  h[29] = static_cast<char>(length >> 8);
  return h;
}

TEST(EngineReplies, VersionAndPortListAreByteExact) {
  EngineHarness h;
  ClientId c = h.Join();
  h.Send(c, 0, 'R');
  h.Send(c, 0, 'G');
  std::string ports = "2;Port1 Simulated radio;Port2 Loopback;";
  std::string expected = WireHeader(0, 'R', 0, "", "", 8) + "\xD5\x07\0\0\x7F\0\0\0"s +
                         WireHeader(0, 'G', 0, "", "", ports.size()) + ports;
  auto out = h.engine.TakeOutput();
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].client, c);
  EXPECT_EQ(out[0].bytes, expected);
}

TEST(EngineReplies, PortListNamesExactlyTheLastPortAsLoopBack) {
  EngineConfig config = TestConfig();
  config.ports = 3;
  EngineHarness h(config);
  ClientId c = h.Join();
  h.Send(c, 0, 'G');
  std::string list = h.Only(c).data;
  EXPECT_EQ(list, "3;Port1 Simulated radio;Port2 Simulated radio;Port3 Loopback;");
  std::string upper = UpperText(list);
  EXPECT_EQ(upper.find("LOOPBACK"), upper.rfind("LOOPBACK"));
}

TEST(EngineReplies, PortCapabilitiesAndOutstandingFrames) {
  EngineHarness h;
  ClientId c = h.Join();
  h.Send(c, 2, 'g');
  Frame idle = h.Only(c);
  EXPECT_EQ(idle.header.port, 2);
  EXPECT_EQ(idle.header.kind, 'g');
  EXPECT_EQ(idle.data, "\x00\x00\x1E\x0A\x3F\x0A\x04\x00\x00\x00\x00\x00"s);

  h.Send(c, 2, 'C', "N0AAA", "ECHO");
  h.Forget();
  h.Send(c, 2, 'g');
  h.Send(c, 1, 'g');
  auto frames = h.Received(c);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].data[7], '\1');
  EXPECT_EQ(frames[1].data[7], '\0');

  // Outstanding frames: always none on a listed port; unlisted ports get no answer at all.
  h.Send(c, 2, 'y');
  h.Send(c, 3, 'y');
  h.Send(c, 3, 'g');
  h.Send(c, 3, 'H');
  Frame outstanding = h.Only(c);
  EXPECT_EQ(outstanding.header.port, 2);
  EXPECT_EQ(outstanding.header.kind, 'y');
  EXPECT_EQ(outstanding.data, "\0\0\0\0"s);
}

TEST(EngineReplies, HeardListHoldsTheStationsSeenOnThatPortNewestFirst) {
  EngineHarness h;
  ClientId c = h.Join();
  h.Send(c, 1, 'H');
  EXPECT_TRUE(h.Received(c).empty());

  h.Send(c, 1, 'M', "N0AAA", "ID", "hi", 0xF0);
  h.Send(c, 1, 'C', "n0bbb-3", "NOBODY");
  h.Send(c, 1, 'M', "N0AAA", "ID", "again", 0xF0);
  h.Forget();
  h.Send(c, 1, 'H');
  h.Send(c, 2, 'H');
  auto frames = h.Received(c);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].header.callFrom, "N0AAA");
  EXPECT_EQ(frames[0].data, "N0AAA first heard 12:34:56 last heard 12:34:56\0"s);
  EXPECT_EQ(frames[1].header.callFrom, "N0BBB-3");
}

TEST(EngineReplies, HeardListKeepsTwentyStationsPerPort) {
  EngineHarness h;
  ClientId c = h.Join();
  for (int i = 0; i < 25; ++i) h.Send(c, 1, 'M', Cat("N", i, "AAA"), "ID", "x", 0xF0);
  h.Forget();
  h.Send(c, 1, 'H');
  auto frames = h.Received(c);
  ASSERT_EQ(frames.size(), 20u);
  EXPECT_EQ(frames.front().header.callFrom, "N24AAA");
  EXPECT_EQ(frames.back().header.callFrom, "N5AAA");
}

TEST(EngineRegistration, AcceptsFreeCallsAndRefusesTakenEmptyAndEchoCalls) {
  EngineHarness h;
  ClientId a = h.Join();
  ClientId b = h.Join();
  auto reply = [&](ClientId c, std::string_view call) {
    h.Register(c, call);
    Frame frame = h.Only(c);
    EXPECT_EQ(frame.header.kind, 'X');
    EXPECT_EQ(frame.header.callFrom, call);
    return frame.data;
  };
  EXPECT_EQ(reply(a, "N0AAA-1"), "\1");
  EXPECT_EQ(reply(a, "N0AAA-1"), "\1") << "registering one's own call again";
  EXPECT_EQ(reply(b, "N0AAA-1"), "\0"s);
  EXPECT_EQ(reply(b, "n0aaa-01"), "\0"s) << "the same station spelled differently";
  EXPECT_EQ(reply(b, ""), "\0"s);
  EXPECT_EQ(reply(b, "echo"), "\0"s);
  EXPECT_EQ(reply(b, "N0BBB"), "\1");
}

TEST(EngineRegistration, UnregisteringFreesTheCallForOthersButNotAnothersCall) {
  EngineHarness h;
  ClientId a = h.Join();
  ClientId b = h.Join();
  h.Register(a, "N0AAA");
  h.Forget();
  h.Send(b, 0, 'x', "N0AAA");
  EXPECT_EQ(h.Only(b).data, "\0"s);
  h.Send(a, 0, 'x', "N0AAA");
  Frame done = h.Only(a);
  EXPECT_EQ(done.header.kind, 'x');
  EXPECT_EQ(done.data, "\1");
  h.Register(b, "N0AAA");
  EXPECT_EQ(h.Only(b).data, "\1");
}

TEST(EngineRegistration, ClientsHoldAtMostTheConfiguredNumberOfCalls) {
  EngineConfig config = TestConfig();
  config.maxCallsPerClient = 2;
  EngineHarness h(config);
  ClientId a = h.Join();
  h.Register(a, "N0AAA-1");
  h.Register(a, "N0AAA-2");
  h.Register(a, "N0AAA-3");
  auto frames = h.Received(a);
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[2].data, "\0"s);
  h.Send(a, 0, 'x', "N0AAA-1");
  h.Register(a, "N0AAA-3");
  EXPECT_EQ(h.Received(a).back().data, "\1");
}

}  // namespace
}  // namespace tw::loopback::testing
