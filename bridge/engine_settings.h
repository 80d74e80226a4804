// KAM settings that belong to the radio link, which the engine runs with its
// own configuration: a mail client sends them at start-up as a matter of
// course, and they are answered as any unknown command, but logged plainly
// (once per name) rather than as errors.
#pragma once

#include <string_view>

namespace tw {

#define TW_ENGINE_SETTINGS(X) \
  X(AXDELAY)                  \
  X(AXHANG)                   \
  X(CHECK)                    \
  X(DWAIT)                    \
  X(FRACK)                    \
  X(FULLDUP)                  \
  X(MAXFRAME)                 \
  X(PACLEN)                   \
  X(PERSIST)                  \
  X(RESPTIME)                 \
  X(RETRY)                    \
  X(SLOTTIME)                 \
  X(TXDELAY)

// The setting's name as listed, or empty when `word` names none (exact,
// upper case: the client writes them so).
std::string_view EngineSetting(std::string_view word);

}  // namespace tw
