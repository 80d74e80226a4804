#include "control/beacon/l2_digi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "control/link/tl2.h"
#include "platform/loop/fake_event_loop.h"
#include "tests/beacon/log_lines.h"

namespace tw {
namespace {

using testing::LogLines;

constexpr std::uint8_t kRepeated = 0x80;
constexpr std::uint8_t kLast = 0x01;

// A 7-byte AX.25 address: six shifted characters padded with shifted blanks,
// then the SSID byte with its reserved bits set and the given flags.
std::string Address(std::string_view call, unsigned ssid, std::uint8_t flags = 0) {
  std::string address;
  for (std::size_t i = 0; i < 6; ++i) {
    unsigned char ch = i < call.size() ? static_cast<unsigned char>(call[i]) : ' ';
    address.push_back(static_cast<char>((ch << 1) & 0xFF));
  }
  address.push_back(static_cast<char>(0x60 | (ssid << 1) | flags));
  return address;
}

struct Station {
  std::string call;
  bool repeated = false;
};

// Leading byte, destination, source, the path (last address flagged), then
// control, PID and the information.
std::string RawFrame(const std::vector<Station>& path, std::string_view info = "hello") {
  std::string frame(1, '\0');
  frame += Address("DEST", 0);
  frame += Address("SRC", 2, path.empty() ? kLast : 0);
  for (std::size_t i = 0; i < path.size(); ++i) {
    std::uint8_t flags = static_cast<std::uint8_t>((path[i].repeated ? kRepeated : 0) |
                                                   (i + 1 == path.size() ? kLast : 0));
    frame += Address(path[i].call, 0, flags);
  }
  frame += "\x03\xf0";
  frame += info;
  return frame;
}

// Offset of the SSID byte of the n-th station (from 0).
constexpr std::size_t SsidOf(std::size_t n) { return 15 + 7 * n + 6; }

struct Report {
  TL2Digi* digi;
  TL2* link;
  int port;
  std::string source, destination, station, frame;
};

class DigiTest : public ::testing::Test {
 protected:
  DigiTest() {
    digi.DigiCall = "N0CALL-1";
    digi.OnDigipeat = [this](TL2Digi& d, TL2* l, int port, const std::string& source,
                             const std::string& destination, const std::string& station,
                             const std::string& frame, int& done) {
      reports.push_back({&d, l, port, source, destination, station, frame});
      done = doneValue;
      if (repost) d.Post(l, port, frame);
    };
    digi.SetActive(true);
    log.Clear();
  }
  // The digipeater outlives the lines' collector and logs when it goes.
  ~DigiTest() override { digi.Log().SetSink(nullptr); }

  // Stations of the reports, in order.
  std::vector<std::string> Stations() const {
    std::vector<std::string> out;
    for (const Report& r : reports) out.push_back(r.station);
    return out;
  }

  FakeEventLoop loop;
  TL2 link{loop};
  TL2Digi digi;
  LogLines log{digi.Log()};
  std::vector<Report> reports;
  int doneValue = 0;
  bool repost = false;
};

TEST_F(DigiTest, ShortFramesAreRefusedAsCorrupted) {
  for (std::size_t size : {0u, 1u, 15u}) {
    digi.Post(&link, 1, std::string(size, '\0'));
  }
  EXPECT_EQ(log.Count("{L2DIGI} ERROR Corrupted Frame less than 15 bytes long, discarded"), 3u);
  EXPECT_TRUE(reports.empty());
}

TEST_F(DigiTest, FrameWithoutPathIsIgnoredSilently) {
  std::string frame = RawFrame({});
  digi.Post(&link, 1, frame.substr(0, 16));
  digi.Post(&link, 1, frame);
  EXPECT_TRUE(log.messages.empty());
  EXPECT_TRUE(log.dumps.empty());
  EXPECT_TRUE(reports.empty());
}

TEST_F(DigiTest, PathWithoutAWholeStationIsRefusedAsTooShort) {
  std::string frame = RawFrame({{"RELAY"}}).substr(0, 22);
  digi.Post(&link, 4, frame);
  EXPECT_TRUE(log.Logged("{L2DIGI} KISS Post->Port (4) From(SRC-2) To(DEST)"));
  EXPECT_TRUE(log.Logged("{L2DIGI} ERROR Frame too short Port(4 From(SRC-2) To(DEST) ,discarded"));
  EXPECT_TRUE(reports.empty());
}

TEST_F(DigiTest, FirstUnrepeatedStationIsMarkedInACopy) {
  const std::string input = RawFrame({{"RELAY"}, {"WIDE2", false}});
  const std::string before = input;
  digi.Post(&link, 2, input);

  ASSERT_EQ(reports.size(), 1u);
  const Report& r = reports[0];
  EXPECT_EQ(r.digi, &digi);
  EXPECT_EQ(r.link, &link);
  EXPECT_EQ(r.port, 2);
  EXPECT_EQ(r.source, "SRC-2");
  EXPECT_EQ(r.destination, "DEST");
  EXPECT_EQ(r.station, "RELAY");

  std::string expected = input;
  expected[SsidOf(0)] = static_cast<char>(static_cast<std::uint8_t>(expected[SsidOf(0)]) | kRepeated);
  EXPECT_EQ(r.frame, expected);
  EXPECT_NE(r.frame, input);
  EXPECT_EQ(input, before);
  EXPECT_TRUE(log.Logged("{L2DIGI} Frame Digipeater(RELAY) L2XDigi(N0CALL-1)"));
}

TEST_F(DigiTest, RepeatedStationsArePassedOver) {
  const std::string input = RawFrame({{"FIRST", true}, {"SECOND"}, {"THIRD"}});
  digi.Post(&link, 1, input);

  ASSERT_EQ(Stations(), std::vector<std::string>{"SECOND"});
  std::string expected = input;
  expected[SsidOf(1)] = static_cast<char>(static_cast<std::uint8_t>(expected[SsidOf(1)]) | kRepeated);
  EXPECT_EQ(reports[0].frame, expected);
  EXPECT_TRUE(log.Logged("{L2DIGI} Frame already digied by Digi(FIRST)"));
  EXPECT_FALSE(log.Logged("{L2DIGI} Frame Digipeater(THIRD) L2XDigi(N0CALL-1)"));
}

TEST_F(DigiTest, PathRepeatedToItsLastStationIsAbandoned) {
  digi.Post(&link, 1, RawFrame({{"ONLY", true}}));
  EXPECT_TRUE(log.Logged("{L2DIGI} Frame already digied by Digi(ONLY)"));
  EXPECT_TRUE(log.Logged("{L2DIGI} Last Call of the Frame, abandon"));
  EXPECT_TRUE(reports.empty());
}

TEST_F(DigiTest, PathRepeatedToTheEndOfTheFrameEndsQuietly) {
  // No station carries the last-address bit and the frame ends after two.
  std::string frame(1, '\0');
  frame += Address("DEST", 0) + Address("SRC", 0);
  frame += Address("ONE", 0, kRepeated) + Address("TWO", 0, kRepeated) + "\x03";
  digi.Post(&link, 1, frame);
  EXPECT_TRUE(log.Logged("{L2DIGI} Frame Processed Completed without processing"));
  EXPECT_TRUE(reports.empty());
}

TEST_F(DigiTest, StationIsReportedWithoutItsPaddingBlanks) {
  digi.Post(&link, 1, RawFrame({{"AB"}}));
  ASSERT_EQ(Stations(), std::vector<std::string>{"AB"});
}

TEST_F(DigiTest, WithoutALinkTheCallsAreStillDecoded) {
  digi.Post(nullptr, 3, RawFrame({{"RELAY"}}));
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].link, nullptr);
  EXPECT_EQ(reports[0].source, "SRC-2");
  EXPECT_EQ(reports[0].station, "RELAY");
}

TEST_F(DigiTest, InactiveDigipeaterSaysNothing) {
  digi.SetActive(false);
  EXPECT_FALSE(digi.Active());
  digi.Post(&link, 1, "");
  digi.Post(&link, 1, std::string(15, '\x7f'));
  digi.Post(&link, 1, RawFrame({{"RELAY"}}).substr(0, 22));
  digi.Post(&link, 1, RawFrame({{"RELAY"}}));
  EXPECT_TRUE(log.messages.empty());
  EXPECT_TRUE(reports.empty());
}

TEST_F(DigiTest, ActivationLogsEveryTimeAndDeactivationNever) {
  digi.SetActive(true);
  digi.SetActive(true);
  digi.SetActive(false);
  EXPECT_EQ(log.messages, std::vector<std::string>(2, "{L2Digi} L2 Digi activated as N0CALL-1"));
}

TEST_F(DigiTest, DoneFlagIsLoggedOnlyWhenSet) {
  digi.Post(&link, 1, RawFrame({{"RELAY"}}));
  EXPECT_FALSE(log.Logged("L2DIGI Frame processing complete for Digi(RELAY)"));
  doneValue = 1;
  digi.Post(&link, 1, RawFrame({{"RELAY"}}));
  EXPECT_TRUE(log.Logged("L2DIGI Frame processing complete for Digi(RELAY)"));
}

TEST_F(DigiTest, HandlerThatThrowsIsContained) {
  digi.OnDigipeat = [](TL2Digi&, TL2*, int, const std::string&, const std::string&,
                       const std::string&, const std::string&, int&) {
    throw std::runtime_error("handler failed");
  };
  EXPECT_NO_THROW(digi.Post(&link, 1, RawFrame({{"RELAY"}})));
  EXPECT_TRUE(log.Logged("{L2DIGI} Exception on Post Module"));
}

TEST_F(DigiTest, DestructionIsLogged) {
  std::vector<std::string> lines;
  {
    TL2Digi other;
    other.DigiCall = "N0CALL-9";
    other.Log().SetFileName("");
    other.Log().SetSink([&](const std::string& line) { lines.push_back(line.substr(20)); });
  }
  EXPECT_EQ(lines, std::vector<std::string>{"{L2Digi} VOK L2 Digi(N0CALL-9) Object Destroyed"});
}

// Nested re-posting, as the component's automatic mode does it.

TEST_F(DigiTest, RepostingReportsEachUnrepeatedStationOnce) {
  repost = true;
  int depth = 0;
  int deepest = 0;
  auto inner = digi.OnDigipeat;
  digi.OnDigipeat = [&](TL2Digi& d, TL2* l, int port, const std::string& source,
                        const std::string& destination, const std::string& station,
                        const std::string& frame, int& done) {
    deepest = std::max(deepest, ++depth);
    inner(d, l, port, source, destination, station, frame, done);
    --depth;
  };
  digi.Post(&link, 1, RawFrame({{"ONE"}, {"TWO", true}, {"THREE"}, {"FOUR", true}, {"FIVE"}}));

  EXPECT_EQ(Stations(), (std::vector<std::string>{"ONE", "THREE", "FIVE"}));
  EXPECT_EQ(deepest, 3);
  EXPECT_TRUE(log.Logged("{L2DIGI} Last Call of the Frame, abandon"));
  // The last report's frame has every station marked.
  const std::string& last = reports.back().frame;
  for (std::size_t n = 0; n < 5; ++n) {
    EXPECT_NE(static_cast<std::uint8_t>(last[SsidOf(n)]) & kRepeated, 0) << n;
  }
}

TEST_F(DigiTest, RepostingAFullPathOfEightStations) {
  repost = true;
  std::vector<Station> path;
  for (int n = 1; n <= 8; ++n) path.push_back({"ST" + std::to_string(n)});
  digi.Post(&link, 1, RawFrame(path, std::string(65536, 'x')));
  EXPECT_EQ(reports.size(), 8u);
  EXPECT_EQ(reports.back().station, "ST8");
}

TEST_F(DigiTest, PathLongerThanEightStationsIsRefused) {
  repost = true;
  std::vector<Station> path;
  for (int n = 1; n <= 9; ++n) path.push_back({"ST" + std::to_string(n)});
  digi.Post(&link, 1, RawFrame(path));
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(log.Logged("{L2DIGI} ERROR Path longer than 8 digipeaters Port(1) From(SRC-2) To(DEST) ,discarded"));
}

TEST_F(DigiTest, HostileFrameOfAddressesIsRefusedWithoutNesting) {
  repost = true;
  std::string frame(1, '\0');
  frame += Address("DEST", 0) + Address("SRC", 0);
  while (frame.size() < 65536) frame += Address("EVIL", 1);
  digi.Post(&link, 1, frame);
  EXPECT_TRUE(reports.empty());
  EXPECT_EQ(log.Count("{L2DIGI} ERROR Path longer than 8 digipeaters Port(1) From(SRC) To(DEST) ,discarded"), 1u);
}

TEST_F(DigiTest, HandlerThatRepostsWithoutProgressIsCutOff) {
  // Handing back the unmarked frame would loop for ever; the nesting limit
  // stops it at the depth a full path could reach.
  const std::string input = RawFrame({{"RELAY"}});
  digi.OnDigipeat = [&](TL2Digi& d, TL2* l, int port, const std::string&, const std::string&,
                        const std::string& station, const std::string&, int&) {
    reports.push_back({&d, l, port, "", "", station, ""});
    d.Post(l, port, input);
  };
  digi.Post(&link, 1, input);
  EXPECT_EQ(reports.size(), 9u);
  EXPECT_EQ(log.Count("{L2DIGI} ERROR Frame posted again deeper than any path allows, discarded"), 1u);

  // The limit counts nesting only: a later Post is examined normally.
  reports.clear();
  digi.OnDigipeat = nullptr;
  log.Clear();
  digi.Post(&link, 1, input);
  EXPECT_FALSE(log.Logged("{L2DIGI} ERROR Frame posted again deeper than any path allows, discarded"));
  EXPECT_TRUE(log.Logged("{L2DIGI} Frame Digipeater(RELAY) L2XDigi(N0CALL-1)"));
}

TEST_F(DigiTest, RandomFramesOfEveryLengthMarkOneBitAtMost) {
  // Each report's frame equals the frame that was posted but for bit 7 of
  // one station's SSID byte.
  std::vector<std::string> posted;
  int depth = 0;
  int deepest = 0;
  digi.OnDigipeat = [&](TL2Digi& d, TL2* l, int port, const std::string&, const std::string&,
                        const std::string&, const std::string& frame, int&) {
    const std::string& from = posted.back();
    ASSERT_EQ(frame.size(), from.size());
    std::vector<std::size_t> differing;
    for (std::size_t i = 0; i < frame.size(); ++i) {
      if (frame[i] != from[i]) differing.push_back(i);
    }
    ASSERT_EQ(differing.size(), 1u);
    std::size_t at = differing[0];
    EXPECT_EQ(static_cast<std::uint8_t>(frame[at] ^ from[at]), kRepeated);
    EXPECT_GE(at, SsidOf(0));
    EXPECT_EQ((at - SsidOf(0)) % 7, 0u);
    deepest = std::max(deepest, ++depth);
    posted.push_back(frame);
    d.Post(l, port, frame);
    posted.pop_back();
    --depth;
  };
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 200; ++round) {
    for (std::size_t size = 0; size <= 80; ++size) {
      std::string frame(size, '\0');
      for (char& ch : frame) ch = static_cast<char>(byte(random));
      // Bias towards frames that have a path, so the walk gets exercised.
      if (size > 14 && round % 2 == 0) frame[14] = static_cast<char>(frame[14] & 0xFE);
      posted.assign(1, frame);
      digi.Post(round % 3 == 0 ? nullptr : &link, 1, frame);
    }
  }
  EXPECT_LE(deepest, 8);
  EXPECT_GT(deepest, 1);
}

}  // namespace
}  // namespace tw
