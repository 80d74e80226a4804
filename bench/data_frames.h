// About 1 MiB of the engine's 'D' frames of 200 data bytes each, binary
// data included, on radio port 1 from `from` to `to`: what the benchmarks
// of connected data feed in through the socket.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "control/link/frame_codec.h"

namespace tw::bench {

struct DataFrames {
  std::string bytes;
  std::int64_t frames = 0;
};

inline DataFrames MakeDataFrames(std::string_view from, std::string_view to) {
  constexpr std::size_t kStreamBytes = 1u << 20;
  constexpr std::size_t kDataPerFrame = 200;
  DataFrames s;
  std::string data(kDataPerFrame, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 37) & 0xFF);
  while (s.bytes.size() < kStreamBytes) {
    s.bytes += EncodeFrame(1, 0xF0, 'D', from, to, data);
    ++s.frames;
  }
  return s;
}

}  // namespace tw::bench
