// Components against the loopback engine over real loopback TCP: a session
// between two of them, a disconnect right after the data on a paced engine,
// and an engine that restarts under a live channel.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "control/component/vokapi.h"
#include "platform/loop/asio_event_loop.h"
#include "tests/integration/engine_fixture.h"

namespace tw::integration {
namespace {

using Clock = std::chrono::steady_clock;

// A component that writes down its channel events.
struct Station {
  Station(AsioEventLoop& loop, std::uint16_t enginePort, const std::string& call) : api(loop) {
    api.SetPort(enginePort);
    api.SetCallSign(call);
    api.SetRegister(true);
    api.OnReady = [this](bool ready) { Note(ready ? "ready" : "lost"); };
    api.OnRegister = [this](const std::string&, bool ok) { Note(ok ? "registered" : "refused"); };
    api.OnAX25Connect = [this](int id) {
      connected.push_back(id);
      Note("connect " + std::to_string(id));
    };
    api.OnAX25Disconnect = [this](int id) {
      disconnected.push_back(id);
      Note("disconnect " + std::to_string(id));
    };
    api.OnAX25Receive = [this](int, const std::string& data) { received += data; };
  }
  void Start() {
    api.SetActive(true);
    api.SetAX25(true);
  }
  void Note(const std::string& what) { timeline.emplace_back(Clock::now(), what); }
  int Count(const std::string& what) const {
    int n = 0;
    for (const auto& [at, event] : timeline) n += event == what ? 1 : 0;
    return n;
  }
  bool Saw(const std::string& what) const { return Count(what) > 0; }

  std::vector<int> connected;
  std::vector<int> disconnected;
  std::string received;
  std::vector<std::pair<Clock::time_point, std::string>> timeline;
  TVOKAPI api;
};

class ComponentSession : public EngineTest {
 protected:
  explicit ComponentSession(loopback::EngineConfig config = {}) : EngineTest(config) {}

  Station& NewStation(const std::string& call) {
    stations_.push_back(std::make_unique<Station>(loop, Engine().server.Port(), call));
    stations_.back()->Start();
    Station& station = *stations_.back();
    EXPECT_TRUE(RunUntil([&] { return station.Saw("registered"); })) << call;
    return station;
  }

  // A calls B; both see the channel come up.
  void Connect(Station& a, Station& b, int& idA) {
    idA = a.api.AX25Connect(1, a.api.CallSign(), b.api.CallSign(), "");
    ASSERT_NE(idA, 0);
    ASSERT_TRUE(RunUntil([&] { return !a.connected.empty() && !b.connected.empty(); }));
    EXPECT_EQ(a.connected[0], idA);
  }

  ~ComponentSession() override { stations_.clear(); }

 private:
  std::vector<std::unique_ptr<Station>> stations_;
};

TEST_F(ComponentSession, TwoComponentsCarryBinaryDataBothWays) {
  Station& a = NewStation("N0AAA");
  Station& b = NewStation("N0BBB-1");
  int idA = 0;
  ASSERT_NO_FATAL_FAILURE(Connect(a, b, idA));
  const int idB = b.connected[0];

  const std::string toB = Payload(3000, 1);
  const std::string toA = Payload(1700, 2);
  ASSERT_TRUE(a.api.AX25Send(idA, toB));
  ASSERT_TRUE(b.api.AX25Send(idB, toA));
  ASSERT_TRUE(RunUntil([&] { return b.received.size() >= toB.size() && a.received.size() >= toA.size(); }));
  EXPECT_EQ(b.received, toB);
  EXPECT_EQ(a.received, toA);

  ASSERT_TRUE(a.api.AX25Disconnect(idA));
  ASSERT_TRUE(RunUntil([&] { return !a.disconnected.empty() && !b.disconnected.empty(); }));
  EXPECT_EQ(a.disconnected, std::vector<int>{idA});
  EXPECT_EQ(b.disconnected, std::vector<int>{idB});
}

TEST_F(ComponentSession, EngineRestartOnTheSamePortEndsChannelAndReconnects) {
  Station& a = NewStation("N0AAA");
  const int id = a.api.AX25Connect(1, "N0AAA", "ECHO", "");
  ASSERT_TRUE(RunUntil([&] { return !a.connected.empty(); }));
  const std::uint16_t port = Engine().server.Port();

  const auto stopped = Clock::now();
  Engine().server.Stop();
  ASSERT_TRUE(RunUntil([&] { return a.Saw("lost"); }));
  EXPECT_EQ(a.disconnected, std::vector<int>{id});
  EXPECT_FALSE(a.api.Active());

  // The engine comes back a little later, where it was.
  loop.RunFor(std::chrono::milliseconds(1500));
  loopback::LoopbackEngine engine2;
  loopback::EngineServer server2(loop.Context(), engine2, port);
  const auto restarted = Clock::now();
  ASSERT_TRUE(loop.RunUntil([&] { return a.Count("registered") == 2; }, std::chrono::seconds(30)));
  EXPECT_TRUE(a.api.Active());

  // A new channel to the same station works on the new engine.
  const int again = a.api.AX25Connect(1, "N0AAA", "ECHO", "");
  EXPECT_GT(again, id);
  ASSERT_TRUE(RunUntil([&] { return a.connected.size() == 2; }));

  auto ms = [](Clock::duration d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); };
  std::cout << "engine stopped at 0 ms, started again at " << ms(restarted - stopped) << " ms\n";
  for (const auto& [at, event] : a.timeline) {
    if (at >= stopped) std::cout << "  " << ms(at - stopped) << " ms " << event << "\n";
  }
  server2.Stop();
  loop.RunFor(std::chrono::milliseconds(50));
}

// The engine paced like a 1200-baud radio: a disconnect sent at once would
// discard what it has not yet delivered.
class PacedComponentSession : public ComponentSession {
 protected:
  static loopback::EngineConfig Paced() {
    loopback::EngineConfig config;
    config.baud = 1200;
    return config;
  }
  PacedComponentSession() : ComponentSession(Paced()) {}
};

TEST_F(PacedComponentSession, DataSentRightBeforeTheDisconnectArrivesWhole) {
  Station& a = NewStation("N0AAA");
  Station& b = NewStation("N0BBB");
  int id = 0;
  ASSERT_NO_FATAL_FAILURE(Connect(a, b, id));
  const std::string message = Payload(2000, 7);
  const auto start = Clock::now();
  ASSERT_TRUE(a.api.AX25Send(id, message));
  ASSERT_TRUE(a.api.AX25Disconnect(id));
  ASSERT_TRUE(loop.RunUntil([&] { return !a.disconnected.empty() && !b.disconnected.empty(); },
                            std::chrono::seconds(60)));
  std::cout << "sent " << message.size() << " bytes, received " << b.received.size() << " bytes in "
            << std::chrono::duration<double>(Clock::now() - start).count() << " s\n";
  EXPECT_EQ(b.received, message);
}

}  // namespace
}  // namespace tw::integration
