// What the end-to-end tests share: how to start the engine pair and how long
// to wait for things that take real air time at 1200 baud (a connect takes
// about 3 s, 600 bytes about 5 s, a retry-out about 12 s on an idle machine;
// the limits leave room for a sanitizer build on a loaded one).
#pragma once

#include <chrono>

#include "tests/e2e/direwolf_pair.h"

namespace tw::e2e {

inline constexpr std::chrono::seconds kConnectTimeout{30};
inline constexpr std::chrono::seconds kDataTimeout{60};
inline constexpr std::chrono::seconds kDisconnectTimeout{30};
inline constexpr std::chrono::seconds kRetryOutTimeout{60};

inline DirewolfPairOptions PairOptions() {
  DirewolfPairOptions options;
  options.relayProgram = TW_AUDIO_RELAY;  // set by the build
  return options;
}

}  // namespace tw::e2e
