#include "control/component/link_meter.h"

namespace tw {

void LinkMeter::Sent(std::size_t bytes, std::size_t piece) {
  if (piece == 0) piece = 1;
  do {
    const std::size_t size = bytes < piece ? bytes : piece;
    if (sizes_.size() == kMaxFrames) CountOutOldest();
    sizes_.push_back(static_cast<std::uint32_t>(size));
    bytes_ += size;
    ++sent_;
    bytes -= size;
  } while (bytes > 0);
}

void LinkMeter::Asked() {
  if (questions_.size() < kMaxQuestions) questions_.push_back(sent_);
}

void LinkMeter::Answered(std::uint32_t frames) {
  std::uint64_t asOf = sent_;
  if (!questions_.empty()) {
    asOf = questions_.front();
    questions_.pop_front();
  }
  const std::uint64_t delivered = asOf > frames ? asOf - frames : 0;
  while (countedOut_ < delivered && !sizes_.empty()) CountOutOldest();
}

void LinkMeter::Clear() {
  while (!sizes_.empty()) CountOutOldest();
  questions_.clear();
}

void LinkMeter::CountOutOldest() {
  bytes_ -= sizes_.front();
  sizes_.pop_front();
  ++countedOut_;
}

}  // namespace tw
