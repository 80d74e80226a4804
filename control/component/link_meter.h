// What the engine still holds of one link's data, as a KAM shows it in its
// status: the frames handed on and not yet counted out, and their bytes.
//
// The engine answers a question about a link's outstanding frames with a
// count as it stood when it read the question; frames handed on after the
// question was sent are still outstanding whatever the answer says. So each
// question remembers how many frames had gone out before it, and an answer
// of n counts out all but the last n of those, oldest first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

namespace tw {

class LinkMeter {
 public:
  // More frames than this held at once are counted out from the oldest:
  // memory stays bounded whatever a client sends.
  static constexpr std::size_t kMaxFrames = 65536;
  // Questions whose answers are awaited; one more is not recorded.
  static constexpr std::size_t kMaxQuestions = 16;

  // Data handed to the engine: one frame per piece of at most `piece` (> 0)
  // bytes, and one frame for no data, as the engine link cuts it.
  void Sent(std::size_t bytes, std::size_t piece);
  // A question about to go out.
  void Asked();
  // The engine's answer to the oldest question still awaited (or, without
  // one, a count as of now).
  void Answered(std::uint32_t frames);
  // Everything counted out, questions forgotten.
  void Clear();

  std::size_t Frames() const { return sizes_.size(); }
  std::size_t Bytes() const { return bytes_; }
  std::size_t Unanswered() const { return questions_.size(); }

 private:
  void CountOutOldest();

  std::deque<std::uint32_t> sizes_;  // outstanding frames, oldest first
  std::size_t bytes_ = 0;
  std::uint64_t sent_ = 0;        // frames handed on since the link began
  std::uint64_t countedOut_ = 0;  // of those, the ones no longer held
  std::deque<std::uint64_t> questions_;  // `sent_` as each question went out
};

}  // namespace tw
