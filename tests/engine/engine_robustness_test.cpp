// Hostile or broken input: the engine drops a client that lost its framing,
// and nothing any client sends makes it misbehave.
#include <gtest/gtest.h>

#include <random>

#include "tests/engine/engine_harness.h"

namespace tw::loopback::testing {
namespace {

using namespace std::string_literals;

TEST(EngineRobustness, AHeaderWithANonLetterKindDropsTheClientAtOnce) {
  EngineHarness h;
  ClientId a = h.Join();
  ClientId b = h.Join();
  h.Register(b, "N0BBB");
  h.Send(a, 1, 'C', "N0AAA", "N0BBB");
  h.Forget();
  std::string header(36, '\0');
  header[4] = '\x01';
  header[28] = '\xFF';
  header[29] = '\xFF';  // its data would take 65535 more bytes
  EXPECT_FALSE(h.engine.Receive(a, header));
  EXPECT_EQ(h.engine.ClientCount(), 1u);
  EXPECT_EQ(h.Only(b).data, "*** DISCONNECTED From Station N0AAA\r\0"s);
  EXPECT_TRUE(h.Received(a).empty());
  EXPECT_FALSE(h.engine.Receive(a, EncodeFrame(0, 0, 'G', "", "", "")));
  EXPECT_TRUE(h.Received(a).empty());
}

TEST(EngineRobustness, UnknownKindsAndCallFieldsWithoutNulAreHarmless) {
  EngineHarness h;
  ClientId a = h.Join();
  EXPECT_TRUE(h.Send(a, 1, 'Q', "whatever", "", "data"));
  EXPECT_TRUE(h.Send(a, 1, 'C', "ABCDEFGHIJKLMNOP", "ECHO"));
  Frame connected = h.Only(a);
  EXPECT_EQ(connected.header.callTo, "ABCDEFGHIJ");
  EXPECT_TRUE(h.Send(a, 1, 'D', "ABCDEFGHIJ", "ECHO", "ok"));
  EXPECT_EQ(h.Only(a).data, "ok");
}

// Random but well-framed traffic from several clients that come and go; the
// sanitizer build turns any memory fault here into a failure.
TEST(EngineRobustness, RandomTrafficKeepsOutputWellFramedAndStateBounded) {
  EngineConfig config = TestConfig();
  config.maxLinksPerClient = 4;
  config.maxCallsPerClient = 3;
  EngineHarness h(config);
  std::mt19937 random(20240501);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  const std::string calls[] = {"N0AAA", "N0BBB-1", "n0bbb-1", "ECHO", "", "N0CCC-15", "NOBODY", "0123456789"};
  const char kinds[] = "GRgyYHXxmkCcvdDMVKZ";
  std::vector<ClientId> clients;
  Millis now{0};
  for (int step = 0; step < 20000; ++step) {
    if (clients.size() < 2 || pick(200) == 0) clients.push_back(h.Join());
    if (pick(300) == 0) {
      std::size_t gone = pick(clients.size());
      h.engine.Disconnect(clients[gone]);
      clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(gone));
      continue;
    }
    if (pick(50) == 0) {
      now += Millis(pick(2000));
      h.engine.Tick(now);
    }
    ClientId client = clients[pick(clients.size())];
    std::string data;
    std::size_t length = pick(10) == 0 ? pick(700) : pick(30);
    for (std::size_t i = 0; i < length; ++i) data.push_back(static_cast<char>(random()));
    char kind = kinds[pick(sizeof kinds - 1)];
    if ((kind == 'v' || kind == 'V') && pick(2) == 0) {
      std::size_t n = pick(10);
      std::vector<std::string> path;
      for (std::size_t i = 0; i < n; ++i) path.push_back(calls[pick(std::size(calls))]);
      data = EncodeViaBlock(path.data(), n) + data;
    }
    std::string wire = EncodeFrame(static_cast<int>(pick(4)), static_cast<std::uint8_t>(random()), kind,
                                   calls[pick(std::size(calls))], calls[pick(std::size(calls))], data);
    std::size_t cut = pick(wire.size() + 1);
    ASSERT_TRUE(h.engine.Receive(client, std::string_view(wire).substr(0, cut)));
    ASSERT_TRUE(h.engine.Receive(client, std::string_view(wire).substr(cut)));
    ASSERT_EQ(h.engine.BufferedBytes(client), 0u);
    ASSERT_LE(h.engine.LinkCount(), h.engine.ClientCount() * config.maxLinksPerClient);
    for (ClientId c : clients) {
      for (const Frame& frame : h.Received(c)) {
        ASSERT_NE(std::string("GRgyYHXxCdDUK").find(frame.header.kind), std::string::npos)
            << "kind " << frame.header.kind;
      }
    }
  }
}

}  // namespace
}  // namespace tw::loopback::testing
