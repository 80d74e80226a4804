#include "bridge/held_blocks.h"

#include <algorithm>

namespace tw {

bool HeldBlocks::Hold(int s, const std::vector<std::string>& blocks, bool isDisconnect) {
  std::size_t size = 0;
  for (const std::string& block : blocks) size += block.size();
  const std::size_t limit = kStreamBudget + (isDisconnect ? kDisconnectReserve : 0);
  std::size_t& held = held_.at(static_cast<std::size_t>(s));
  if (size > limit - std::min(held, limit)) return false;
  held += size;
  for (const std::string& block : blocks) blocks_.push_back({s, block});
  return true;
}

void HeldBlocks::PopFront() {
  const Kept& oldest = blocks_.front();
  std::size_t& held = held_.at(static_cast<std::size_t>(oldest.stream));
  held -= std::min(held, oldest.block.size());
  blocks_.pop_front();
}

void HeldBlocks::Clear() {
  held_.fill(0);
  blocks_.clear();
}

}  // namespace tw
