#include "tools/loopback_engine/via_block.h"

#include "control/link/frame_codec.h"
#include "platform/text/text.h"

namespace tw::loopback {

std::optional<ViaBlock> ParseViaBlock(std::string_view data) {
  if (data.empty()) return std::nullopt;
  std::size_t count = static_cast<unsigned char>(data[0]);
  ViaBlock block;
  block.size = 1 + kCallFieldSize * count;
  if (data.size() < block.size) return std::nullopt;
  block.calls.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    block.calls.push_back(CopyToNul(data.substr(1 + kCallFieldSize * i, kCallFieldSize)));
  }
  return block;
}

}  // namespace tw::loopback
