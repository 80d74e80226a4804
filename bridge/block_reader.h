// `rxbuf`: cuts FEND-framed blocks out of the bytes the client sends in
// host mode, however TCP cuts them. Bytes outside a block are dropped at
// once; two FENDs in a row leave the second to open the next block; a block
// that grows past kMaxBlock is dropped whole (reported once), so the buffer
// never holds more than one bounded block.
//
// Pull-based: Next() looks at the buffer afresh on each call, so the caller
// may reset it between blocks.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tw {

class BlockReader {
 public:
  // Far above any block a client sends (a command line, or a data block of
  // a few hundred escaped bytes).
  static constexpr std::size_t kMaxBlock = 4096;

  void Append(std::string_view bytes);

  // The next complete block, both FENDs included, or nothing while more
  // bytes are needed.
  std::optional<std::string> Next();

  // Forgets everything, an unfinished block included.
  void Reset();

  // The bytes appended but not yet looked at by Next(), taken out of the
  // reader: what follows the last block returned, when the caller stops
  // cutting blocks there.
  std::string TakeRest();

  // Blocks dropped for their size since the last call.
  std::size_t TakeOversized();

  // Bytes held: the open block and what Next() has not looked at yet.
  std::size_t Buffered() const { return block_.size() + input_.size() - consumed_; }
  std::size_t OpenBlock() const { return block_.size(); }

 private:
  enum class State { Outside, Open, Skipping };

  std::string input_;         // appended, not yet looked at past consumed_
  std::size_t consumed_ = 0;
  std::string block_;         // the open block from its FEND on
  State state_ = State::Outside;
  std::size_t oversized_ = 0;
};

}  // namespace tw
