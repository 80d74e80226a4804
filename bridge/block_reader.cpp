#include "bridge/block_reader.h"

#include "bridge/host_block.h"

namespace tw {

void BlockReader::Append(std::string_view bytes) {
  if (consumed_ == input_.size()) {
    input_.clear();
    consumed_ = 0;
  }
  input_.append(bytes);
}

// Whole runs of bytes are looked at and copied at once, not byte by byte:
// cutting blocks is the relay's main cost per block.
std::optional<std::string> BlockReader::Next() {
  const std::string_view input(input_);
  while (consumed_ < input.size()) {
    const std::size_t fend = input.find(FEND, consumed_);
    const std::size_t runEnd = fend == std::string_view::npos ? input.size() : fend;
    if (state_ == State::Open) {
      const std::size_t run = runEnd - consumed_;
      if (block_.size() + run >= kMaxBlock) {
        // No room left for the closing FEND: the block cannot be taken.
        block_.clear();
        state_ = State::Skipping;
        ++oversized_;
      } else {
        // With room for the closing FEND too: growing for it would copy
        // the whole block once more.
        block_.reserve(block_.size() + run + 1);
        block_.append(input.substr(consumed_, run));
      }
    }
    // Outside a block and while skipping one, the bytes before a FEND go.
    consumed_ = runEnd;
    if (fend == std::string_view::npos) break;
    ++consumed_;
    if (state_ == State::Open) {
      // FEND FEND: the second one opens the block; nothing to do.
      if (block_.size() <= 1) continue;
      block_ += FEND;
      state_ = State::Outside;
      std::string block;
      block.swap(block_);
      return block;
    }
    // The FEND that would have closed a dropped block may as well open the
    // next one: a client that frames each block with its own FENDs loses
    // nothing more.
    block_.assign(1, FEND);
    state_ = State::Open;
  }
  input_.clear();
  consumed_ = 0;
  return std::nullopt;
}

void BlockReader::Reset() {
  input_.clear();
  consumed_ = 0;
  block_.clear();
  state_ = State::Outside;
}

std::string BlockReader::TakeRest() {
  std::string rest = input_.substr(consumed_);
  input_.clear();
  consumed_ = 0;
  return rest;
}

std::size_t BlockReader::TakeOversized() {
  const std::size_t count = oversized_;
  oversized_ = 0;
  return count;
}

}  // namespace tw
