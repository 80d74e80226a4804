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

std::optional<std::string> BlockReader::Next() {
  while (consumed_ < input_.size()) {
    const char byte = input_[consumed_++];
    switch (state_) {
      case State::Outside:
        if (byte == FEND) {
          block_.assign(1, FEND);
          state_ = State::Open;
        }
        break;
      case State::Open:
        if (byte != FEND) {
          if (block_.size() + 1 >= kMaxBlock) {
            // No room left for the closing FEND: the block cannot be taken.
            block_.clear();
            state_ = State::Skipping;
            ++oversized_;
          } else {
            block_ += byte;
          }
        } else if (block_.size() > 1) {
          block_ += FEND;
          state_ = State::Outside;
          std::string block;
          block.swap(block_);
          return block;
        }
        // FEND FEND: the second one opens the block; nothing to do.
        break;
      case State::Skipping:
        // The FEND that would have closed the dropped block may as well
        // open the next one: a client that frames each block with its own
        // FENDs loses nothing more.
        if (byte == FEND) {
          block_.assign(1, FEND);
          state_ = State::Open;
        }
        break;
    }
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
