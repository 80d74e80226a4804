#include "tests/e2e/audio_pacer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace tw::e2e {
namespace {

std::string Samples(std::initializer_list<int> values) {
  std::string bytes;
  for (int v : values) {
    auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

std::vector<int> Values(const std::string& bytes) {
  std::vector<int> values;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    auto u = static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                        (static_cast<std::uint8_t>(bytes[i + 1]) << 8));
    values.push_back(static_cast<std::int16_t>(u));
  }
  return values;
}

TEST(AudioPacerScale, RoundsToNearestKeepsSignAndDropsAnOddByte) {
  EXPECT_EQ(Values(AudioPacer::Scale(Samples({32767, -32768, 1, -3, 6, 0}), 0.25)),
            (std::vector<int>{8192, -8192, 0, -1, 2, 0}));
  EXPECT_EQ(AudioPacer::Scale(Samples({1000, -1000}), 1.0), Samples({1000, -1000}));
  EXPECT_EQ(AudioPacer::Scale(Samples({400}) + "\x7F", 0.5), Samples({200}));
}

TEST(AudioPacerTick, SendsFullChunksInOrderThenSilence) {
  AudioPacer pacer(2, 8, 0.5);
  ASSERT_EQ(pacer.Feed(Samples({100, 200, 300, 400})), 8u);
  EXPECT_EQ(Values(pacer.Tick(false)), (std::vector<int>{50, 100}));
  EXPECT_EQ(Values(pacer.Tick(true)), (std::vector<int>{150, 200}));
  EXPECT_EQ(pacer.Tick(true), Samples({0, 0})) << "silence between bursts keeps the stream going";
  EXPECT_EQ(pacer.Tick(false), Samples({0, 0})) << "never an empty datagram";
}

TEST(AudioPacerTick, ShortTailIsSentAsItIsWhileTheSourceDeliversAndPaddedWhenItStops) {
  AudioPacer pacer(4, 16, 1.0);
  pacer.Feed(Samples({7}));
  EXPECT_EQ(pacer.Tick(false), Samples({7})) << "padding here would cut a gap into the burst";
  pacer.Feed(Samples({8, 9}));
  EXPECT_EQ(pacer.Tick(true), Samples({8, 9, 0, 0}));
}

TEST(AudioPacerFeed, JoinsASampleSplitAcrossReads) {
  AudioPacer pacer(1, 4, 1.0);
  std::string sample = Samples({-2});
  pacer.Feed(sample.substr(0, 1));
  EXPECT_EQ(pacer.BufferedSamples(), 0u);
  EXPECT_EQ(pacer.Tick(false), Samples({0})) << "half a sample is not sent";
  pacer.Feed(sample.substr(1));
  EXPECT_EQ(pacer.Tick(false), sample);
}

TEST(AudioPacerFeed, TakesNoMoreThanItsCapacity) {
  AudioPacer pacer(2, 3, 1.0);
  EXPECT_EQ(pacer.Room(), 6u);
  EXPECT_EQ(pacer.Feed(Samples({1, 2, 3, 4, 5})), 6u);
  EXPECT_EQ(pacer.Room(), 0u);
  EXPECT_EQ(pacer.Feed(Samples({6})), 0u);
  pacer.Tick(false);
  EXPECT_EQ(pacer.Room(), 4u);
  EXPECT_EQ(Values(pacer.Tick(false)), (std::vector<int>{3}));

  AudioPacer small(4, 1, 1.0);
  EXPECT_EQ(small.Room(), 8u) << "capacity is at least one chunk";
}

}  // namespace
}  // namespace tw::e2e
