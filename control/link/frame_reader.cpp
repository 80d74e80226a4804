#include "control/link/frame_reader.h"

namespace tw {

void FrameReader::Append(std::string_view bytes) {
  Compact();
  buffer_.append(bytes);
}

std::optional<Frame> FrameReader::Next() {
  if (!pending_) {
    if (Buffered() < kHeaderSize) return std::nullopt;
    pending_ = DecodeHeader(buffer_.data() + consumed_);
    consumed_ += kHeaderSize;
  }
  if (Buffered() < pending_->length) return std::nullopt;
  const std::size_t length = pending_->length;
  Frame frame{std::move(*pending_), buffer_.substr(consumed_, length)};
  consumed_ += length;
  pending_.reset();
  if (consumed_ == buffer_.size()) {
    buffer_.clear();
    consumed_ = 0;
  }
  return frame;
}

void FrameReader::Reset() {
  buffer_.clear();
  consumed_ = 0;
  pending_.reset();
}

void FrameReader::Compact() {
  // Dropping the consumed front only between reads keeps cutting linear in
  // the size of a read, however many frames it holds.
  if (consumed_ == 0) return;
  buffer_.erase(0, consumed_);
  consumed_ = 0;
}

}  // namespace tw
