// The engine's small parsers: call-sign forms, digipeater blocks, options.
#include <gtest/gtest.h>

#include "control/link/frame_codec.h"
#include "tools/loopback_engine/call_sign.h"
#include "tools/loopback_engine/options.h"
#include "tools/loopback_engine/via_block.h"

namespace tw::loopback {
namespace {

TEST(AirCall, GivesTheOnAirFormOrNothing) {
  EXPECT_EQ(AirCall("n0call"), "N0CALL");
  EXPECT_EQ(AirCall("N0CALL-0"), "N0CALL");
  EXPECT_EQ(AirCall("N0CALL-07"), "N0CALL-7");
  EXPECT_EQ(AirCall("N0CALL-15"), "N0CALL-15");
  EXPECT_FALSE(AirCall("N0CALL-16"));
  EXPECT_FALSE(AirCall("N0CALL-"));
  EXPECT_FALSE(AirCall("N0CALL-007"));
  EXPECT_FALSE(AirCall("TOOLONG"));
  EXPECT_FALSE(AirCall(""));
  EXPECT_FALSE(AirCall("-1"));
  EXPECT_FALSE(AirCall("N0 CALL"));
  EXPECT_FALSE(AirCall(std::string("N0\0AL", 5)));
}

TEST(CallKey, FallsBackToUpperCaseForCallsThatCannotBeOnTheAir) {
  EXPECT_EQ(CallKey("n0call-0"), "N0CALL");
  EXPECT_EQ(CallKey("longer-call"), "LONGER-CALL");
}

TEST(ViaBlock, ReadsTheAnnouncedSlotsAndRefusesShortData) {
  const std::string calls[] = {"RELAY-1", "WIDE2-2"};
  std::string block = EncodeViaBlock(calls, 2);
  auto parsed = ParseViaBlock(block + "text");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->size, 21u);
  EXPECT_EQ(parsed->calls, (std::vector<std::string>{"RELAY-1", "WIDE2-2"}));
  EXPECT_FALSE(ParseViaBlock(block.substr(0, 20)));
  EXPECT_FALSE(ParseViaBlock(""));
  auto none = ParseViaBlock(std::string(1, '\0'));
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->calls.empty());
}

TEST(Options, DefaultsAndEveryOption) {
  auto defaults = ParseOptions({});
  ASSERT_TRUE(defaults.options);
  EXPECT_EQ(defaults.options->port, 8000);
  EXPECT_EQ(defaults.options->engine.ports, 2);
  EXPECT_EQ(defaults.options->engine.retryDelay, Millis(3000));
  EXPECT_EQ(defaults.options->engine.baud, 0u);
  EXPECT_FALSE(defaults.options->help);

  auto all = ParseOptions(
      {"--port", "0", "--ports", "16", "--retry-delay", "50", "--trace", "2", "--baud", "1200"});
  ASSERT_TRUE(all.options) << all.error;
  EXPECT_EQ(all.options->port, 0);
  EXPECT_EQ(all.options->engine.ports, 16);
  EXPECT_EQ(all.options->engine.retryDelay, Millis(50));
  EXPECT_EQ(all.options->traceLevel, 2);
  EXPECT_EQ(all.options->engine.baud, 1200u);

  auto positional = ParseOptions({"8123", "--help"});
  ASSERT_TRUE(positional.options);
  EXPECT_EQ(positional.options->port, 8123);
  EXPECT_TRUE(positional.options->help);
}

TEST(Options, RefusesWhatItCannotUse) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--port"}, {"--port", "65536"}, {"--port", "-1"}, {"--ports", "0"}, {"--ports", "17"},
           {"--retry-delay", "3600001"}, {"--trace", "6"}, {"--baud"}, {"--baud", "-1"},
           {"--baud", "10000001"}, {"--bogus"}, {"8000", "8001"},
           {"--port", "99999999999999999999999"}}) {
    auto parsed = ParseOptions(args);
    EXPECT_FALSE(parsed.options) << args.front();
    EXPECT_FALSE(parsed.error.empty());
  }
}

}  // namespace
}  // namespace tw::loopback
