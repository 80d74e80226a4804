// A beacon on the air of the loopback engine: one link sends it, a second
// client of the engine monitors and sees it, all over real loopback TCP on
// one Asio loop.
#include <gtest/gtest.h>

#include <asio.hpp>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/beacon/l2_beacon.h"
#include "control/link/tl2.h"
#include "platform/loop/asio_event_loop.h"
#include "tools/loopback_engine/engine_core.h"
#include "tools/loopback_engine/server.h"

namespace tw {
namespace {

using namespace std::chrono_literals;

constexpr auto kPatience = 10s;
constexpr int kEnginePorts = 2;

struct Heard {
  int port = 0;
  std::string source;
  std::string destination;
  std::uint8_t pid = 0;
  std::string info;
};

loopback::EngineConfig TwoPorts() {
  loopback::EngineConfig config;
  config.ports = kEnginePorts;
  return config;
}

class BeaconEngineTest : public ::testing::Test {
 protected:
  BeaconEngineTest() {
    server = std::make_unique<loopback::EngineServer>(loop.Context(), engine, 0);
  }
  ~BeaconEngineTest() override {
    beacon.reset();
    sender.reset();
    monitor.reset();
    server->Stop();
    // Lets the closing connections finish their handlers while all is alive.
    loop.RunFor(50ms);
  }

  bool RunUntil(const std::function<bool()>& done) { return loop.RunUntil(done, kPatience); }

  std::unique_ptr<TL2> NewLink(const std::string& call) {
    auto link = std::make_unique<TL2>(loop);
    link->SetAddress("127.0.0.1");
    link->SetPort(server->Port());
    link->SetCallSign(call);
    return link;
  }

  // A client that monitors unproto frames and takes raw frames too. Once it
  // returns, the engine has switched both on: it answers a client's frames
  // in order, and the version asked for last comes after both switches.
  void StartMonitor() {
    monitor = NewLink("MON");
    monitor->SetMonitor("U");
    monitor->Kiss = true;
    monitor->OnDataUI = [this](TL2&, int port, const std::string& source,
                               const std::string& destination, std::uint8_t pid,
                               const std::string& info) {
      heard.push_back({port, source, destination, pid, info});
    };
    monitor->OnRaw = [this](TL2& link, int, const std::string& frame) {
      raw.push_back(link.KissDecode(frame));
    };
    monitor->OnVersion = [this](TL2&, int, int) { ++versions; };
    monitor->SetActive(true);
    ASSERT_TRUE(RunUntil([&] { return versions == 1; }));
    monitor->Write(0, 0, 'R', "", "", "");
    ASSERT_TRUE(RunUntil([&] { return versions == 2; }));
  }

  void StartSender() {
    sender = NewLink("N0CALL");
    bool portsKnown = false;
    sender->OnPort = [&](TL2&) { portsKnown = true; };
    sender->SetActive(true);
    ASSERT_TRUE(RunUntil([&] { return portsKnown; }));
    sender->OnPort = nullptr;
    ASSERT_EQ(sender->PortMax(), kEnginePorts);
    beacon = std::make_unique<TL2Beacon>(loop);
    beacon->VOKL2 = sender.get();
    beacon->Call = "N0CALL-5";
    beacon->Id = "BEACON";
    beacon->Text = "Tidewire beacon test";
  }

  AsioEventLoop loop;  // first: everything below is bound to it
  loopback::LoopbackEngine engine{TwoPorts()};
  std::unique_ptr<loopback::EngineServer> server;
  std::unique_ptr<TL2> monitor;
  std::unique_ptr<TL2> sender;
  std::unique_ptr<TL2Beacon> beacon;
  std::vector<Heard> heard;
  std::vector<KissFrame> raw;
  int versions = 0;
};

TEST_F(BeaconEngineTest, BeaconIsHeardOnEveryPortAtStartAndOnEachTick) {
  ASSERT_NO_FATAL_FAILURE(StartMonitor());
  ASSERT_NO_FATAL_FAILURE(StartSender());
  beacon->Interval = 100;
  beacon->SetActive(true);

  // The first cycle at activation, then at least one from the timer.
  ASSERT_TRUE(RunUntil([&] { return heard.size() >= 2 * kEnginePorts; }));
  beacon->SetActive(false);

  for (std::size_t i = 0; i < 2 * kEnginePorts; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(heard[i].port, kEnginePorts - static_cast<int>(i % kEnginePorts));
    EXPECT_EQ(heard[i].source, "N0CALL-5");
    EXPECT_EQ(heard[i].destination, "BEACON");
    EXPECT_EQ(heard[i].pid, 0xF0);
    EXPECT_EQ(heard[i].info, "Tidewire beacon test\r");  // the monitor line ends with CR
  }
}

TEST_F(BeaconEngineTest, BeaconWithAPathGoesOutThroughIt) {
  ASSERT_NO_FATAL_FAILURE(StartMonitor());
  ASSERT_NO_FATAL_FAILURE(StartSender());
  beacon->Post(sender.get(), 1, "N0CALL-5", "BEACON", "RELAY WIDE2-2", "via test");

  ASSERT_TRUE(RunUntil([&] { return !heard.empty() && !raw.empty(); })) << heard.size() << " " << raw.size();
  EXPECT_EQ(heard[0].port, 1);
  EXPECT_EQ(heard[0].source, "N0CALL-5");
  EXPECT_EQ(heard[0].info, "via test\r");
  EXPECT_EQ(raw[0].source, "N0CALL-5");
  EXPECT_EQ(raw[0].destination, "BEACON");
  EXPECT_EQ(raw[0].via, "RELAY,WIDE2-2");
  EXPECT_EQ(raw[0].info, "via test");
}

}  // namespace
}  // namespace tw
