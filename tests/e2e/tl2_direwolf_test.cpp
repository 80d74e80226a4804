// The link layer against a real packet engine: two TL2 objects on one Asio
// loop, each attached to one of two Dire Wolf instances whose modems hear
// each other, go through what the bridge does with a stream: come up and
// register, connect, carry binary data both ways, hang up, and give up on a
// station that never answers.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "control/link/tl2.h"
#include "platform/loop/asio_event_loop.h"
#include "tests/e2e/agw_client.h"
#include "tests/e2e/direwolf_pair.h"
#include "tests/e2e/direwolf_test.h"
#include "tests/e2e/e2e_settings.h"

namespace tw::e2e {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr std::uint8_t kPidText = 0xF0;
constexpr std::size_t kMaxTrace = 256 * 1024;

std::string Payload(std::size_t size, unsigned seed) {
  std::string data = {'\x00', '\xC0', '\xDB', '\xFF'};
  for (std::size_t i = 0; data.size() < size; ++i) data += static_cast<char>((i * 11 + seed) & 0xFF);
  data.resize(size);
  return data;
}

// A station notice as the link reports it: the port, the station it names
// and the engine's line.
struct Notice {
  int port = 0;
  std::string station;
  std::string line;
};

// One TL2 and everything it reported.
struct Station {
  Station(EventLoop& loop, const DirewolfEngine& engine) : link(loop) {
    link.SetAddress("127.0.0.1");
    link.SetPort(engine.agwPort);
    link.SetCallSign(engine.call);
    // The trace goes to memory only and is shown when a test fails.
    link.Log().SetOn(true);
    link.Log().SetLevel(4);
    link.Log().SetSink([this](const std::string& line) {
      if (trace.size() < kMaxTrace) trace += line + "\n";
    });

    link.OnVOKUp = [](TL2& l) { l.SetRegister(true); };
    link.OnVOKDown = [this](TL2&) { ++downs; };
    link.OnVOKError = [this](TL2&) { ++errors; };
    link.OnRead = [this](TL2&, int, std::uint8_t, char kind, const std::string&,
                         const std::string&, const std::string& data) {
      if (kind == 'g') capabilities = data;
    };
    link.OnVersion = [this](TL2&, int major, int minor) {
      versionMajor = major;
      versionMinor = minor;
    };
    link.OnPort = [this](TL2&) { ++portLists; };
    link.OnParameter = [this](TL2&) { ++parameters; };
    link.OnPortFrames = [this](TL2&, int port, int count) {
      framesPort = port;
      framesCount = count;
    };
    link.OnRegister = [this](TL2&, const std::string& call, const std::string& data) {
      registeredCall = call;
      registerReply = data;
    };
    auto notice = [](std::vector<Notice>& into) {
      return [&into](TL2&, int port, const std::string& station, const std::string& line) {
        into.push_back({port, station, line});
      };
    };
    link.OnMyConnect = notice(myConnects);
    link.OnHisConnect = notice(hisConnects);
    link.OnMyDisconnect = notice(myDisconnects);
    link.OnHisDisconnect = notice(hisDisconnects);
    link.OnRetryOut = notice(retryOuts);
    link.OnConnect = [this](TL2&, int port, const std::string& from, const std::string& to,
                            const std::string&) { connects.push_back({port, from + ">" + to, {}}); };
    link.OnDisconnect = [this](TL2&, int port, const std::string& from, const std::string& to,
                               const std::string&) {
      disconnects.push_back({port, from + ">" + to, {}});
    };
    link.OnData = [this](TL2&, int port, const std::string& from, const std::string& to,
                         std::uint8_t pid, const std::string& bytes) {
      received += bytes;
      if (port != 1 || pid != kPidText || from.empty() || to != link.CallSign()) {
        strayData += from + ">" + to + " port " + std::to_string(port) + " pid " +
                     std::to_string(pid) + "\n";
      }
    };
  }

  bool Up() const { return versionMajor > 0 && portLists > 0 && link.Registered(); }

  // Declared before the link: the link's destructor still writes to it.
  std::string trace;
  TL2 link;
  int downs = 0;
  int errors = 0;
  int versionMajor = 0;
  int versionMinor = 0;
  int portLists = 0;
  int parameters = 0;
  int framesPort = 0;
  int framesCount = -1;
  std::string capabilities;  // the engine's 'g' reply as received
  std::string registeredCall;
  std::string registerReply;
  std::vector<Notice> myConnects;
  std::vector<Notice> hisConnects;
  std::vector<Notice> myDisconnects;
  std::vector<Notice> hisDisconnects;
  std::vector<Notice> retryOuts;
  std::vector<Notice> connects;     // station holds "from>to"
  std::vector<Notice> disconnects;  // station holds "from>to"
  std::string received;  // connected data, joined
  std::string strayData;
};

class TL2DirewolfTest : public DirewolfTest {
 protected:
  void SetUp() override {
    DirewolfTest::SetUp();
    if (IsSkipped()) return;
    a_ = std::make_unique<Station>(loop_, pair_->A());
    b_ = std::make_unique<Station>(loop_, pair_->B());
    a_->link.SetActive(true);
    b_->link.SetActive(true);
    ASSERT_TRUE(RunUntil([&] { return a_->Up() && b_->Up(); }, seconds(20)))
        << "the links never came up and registered";
  }

  void TearDown() override {
    DirewolfTest::TearDown();
    // The links go before the loop that made their sockets.
    a_.reset();
    b_.reset();
  }

  std::string Report() override {
    return "--- trace of A:\n" + (a_ ? AgwClient::Escape(a_->trace) : "") + "\n--- trace of B:\n" +
           (b_ ? AgwClient::Escape(b_->trace) : "") + "\n";
  }

  template <class Done>
  bool RunUntil(Done&& done, milliseconds timeout) {
    return loop_.RunUntil(std::function<bool()>(done), timeout);
  }

  const std::string& CallA() const { return pair_->A().call; }
  const std::string& CallB() const { return pair_->B().call; }

  AsioEventLoop loop_;
  std::unique_ptr<Station> a_;
  std::unique_ptr<Station> b_;
};

TEST_F(TL2DirewolfTest, ComesUpWithVersionPortTableAndRegistration) {
  // The capabilities and outstanding-frames replies follow the port list.
  ASSERT_TRUE(RunUntil([&] { return a_->parameters > 0 && b_->parameters > 0 &&
                                    a_->framesCount >= 0 && b_->framesCount >= 0; },
                       seconds(10)));
  for (Station* s : {a_.get(), b_.get()}) {
    SCOPED_TRACE(s->link.CallSign());
    EXPECT_TRUE(s->link.Connected());
    EXPECT_EQ(s->link.VersionMajor(), s->versionMajor);
    EXPECT_EQ(s->link.VersionMinor(), s->versionMinor);
    EXPECT_EQ(s->registeredCall, s->link.CallSign());
    EXPECT_EQ(s->registerReply, std::string(1, '\x01'));

    // One radio channel configured: one port, named by the engine, no loop-back.
    EXPECT_EQ(s->link.PortMax(), 1);
    const PortInfo* port = s->link.PortRecord(1);
    ASSERT_NE(port, nullptr);
    EXPECT_TRUE(port->valid);
    EXPECT_EQ(port->portName.rfind("Port1 ", 0), 0u) << port->portName;
    EXPECT_FALSE(s->link.LoopBack());

    // The port record holds what the engine's capability bytes say.
    ASSERT_GE(s->capabilities.size(), 11u);
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(s->capabilities[i]); };
    EXPECT_EQ(port->onAirBaud, byte(0));
    EXPECT_EQ(port->txDelay, byte(2));
    EXPECT_EQ(port->persist, byte(4));
    EXPECT_EQ(port->maxFrame, byte(6));
    EXPECT_EQ(port->howManyBytes, byte(8) + 256u * byte(9) + 65536u * byte(10));

    EXPECT_EQ(s->framesPort, 1);
    EXPECT_EQ(s->framesCount, 0);
    EXPECT_EQ(s->downs + s->errors, 0);
  }
}

TEST_F(TL2DirewolfTest, CarriesAConnectedSessionFromConnectToDisconnect) {
  a_->link.ConnectExt(1, 0, CallA(), CallB(), "");
  ASSERT_TRUE(RunUntil([&] { return !a_->myConnects.empty() && !b_->hisConnects.empty(); },
                       kConnectTimeout))
      << "the link was not reported on both ends";
  ASSERT_EQ(a_->myConnects.size(), 1u);
  EXPECT_EQ(a_->myConnects[0].port, 1);
  EXPECT_EQ(a_->myConnects[0].station, CallB());
  EXPECT_EQ(a_->myConnects[0].line, "*** CONNECTED With Station " + CallB());
  EXPECT_TRUE(a_->hisConnects.empty());
  ASSERT_EQ(b_->hisConnects.size(), 1u);
  EXPECT_EQ(b_->hisConnects[0].station, CallA());
  EXPECT_EQ(b_->hisConnects[0].line, "*** CONNECTED To Station " + CallA());
  EXPECT_TRUE(b_->myConnects.empty());
  ASSERT_EQ(a_->connects.size(), 1u);
  EXPECT_EQ(a_->connects[0].station, CallB() + ">" + CallA());
  ASSERT_EQ(b_->connects.size(), 1u);
  EXPECT_EQ(b_->connects[0].station, CallA() + ">" + CallB());

  // Both ways longer than one frame, with the bytes that framing layers mistreat.
  const std::string toB = Payload(600, 5);
  const std::string toA = Payload(300, 9);
  a_->link.SendData(1, kPidText, CallA(), CallB(), toB);
  ASSERT_TRUE(RunUntil([&] { return b_->received.size() >= toB.size(); }, kDataTimeout));
  EXPECT_EQ(b_->received, toB);
  b_->link.SendData(1, kPidText, CallB(), CallA(), toA);
  ASSERT_TRUE(RunUntil([&] { return a_->received.size() >= toA.size(); }, kDataTimeout));
  EXPECT_EQ(a_->received, toA);
  EXPECT_EQ(a_->strayData + b_->strayData, "");

  // This engine reports a link's end as "From" on both ends, the hanging-up
  // one included.
  a_->link.DisconnectExt(1, CallA(), CallB());
  ASSERT_TRUE(RunUntil([&] { return !a_->disconnects.empty() && !b_->disconnects.empty(); },
                       kDisconnectTimeout))
      << "the end of the link was not reported on both ends";
  ASSERT_EQ(b_->hisDisconnects.size(), 1u);
  EXPECT_EQ(b_->hisDisconnects[0].station, CallA());
  EXPECT_EQ(b_->hisDisconnects[0].line, "*** DISCONNECTED From Station " + CallA());
  ASSERT_EQ(a_->hisDisconnects.size(), 1u);
  EXPECT_EQ(a_->hisDisconnects[0].station, CallB());
  EXPECT_EQ(a_->disconnects[0].station, CallB() + ">" + CallA());
  EXPECT_TRUE(a_->retryOuts.empty());
  EXPECT_TRUE(a_->link.Connected()) << "the engine connection outlives the AX.25 link";
}

TEST_F(TL2DirewolfTest, ReportsARetryOutWhenNobodyAnswers) {
  const std::string nobody = "N0ZZZ";
  a_->link.ConnectExt(1, 0, CallA(), nobody, "");
  ASSERT_TRUE(RunUntil([&] { return !a_->retryOuts.empty(); }, kRetryOutTimeout))
      << "the engine never gave up calling " << nobody;
  EXPECT_EQ(a_->retryOuts[0].port, 1);
  EXPECT_EQ(a_->retryOuts[0].station, nobody);
  EXPECT_EQ(a_->retryOuts[0].line, "*** DISCONNECTED RETRYOUT With " + nobody);
  EXPECT_TRUE(a_->myConnects.empty());
  EXPECT_TRUE(a_->hisDisconnects.empty());
  ASSERT_EQ(a_->disconnects.size(), 1u);
  EXPECT_EQ(a_->disconnects[0].station, nobody + ">" + CallA());
  EXPECT_TRUE(b_->hisConnects.empty()) << "B took a call meant for someone else";
}

}  // namespace
}  // namespace tw::e2e
