// Status and data blocks of link events kept while the client cannot take
// them (no client, or one still in terminal mode), delivered in their order
// once it can. Each stream has a budget; a block beyond it is not kept and
// the caller ends the link that overflowed. A "DISCONNECTED" status has a
// small reserve on top, so the client still learns that such a link ended.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "bridge/stream_table.h"

namespace tw {

class HeldBlocks {
 public:
  static constexpr std::size_t kStreamBudget = 64 * 1024;
  static constexpr std::size_t kDisconnectReserve = 1024;

  // Keeps the blocks (already framed) of stream `s` together, or none of
  // them when they do not fit; false then.
  bool Hold(int s, const std::vector<std::string>& blocks, bool isDisconnect = false);

  // The oldest block kept, and taking it out (its room in the budget is free
  // again): delivery goes block by block, so what a client could not take
  // stays kept, in order, for the next one.
  const std::string& Front() const { return blocks_.front().block; }
  void PopFront();
  void Clear();

  std::size_t Held(int s) const { return held_.at(static_cast<std::size_t>(s)); }
  bool Empty() const { return blocks_.empty(); }

 private:
  struct Kept {
    int stream;
    std::string block;
  };
  std::deque<Kept> blocks_;
  std::array<std::size_t, kStreamCount + 1> held_{};
};

}  // namespace tw
