#include "tests/engine/engine_harness.h"

#include <gtest/gtest.h>

namespace tw::loopback::testing {

Frame EngineHarness::Only(ClientId client) {
  std::vector<Frame> frames = Received(client);
  EXPECT_EQ(frames.size(), 1u) << "client " << client;
  return frames.empty() ? Frame{} : frames.front();
}

}  // namespace tw::loopback::testing
