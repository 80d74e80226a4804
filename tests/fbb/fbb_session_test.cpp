// A real KAM host-mode client end to end: the BBS from Debian's `fbb`
// package (binary and KAM driver as shipped) drives tidewire, which carries
// its channels over a packet engine. A user at the far station logs in,
// sends a message of 1500 bytes, lists it, reads it back whole and says bye.
// Before that, the BBS forwards a queued message out to a partner station at
// the far end, which plays the receiving side of the FBB forward protocol.
// The forward goes first because the BBS starts forwards on the minute only:
// run during the user's session, its link set-up shares the one simulated
// channel with the user's traffic, and on the Dire Wolf pair the engines'
// SABME/UA and XID exchanges then collide and repeat for longer than a step
// may take.
//
// Run on the loopback engine (the far stations register on the same engine
// under their own calls) and on two Dire Wolf engines whose audio is
// cross-connected (the far stations sit on the other engine).
//
// That `fbb` build (7.0.11) never opens the serial device of a KAM port on
// Linux: its KAM driver reads, writes and polls descriptor -1. The BBS runs
// with kam_tty_preload.so, which opens the terminal and serves those calls;
// nothing of the BBS itself is changed.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/agw_client.h"
#include "tests/e2e/direwolf_pair.h"
#include "tests/e2e/direwolf_test.h"
#include "tests/e2e/e2e_settings.h"
#include "tests/fbb/dialogue.h"
#include "tests/fbb/fbb_bbs.h"
#include "tests/program/program_rig.h"

namespace tw::fbb_test {
namespace {

using e2e::AgwClient;
using program_test::Millis;
using Clock = std::chrono::steady_clock;

constexpr std::string_view kBbs = "N0BBS";
constexpr std::string_view kUser = "N0USR";
constexpr std::string_view kPartner = "N0FAR";
constexpr std::string_view kPrompt = "BBS (H for help) >";
constexpr std::string_view kTitle = "Test message over the bridge";

// Each step of the user's session waits this long at most: at 1200 baud a
// 1500-byte message takes about 13 s of air time with the acknowledgements.
constexpr Millis kStep{60000};
// Forwards start on the minute: the first one comes within a minute of the
// BBS's start, then needs a connect.
constexpr Millis kForwardWait{150000};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// 25 numbered lines of 60 bytes, CR included.
std::string MessageBody() {
  std::string body;
  for (int i = 1; i <= 25; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "Line %03d of the test message, carried by the bridge: all ok", i);
    body += line;
    body += '\r';
  }
  return body;
}

std::string Tail(const std::string& text, std::size_t bytes = 1500) {
  return AgwClient::Escape(text.size() > bytes ? text.substr(text.size() - bytes) : text);
}

// What the partner station saw of the BBS's outgoing forward.
struct ForwardResult {
  bool connected = false;
  bool proposed = false;
  bool delivered = false;
  bool ended = false;
  std::string text;
  Clock::time_point connectedAt{};
  Clock::time_point endedAt{};
};

// The receiving side of the FBB forward protocol, as little as the BBS
// needs: an identifier with the F flag and a prompt, "FS +" for the one
// proposal, "FF" (nothing to send back) once the message has come; the BBS
// answers "FQ" and disconnects.
ForwardResult PlayPartner(AgwClient& client) {
  ForwardResult result;
  Dialogue link(client, std::string(kPartner), std::string(kBbs));
  result.connected = link.AwaitLink('C', kForwardWait);
  if (!result.connected) return result;
  result.connectedAt = Clock::now();
  link.Say("[TWP-1.0-FM$]\rN0FAR test partner\r>\r");
  result.proposed = link.Await("FB P " + std::string(kBbs) + " " + std::string(kPartner) + " " +
                                   std::string(kPartner) + " ",
                               kStep) &&
                    link.Await("F>", kStep);
  if (result.proposed) {
    link.Say("FS +\r");
    result.delivered = link.Await("\x1A", kStep);
    if (result.delivered) link.Say("FF\r");
    result.ended = link.Await("FQ", kStep) && link.AwaitLink('d', kStep);
    result.endedAt = Clock::now();
  }
  result.text = link.Text();
  return result;
}

class FbbSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string whyNot;
    if (!FbbBbs::Installed(whyNot)) GTEST_SKIP() << whyNot;
    dir_ = program_test::TempDirectory();
    ASSERT_FALSE(dir_.empty());
  }

  void TearDown() override {
    if (HasFailure()) {
      bbs_.KeepFiles();
      std::cout << "--- tidewire:\n"
                << tidewire_.Output() << "--- BBS console (tail):\n"
                << Tail(bbs_.Output(), 3000) << "\n--- BBS log:\n"
                << bbs_.SessionLog() << "files kept in " << dir_ << " and " << bbs_.Directory() << "\n";
    }
    bbs_.Stop();
    tidewire_.Kill();
    if (!dir_.empty() && !HasFailure()) std::filesystem::remove_all(dir_);
  }

  // tidewire on `bbsEngine`, the BBS on its terminal, the user and the
  // partner registered on `farEngine`; then the session.
  void RunSession(std::uint16_t bbsEngine, std::uint16_t farEngine) {
    std::string error;
    const auto start = Clock::now();
    // The BBS never sends RESET: tidewire starts in host mode, its client on
    // a pseudo-terminal that the BBS's KAM port opens.
    const std::string terminal = dir_ + "/kam";
    setenv("TIDEWIRE_COM_REGISTRY", (dir_ + "/com-registry").c_str(), 1);
    ASSERT_TRUE(tidewire_.Start({program_test::BuildProgram("tidewire"), "--host-mode", "--pty", terminal,
                                 std::string(kBbs) + ",1,true," + std::to_string(bbsEngine)},
                                dir_ + "/tidewire.log", error))
        << error;
    ASSERT_TRUE(tidewire_.WaitForOutput("listening for the client on pseudo-terminal " + terminal,
                                        e2e::kConnectTimeout))
        << tidewire_.Output();
    ASSERT_TRUE(tidewire_.WaitForOutput("MyCall: " + std::string(kBbs), e2e::kConnectTimeout))
        << "tidewire never registered";

    ASSERT_TRUE(user_.Connect(farEngine, error)) << error;
    ASSERT_TRUE(partner_.Connect(farEngine, error)) << error;
    for (auto [client, call] : {std::pair{&user_, kUser}, std::pair{&partner_, kPartner}}) {
      client->Send('X', 1, call);
      const auto registered = client->WaitForKind('X', e2e::kConnectTimeout);
      ASSERT_TRUE(registered && registered->data == std::string(1, '\x01')) << call << " not registered";
    }

    FbbSettings settings;
    settings.call = kBbs;
    settings.partner = kPartner;
    settings.terminal = terminal;
    settings.preload = TW_KAM_TTY_PRELOAD;
    settings.outgoingText = "Queued for the partner before the start.\nSecond line of it.\n";
    ASSERT_TRUE(bbs_.Start(settings, error)) << error;
    ASSERT_TRUE(bbs_.WaitUntilReady(Millis(60000))) << "the BBS did not come up";
    const auto ready = Clock::now();

    const ForwardResult forward = PlayPartner(partner_);
    EXPECT_TRUE(forward.connected) << "the BBS never connected to the partner";
    EXPECT_TRUE(forward.proposed) << Tail(forward.text);
    EXPECT_TRUE(forward.delivered) << Tail(forward.text);
    EXPECT_NE(forward.text.find("Queued for the partner before the start.\rSecond line of it.\r"), std::string::npos)
        << Tail(forward.text);
    EXPECT_TRUE(forward.ended) << Tail(forward.text);
    const auto sessionStart = Clock::now();

    // The user's session.
    Dialogue user(user_, std::string(kUser), std::string(kBbs));
    std::vector<std::pair<std::string, double>> steps;
    auto lap = [&, last = sessionStart](const std::string& what) mutable {
      const auto now = Clock::now();
      steps.emplace_back(what, Seconds(now - last));
      last = now;
    };
    user_.Send('C', 1, kUser, kBbs);
    ASSERT_TRUE(user.AwaitLink('C', e2e::kConnectTimeout)) << "the BBS never answered the connect";
    ASSERT_TRUE(user.Await(kPrompt, kStep)) << Tail(user.Unmatched());
    lap("connect and welcome");

    user.Say("SP " + std::string(kUser) + "\r");
    ASSERT_TRUE(user.Await("Enter the title", kStep)) << Tail(user.Unmatched());
    user.Say(std::string(kTitle) + "\r");
    ASSERT_TRUE(user.Await("Enter the text", kStep)) << Tail(user.Unmatched());
    const std::string body = MessageBody();
    user.Say(body);
    user.Say("/EX\r");
    ASSERT_TRUE(user.Await("Mid: ", kStep)) << Tail(user.Unmatched());
    ASSERT_TRUE(user.Await(kPrompt, kStep)) << Tail(user.Unmatched());
    // "Mid: 102_N0BBS  Size: 1500 bytes"
    const std::string stored = user.Text().substr(user.Text().rfind("Mid: ") + 5);
    const std::string number = stored.substr(0, stored.find('_'));
    ASSERT_FALSE(number.empty()) << Tail(stored);
    EXPECT_NE(stored.find("Size: " + std::to_string(body.size()) + " bytes"), std::string::npos) << Tail(stored);
    lap("message sent (" + std::to_string(body.size()) + " bytes)");

    const std::size_t listFrom = user.Mark();
    user.Say("L\r");
    ASSERT_TRUE(user.Await(kPrompt, kStep)) << Tail(user.Unmatched());
    const std::string listing = user.Text().substr(listFrom);
    const std::size_t row = listing.find("\r" + number + " ");
    ASSERT_NE(row, std::string::npos) << "message " << number << " not listed: " << Tail(listing);
    EXPECT_NE(listing.find(kTitle.substr(0, 20), row), std::string::npos) << Tail(listing);
    lap("listed");

    const std::size_t readFrom = user.Mark();
    user.Say("R " + number + "\r");
    ASSERT_TRUE(user.Await("End of message", kStep)) << Tail(user.Unmatched());
    ASSERT_TRUE(user.Await(kPrompt, kStep)) << Tail(user.Unmatched());
    const std::string reading = user.Text().substr(readFrom);
    EXPECT_NE(reading.find(body), std::string::npos) << "the message did not come back whole: " << Tail(reading, 3000);
    lap("read back");

    user.Say("B\r");
    EXPECT_TRUE(user.AwaitLink('d', kStep)) << "the BBS did not end the link after B";
    lap("bye");
    const auto sessionEnd = Clock::now();

    std::cout << "timings (s): start to BBS ready " << Seconds(ready - start) << "\n";
    for (const auto& [what, took] : steps) std::cout << "  " << what << ": " << took << "\n";
    if (forward.connected && forward.ended) {
      std::cout << "  forward: connected " << Seconds(forward.connectedAt - ready) << " after ready, took "
                << Seconds(forward.endedAt - forward.connectedAt) << "\n";
    }
    std::cout << "  user session, connect to disconnect: " << Seconds(sessionEnd - sessionStart) << "\n";
    std::cout << "  whole run: " << Seconds(Clock::now() - start) << "\n";
    std::cout << "--- BBS log:\n" << bbs_.SessionLog() << "--- the user's session (head):\n"
              << AgwClient::Escape(user.Text().substr(0, 700)) << "\n";
  }

  std::string dir_;
  program_test::ChildProcess tidewire_;
  FbbBbs bbs_;
  AgwClient user_{"user"};
  AgwClient partner_{"partner"};
};

// The Dire Wolf half first: the loopback half ends just after a minute
// starts (its forward comes on the minute), and a BBS started then waits
// almost a whole minute for its forward.
TEST_F(FbbSessionTest, DirewolfPair) {
  std::string whyNot;
  auto pair = e2e::StartPair(whyNot);
  if (!pair) GTEST_SKIP() << "Dire Wolf cannot run here: " << whyNot;
  RunSession(pair->A().agwPort, pair->B().agwPort);
  if (HasFailure()) e2e::KeepAfterFailure(*pair, "");
  // The connect to the BBS's call as each engine logged it.
  for (const auto* engine : {&pair->A(), &pair->B()}) {
    std::istringstream log(e2e::DirewolfPair::Tail(engine->log, 200000));
    for (std::string line; std::getline(log, line);) {
      const bool setUp = line.find("SABM") != std::string::npos || line.find("onnected to") != std::string::npos ||
                         line.find("connect to") != std::string::npos;
      if (setUp && line.find(kBbs) != std::string::npos) {
        std::cout << engine->call << ": " << line << "\n";
      }
    }
  }
}

TEST_F(FbbSessionTest, LoopbackEngine) {
  program_test::LoopbackEngine engine;
  std::string error;
  ASSERT_TRUE(engine.Start(dir_, 0, {}, error)) << error;
  RunSession(engine.port, engine.port);
}

}  // namespace
}  // namespace tw::fbb_test
