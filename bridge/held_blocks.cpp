#include "bridge/held_blocks.h"

#include <utility>

namespace tw {

bool HeldBlocks::Hold(int s, const std::vector<std::string>& blocks, bool isDisconnect) {
  std::size_t size = 0;
  for (const std::string& block : blocks) size += block.size();
  const std::size_t limit = kStreamBudget + (isDisconnect ? kDisconnectReserve : 0);
  std::size_t& held = held_.at(static_cast<std::size_t>(s));
  if (size > limit - std::min(held, limit)) return false;
  held += size;
  blocks_.insert(blocks_.end(), blocks.begin(), blocks.end());
  return true;
}

std::deque<std::string> HeldBlocks::TakeAll() {
  held_.fill(0);
  return std::exchange(blocks_, {});
}

void HeldBlocks::Clear() {
  held_.fill(0);
  blocks_.clear();
}

}  // namespace tw
