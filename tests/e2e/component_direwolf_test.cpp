// The component against a real packet engine: two TVOKAPI objects, each on
// one of two Dire Wolf instances whose modems hear each other. A mail client
// sends its message and disconnects at once; the engine drops whatever it
// has not yet had acknowledged when told to disconnect, so the message
// arrives whole only because the component holds the disconnect until the
// engine has sent it.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "control/component/vokapi.h"
#include "platform/loop/asio_event_loop.h"
#include "tests/e2e/agw_client.h"
#include "tests/e2e/direwolf_pair.h"
#include "tests/e2e/direwolf_test.h"
#include "tests/e2e/e2e_settings.h"

namespace tw::e2e {
namespace {

using std::chrono::seconds;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxTrace = 512 * 1024;

struct Station {
  Station(EventLoop& loop, const DirewolfEngine& engine) : api(loop) {
    api.SetPort(engine.agwPort);
    api.SetCallSign(engine.call);
    api.SetRegister(true);
    api.SetTrace(3);
    api.OnDebug = [this](const std::string& line) {
      if (trace.size() < kMaxTrace) trace += line + "\n";
    };
    api.SetDebug(true);
    api.OnRegister = [this](const std::string&, bool ok) { registered = registered || ok; };
    api.OnAX25Connect = [this](int id) { connected.push_back(id); };
    api.OnAX25Disconnect = [this](int id) { disconnected.push_back(id); };
    api.OnAX25Receive = [this](int, const std::string& data) { received += data; };
    api.SetActive(true);
    api.SetAX25(true);
  }

  bool Up() const { return api.Active() && registered; }

  std::string trace;
  TVOKAPI api;
  bool registered = false;
  std::vector<int> connected;
  std::vector<int> disconnected;
  std::string received;
};

std::string Binary(std::size_t size) {
  std::string data;
  for (std::size_t i = 0; i < size; ++i) data += static_cast<char>((i * 7 + i / 256) & 0xFF);
  data[0] = '\xC0';
  data[1] = '\xDB';
  data[2] = '\0';
  return data;
}

class ComponentDirewolfTest : public DirewolfTest {
 protected:
  void SetUp() override {
    DirewolfTest::SetUp();
    if (IsSkipped()) return;
    a_ = std::make_unique<Station>(loop_, pair_->A());
    b_ = std::make_unique<Station>(loop_, pair_->B());
    ASSERT_TRUE(loop_.RunUntil([&] { return a_->Up() && b_->Up(); }, seconds(20)))
        << "the components never came up and registered";
  }

  void TearDown() override {
    DirewolfTest::TearDown();
    a_.reset();
    b_.reset();
  }

  std::string Report() override {
    return "--- trace of A:\n" + (a_ ? AgwClient::Escape(a_->trace) : "") + "\n--- trace of B:\n" +
           (b_ ? AgwClient::Escape(b_->trace) : "") + "\n";
  }

  AsioEventLoop loop_;
  std::unique_ptr<Station> a_;
  std::unique_ptr<Station> b_;
};

TEST_F(ComponentDirewolfTest, DataSentRightBeforeTheDisconnectArrivesWhole) {
  const int id = a_->api.AX25Connect(1, pair_->A().call, pair_->B().call, "");
  ASSERT_NE(id, 0);
  ASSERT_TRUE(loop_.RunUntil([&] { return !a_->connected.empty() && !b_->connected.empty(); }, kConnectTimeout))
      << "the link was not reported on both ends";
  EXPECT_EQ(a_->connected[0], id);

  const std::string message = Binary(2000);
  const auto start = Clock::now();
  ASSERT_TRUE(a_->api.AX25Send(id, message));
  ASSERT_TRUE(a_->api.AX25Disconnect(id));
  // 2000 bytes take about 15 s of air time at 1200 baud, more with the
  // acknowledgements; the limit leaves room for a loaded machine.
  ASSERT_TRUE(loop_.RunUntil([&] { return !a_->disconnected.empty() && !b_->disconnected.empty(); },
                             seconds(180)))
      << "received " << b_->received.size() << " of " << message.size();
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  std::cout << "sent " << message.size() << " bytes, received " << b_->received.size() << " bytes, "
            << took << " s from the send to both ends disconnected\n";
  EXPECT_EQ(b_->received.size(), message.size());
  EXPECT_TRUE(b_->received == message) << "the bytes differ";
  EXPECT_EQ(a_->disconnected, std::vector<int>{id});
  EXPECT_EQ(b_->disconnected, b_->connected);
}

}  // namespace
}  // namespace tw::e2e
