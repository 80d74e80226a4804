// The commands a user types to the host-mode client, parsed into what the
// client does. No I/O here: files are named, not read, and waits are
// durations, not sleeps.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "tools/hostmode_client/host_block.h"

namespace tw::hostmode {

struct ClientAction {
  enum class Kind {
    Nothing,       // an empty line
    Send,          // write `bytes` (whole blocks) to the bridge
    Data,          // send `bytes` as data on the current stream
    SwitchStream,  // `stream` is the current stream from now on
    Wait,          // keep printing what arrives for `delay`, or until `until` is seen
    SendFile,      // send the contents of `path` as data
    SendPattern,   // send `count` bytes 0, 1, ..., 255, 0, 1, ... as data
    Quit,          // write `bytes` (FEND "q" FEND), then close
    Help,
    Error,         // `error` says why the line was refused
  };
  Kind kind = Kind::Nothing;
  Bytes bytes;
  char stream = '\0';
  std::chrono::milliseconds delay{0};
  std::string path;
  std::size_t count = 0;
  std::string until;  // Wait: text that ends the wait once a printed line holds it
  std::string error;
};

inline constexpr std::size_t kMaxPatternBytes = 16u << 20;
inline constexpr std::chrono::milliseconds kMaxWait{3'600'000};

// One typed line, without its line end. `stream` is the current stream
// ('A' to 'J'). Command words are lower case; a line that does not begin
// with one is data, sent with a CR after it.
ClientAction ParseCommand(std::string_view line, char stream);

// The data as "D" blocks on `stream`, at most `perBlock` data bytes each
// (before escaping). Nothing for empty data.
Bytes DataBlocks(char stream, std::string_view data, std::size_t perBlock);

// `count` bytes counting 0 to 255 and over again: every byte value, in a
// pattern a receiver can check.
Bytes PatternBytes(std::size_t count);

// The text `help` prints.
std::string CommandHelp();

}  // namespace tw::hostmode
