// Cuts complete engine frames out of a byte stream that arrives in
// arbitrary pieces.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "control/link/frame_codec.h"

namespace tw {

// Cuts complete frames out of the received byte stream. Pull-based, so the
// caller may reset or close in the middle of a read without leaving a
// dangling loop behind: each call to Next() looks at the buffer afresh.
class FrameReader {
 public:
  void Append(std::string_view bytes);

  // The next complete frame, or nothing while more bytes are needed. The
  // header is taken as soon as its 36 bytes are there.
  std::optional<Frame> Next();

  void Reset();

  bool WaitingForData() const { return pending_.has_value(); }
  const std::optional<FrameHeader>& PendingHeader() const { return pending_; }
  std::size_t Buffered() const { return buffer_.size() - consumed_; }

 private:
  void Compact();

  std::string buffer_;
  std::size_t consumed_ = 0;  // bytes at the front of buffer_ already taken
  std::optional<FrameHeader> pending_;
};

}  // namespace tw
