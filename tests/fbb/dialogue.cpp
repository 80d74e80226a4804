#include "tests/fbb/dialogue.h"

#include <algorithm>

namespace tw::fbb_test {

namespace {

using Clock = std::chrono::steady_clock;

// Waits are cut into slices so that a stop request ends them soon.
constexpr Dialogue::Millis kSlice{250};

Dialogue::Millis Slice(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<Dialogue::Millis>(deadline - Clock::now());
  return std::clamp(left, Dialogue::Millis(0), kSlice);
}

}  // namespace

bool Dialogue::ForThisLink(const tw::Frame& frame) const {
  return frame.header.callFrom == peer_ && frame.header.callTo == self_;
}

bool Dialogue::Await(std::string_view needle, Millis timeout, std::stop_token stop) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (const std::size_t at = text_.find(needle, mark_); at != std::string::npos) {
      mark_ = at + needle.size();
      return true;
    }
    if (stop.stop_requested() || client_.Closed() || Clock::now() >= deadline) return false;
    const auto frame =
        client_.WaitFor([this](const tw::Frame& f) { return f.header.kind == 'D' && ForThisLink(f); },
                        Slice(deadline));
    if (frame) text_ += frame->data;
  }
}

bool Dialogue::AwaitLink(char kind, Millis timeout, std::stop_token stop) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (stop.stop_requested() || client_.Closed() || Clock::now() >= deadline) return false;
    const auto frame = client_.WaitFor(
        [this, kind](const tw::Frame& f) { return f.header.kind == kind && ForThisLink(f); }, Slice(deadline));
    if (frame) return true;
  }
}

}  // namespace tw::fbb_test
