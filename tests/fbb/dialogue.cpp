#include "tests/fbb/dialogue.h"

#include <algorithm>

namespace tw::fbb_test {

namespace {

using Clock = std::chrono::steady_clock;

Dialogue::Millis Left(Clock::time_point deadline) {
  return std::max(std::chrono::duration_cast<Dialogue::Millis>(deadline - Clock::now()), Dialogue::Millis(0));
}

}  // namespace

bool Dialogue::ForThisLink(const tw::Frame& frame) const {
  return frame.header.callFrom == peer_ && frame.header.callTo == self_;
}

bool Dialogue::Await(std::string_view needle, Millis timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (const std::size_t at = text_.find(needle, mark_); at != std::string::npos) {
      mark_ = at + needle.size();
      return true;
    }
    if (client_.Closed() || Clock::now() >= deadline) return false;
    const auto frame =
        client_.WaitFor([this](const tw::Frame& f) { return f.header.kind == 'D' && ForThisLink(f); },
                        Left(deadline));
    if (frame) text_ += frame->data;
  }
}

bool Dialogue::AwaitLink(char kind, Millis timeout) {
  return client_
      .WaitFor([this, kind](const tw::Frame& f) { return f.header.kind == kind && ForThisLink(f); }, timeout)
      .has_value();
}

}  // namespace tw::fbb_test
