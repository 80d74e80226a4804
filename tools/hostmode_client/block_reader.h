// Cuts FEND-framed blocks out of the bridge's byte stream, however TCP cuts
// it. A block opens with a FEND and its closing FEND is consumed with it;
// two FENDs in a row let the second open the next block. Bytes outside any
// block (the bridge's terminal-mode answers) are handed on as text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "tools/hostmode_client/host_block.h"

namespace tw::hostmode {

struct Received {
  enum class Kind {
    Block,     // `block` is set
    Text,      // `text` holds bytes that arrived outside any block
    Overflow,  // a block grew past the limit; it is dropped up to its closing FEND
  };
  Kind kind = Kind::Block;
  HostBlock block;
  Bytes text;
};

class BlockReader {
 public:
  // Far more than any block the bridge sends (a status reply or one frame's
  // data, escaped); keeps a peer that never sends a closing FEND from
  // growing the buffer.
  static constexpr std::size_t kDefaultMaxBlock = 16 * 1024;

  explicit BlockReader(std::size_t maxBlock = kDefaultMaxBlock) : maxBlock_(maxBlock) {}

  // Call Next() until it returns nothing before appending again: the bytes
  // are held only until they are looked at.
  void Append(std::string_view bytes);

  // The next block, piece of text or overflow notice; nothing once every
  // appended byte has been looked at.
  std::optional<Received> Next();

  void Reset();

  std::size_t MaxBlock() const { return maxBlock_; }

 private:
  std::size_t maxBlock_;
  std::string input_;
  std::size_t pos_ = 0;  // first byte of input_ not looked at
  bool inBlock_ = false;
  bool dropping_ = false;  // inside a block that passed the limit
  Bytes block_;            // inner bytes of the open block
  Bytes text_;             // bytes outside blocks not yet handed on
};

}  // namespace tw::hostmode
