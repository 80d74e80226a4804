// A real packet engine end to end, spoken to frame by frame: two Dire Wolf
// instances whose modems hear each other, each with a raw AGW client built on
// the project's frame codec. Besides proving the harness, these tests pin
// down the reply texts and layouts of the engine that the link layer parses.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <string>

#include "platform/text/text.h"
#include "tests/e2e/agw_client.h"
#include "tests/e2e/direwolf_pair.h"
#include "tests/e2e/direwolf_test.h"
#include "tests/e2e/e2e_settings.h"

namespace tw::e2e {
namespace {

using std::chrono::seconds;

constexpr std::uint8_t kPidText = 0xF0;

// Every byte value, starting with the ones that framing layers like to
// mistreat (NUL, FEND, FESC, 0xFF), repeated up to `size` bytes.
std::string Payload(std::size_t size, unsigned seed) {
  std::string data = {'\x00', '\xC0', '\xDB', '\xFF'};
  for (std::size_t i = 0; data.size() < size; ++i) data += static_cast<char>((i * 7 + seed) & 0xFF);
  data.resize(size);
  return data;
}

std::string Joined(const std::vector<Frame>& frames) {
  std::string data;
  for (const auto& f : frames) data += f.data;
  return data;
}

std::uint16_t Le16(const std::string& d, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(d[at]) |
                                    (static_cast<std::uint8_t>(d[at + 1]) << 8));
}

class DirewolfAgwTest : public DirewolfTest {
 protected:
  void SetUp() override {
    DirewolfTest::SetUp();
    if (IsSkipped()) return;
    std::string error;
    ASSERT_TRUE(a_.Connect(pair_->A().agwPort, error)) << error;
    ASSERT_TRUE(b_.Connect(pair_->B().agwPort, error)) << error;
  }

  std::string Report() override {
    return a_.History() + b_.History() + "--- " + pair_->A().log + " ends:\n" + DirewolfPair::Tail(pair_->A().log, 3000) +
           "\n--- " + pair_->B().log + " ends:\n" + DirewolfPair::Tail(pair_->B().log, 3000) + "\n";
  }

  const std::string& CallA() const { return pair_->A().call; }
  const std::string& CallB() const { return pair_->B().call; }

  static void Register(AgwClient& client, const std::string& call) {
    ASSERT_TRUE(client.Send('X', 0, call));
    auto reply = client.WaitForKind('X', seconds(10));
    ASSERT_TRUE(reply) << "no reply to the registration of " << call;
    EXPECT_EQ(reply->header.callFrom, call);
    ASSERT_GE(reply->data.size(), 1u);
    EXPECT_EQ(reply->data[0], '\x01') << "registration of " << call << " refused";
  }

  // A calls B; both ends report the link. Data may be sent only after this:
  // this engine hangs on data for a link it never reported.
  void ConnectAToB() {
    ASSERT_NO_FATAL_FAILURE(Register(a_, CallA()));
    ASSERT_NO_FATAL_FAILURE(Register(b_, CallB()));
    ASSERT_TRUE(a_.Send('C', 1, CallA(), CallB()));

    auto called = b_.WaitForKind('C', kConnectTimeout);
    ASSERT_TRUE(called) << "the called side never reported the link";
    EXPECT_EQ(called->header.port, 1);
    EXPECT_EQ(called->header.callFrom, CallA());
    EXPECT_EQ(called->header.callTo, CallB());
    EXPECT_EQ(CopyToNul(called->data), "*** CONNECTED To Station " + CallA() + "\r");

    auto calling = a_.WaitForKind('C', kConnectTimeout);
    ASSERT_TRUE(calling) << "the calling side never reported the link";
    EXPECT_EQ(calling->header.port, 1);
    EXPECT_EQ(calling->header.callFrom, CallB());
    EXPECT_EQ(calling->header.callTo, CallA());
    EXPECT_EQ(CopyToNul(calling->data), "*** CONNECTED With Station " + CallB() + "\r");
  }

  // Sends `data` from one end and checks that the other gets it whole, in
  // order, as connected data between the right stations.
  static void Carry(AgwClient& from, const std::string& callFrom, AgwClient& to,
                    const std::string& callTo, const std::string& data) {
    ASSERT_TRUE(from.Send('D', 1, callFrom, callTo, data, kPidText));
    auto frames = to.ReceiveData(callFrom, data.size(), kDataTimeout);
    EXPECT_EQ(Joined(frames), data) << "connected data from " << callFrom << " arrived damaged";
    for (const auto& f : frames) {
      EXPECT_EQ(f.header.port, 1);
      EXPECT_EQ(f.header.pid, kPidText);
      EXPECT_EQ(f.header.callTo, callTo);
      EXPECT_LE(f.data.size(), kMaxPiece);
    }
  }

  AgwClient a_{"A"};
  AgwClient b_{"B"};
};

TEST_F(DirewolfAgwTest, AnswersVersionPortListPortQueriesAndRegistration) {
  for (AgwClient* client : {&a_, &b_}) {
    ASSERT_TRUE(client->Send('R', 0));
    ASSERT_TRUE(client->Send('G', 0));
    ASSERT_TRUE(client->Send('g', 1));
    ASSERT_TRUE(client->Send('y', 1));

    auto version = client->WaitForKind('R', seconds(10));
    ASSERT_TRUE(version);
    ASSERT_GE(version->data.size(), 8u) << "the version reply is shorter than the link reads";
    EXPECT_GT(Le16(version->data, 0), 0);

    auto ports = client->WaitForKind('G', seconds(10));
    ASSERT_TRUE(ports);
    std::string list = CopyToNul(ports->data);
    std::string count = SplitAt(list, ";");
    ASSERT_TRUE(IsDigits(count)) << "port list: " << AgwClient::Escape(ports->data);
    EXPECT_GE(std::stoi(count), 1);
    EXPECT_EQ(list.rfind("Port1 ", 0), 0u) << "port list: " << AgwClient::Escape(ports->data);

    auto capabilities = client->WaitForKind('g', seconds(10));
    ASSERT_TRUE(capabilities);
    EXPECT_EQ(capabilities->header.port, 1);
    EXPECT_GE(capabilities->data.size(), 11u) << "the link reads bytes 0 to 10";

    auto outstanding = client->WaitForKind('y', seconds(10));
    ASSERT_TRUE(outstanding);
    EXPECT_EQ(outstanding->header.port, 1);
    ASSERT_GE(outstanding->data.size(), 4u);
    EXPECT_EQ(Le16(outstanding->data, 0), 0) << "nothing was sent, so nothing is outstanding";
  }
  ASSERT_NO_FATAL_FAILURE(Register(a_, CallA()));
  ASSERT_NO_FATAL_FAILURE(Register(b_, CallB()));
}

TEST_F(DirewolfAgwTest, ConnectedSessionCarriesBinaryDataBothWaysAndEnds) {
  ASSERT_NO_FATAL_FAILURE(ConnectAToB());

  // More than 255 bytes each way, so both directions go out as several frames.
  ASSERT_NO_FATAL_FAILURE(Carry(a_, CallA(), b_, CallB(), Payload(600, 1)));
  ASSERT_NO_FATAL_FAILURE(Carry(b_, CallB(), a_, CallA(), Payload(300, 3)));

  ASSERT_TRUE(a_.Send('d', 1, CallA(), CallB()));
  auto called = b_.WaitForKind('d', kDisconnectTimeout);
  ASSERT_TRUE(called) << "the called side never reported the end of the link";
  EXPECT_EQ(called->header.callFrom, CallA());
  EXPECT_EQ(called->header.callTo, CallB());
  EXPECT_EQ(CopyToNul(called->data), "*** DISCONNECTED From Station " + CallA() + "\r");

  auto calling = a_.WaitForKind('d', kDisconnectTimeout);
  ASSERT_TRUE(calling) << "the side that hung up never reported the end of the link";
  EXPECT_EQ(calling->header.callFrom, CallB());
  EXPECT_EQ(calling->header.callTo, CallA());
  EXPECT_EQ(CopyToNul(calling->data), "*** DISCONNECTED From Station " + CallB() + "\r");
}

TEST_F(DirewolfAgwTest, ConnectToStationThatNeverAnswersRetriesOut) {
  const std::string nobody = "N0ZZZ";
  ASSERT_NO_FATAL_FAILURE(Register(a_, CallA()));
  ASSERT_NO_FATAL_FAILURE(Register(b_, CallB()));
  ASSERT_TRUE(a_.Send('C', 1, CallA(), nobody));

  auto end = a_.WaitForKind('d', kRetryOutTimeout);
  ASSERT_TRUE(end) << "the engine never gave up calling " << nobody;
  EXPECT_EQ(end->header.port, 1);
  EXPECT_EQ(end->header.callFrom, nobody);
  EXPECT_EQ(end->header.callTo, CallA());
  EXPECT_EQ(CopyToNul(end->data), "*** DISCONNECTED RETRYOUT With " + nobody + "\r");
  EXPECT_FALSE(a_.WaitForKind('C', seconds(0))) << "a link was reported although nobody answered";
  EXPECT_FALSE(b_.WaitForKind('C', seconds(0))) << "B took a call meant for someone else";
}

}  // namespace
}  // namespace tw::e2e
