#include "tools/hostmode_client/block_reader.h"

#include <utility>

namespace tw::hostmode {

namespace {

Received TextItem(Bytes text) {
  Received item;
  item.kind = Received::Kind::Text;
  item.text = std::move(text);
  return item;
}

}  // namespace

void BlockReader::Append(std::string_view bytes) {
  if (pos_ == input_.size()) {
    input_.clear();
    pos_ = 0;
  }
  input_.append(bytes);
}

std::optional<Received> BlockReader::Next() {
  while (pos_ < input_.size()) {
    std::size_t fend = input_.find(kFend, pos_);
    std::size_t end = fend == std::string::npos ? input_.size() : fend;
    std::string_view piece(input_.data() + pos_, end - pos_);
    pos_ = end;

    if (!inBlock_) {
      text_.append(piece);
      if (fend == std::string::npos) break;
      // The text before a block is handed on before the block itself.
      if (!text_.empty()) return TextItem(std::exchange(text_, {}));
      inBlock_ = true;
      ++pos_;
      continue;
    }

    if (!dropping_ && block_.size() + piece.size() > maxBlock_) {
      dropping_ = true;
      block_.clear();
      block_.shrink_to_fit();
      Received item;
      item.kind = Received::Kind::Overflow;
      if (fend == std::string::npos) return item;
      // The closing FEND is right here: end the dropped block first.
      ++pos_;
      dropping_ = false;
      inBlock_ = false;
      return item;
    }
    if (!dropping_) block_.append(piece);
    if (fend == std::string::npos) break;
    ++pos_;
    if (dropping_) {
      dropping_ = false;
      inBlock_ = false;
      continue;
    }
    if (block_.empty()) continue;  // FEND FEND: the second one opens the block
    inBlock_ = false;
    Received item;
    item.block = SplitBlock(block_);
    block_.clear();
    return item;
  }
  input_.clear();
  pos_ = 0;
  if (!text_.empty()) return TextItem(std::exchange(text_, {}));
  return std::nullopt;
}

void BlockReader::Reset() {
  input_.clear();
  pos_ = 0;
  inBlock_ = false;
  dropping_ = false;
  block_.clear();
  text_.clear();
}

}  // namespace tw::hostmode
