// The digipeater block that prefixes the data of 'v' and 'V' frames: a count
// byte, then one NUL-padded 10-byte slot per call-sign.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::loopback {

struct ViaBlock {
  std::vector<std::string> calls;  // in path order, each cut at its first NUL
  std::size_t size = 0;            // bytes the block takes at the front of the data
};

// Nothing when the data is shorter than the block its count byte announces.
std::optional<ViaBlock> ParseViaBlock(std::string_view data);

}  // namespace tw::loopback
