#include "tools/hostmode_client/line_queue.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace tw::hostmode {

namespace {

constexpr std::size_t kMaxLine = 64 * 1024;
constexpr int kStopCheckMs = 100;

}  // namespace

bool LineQueue::Push(std::string line) {
  std::unique_lock lock(mutex_);
  roomFree_.wait(lock, [this] { return closed_ || lines_.size() < kMaxLines; });
  if (closed_) return false;
  lines_.push_back(std::move(line));
  if (wake_) wake_();
  return true;
}

void LineQueue::Finish() {
  std::lock_guard lock(mutex_);
  finished_ = true;
  if (wake_) wake_();
}

LineQueue::Got LineQueue::TryPop(std::string& line) {
  std::lock_guard lock(mutex_);
  if (lines_.empty()) return finished_ ? Got::End : Got::Nothing;
  line = std::move(lines_.front());
  lines_.pop_front();
  roomFree_.notify_one();
  return Got::Line;
}

bool LineQueue::Ready() {
  std::lock_guard lock(mutex_);
  return finished_ || !lines_.empty();
}

void LineQueue::SetWake(std::function<void()> wake) {
  std::lock_guard lock(mutex_);
  wake_ = std::move(wake);
}

void LineQueue::Close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  roomFree_.notify_all();
}

void FeedLines(int fd, LineQueue& queue, const std::function<bool()>& stop) {
  std::string line;
  char buffer[4096];
  auto push = [&] {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return queue.Push(std::exchange(line, {}));
  };
  while (!stop()) {
    // Polling with a short timeout lets the caller stop this thread while
    // a terminal has nothing to read.
    pollfd ready{fd, POLLIN, 0};
    int polled = ::poll(&ready, 1, kStopCheckMs);
    if (polled < 0 && errno != EINTR) break;
    if (polled <= 0) continue;
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) break;
    for (ssize_t i = 0; i < n; ++i) {
      if (buffer[i] == '\n') {
        if (!push()) return;
      } else {
        line.push_back(buffer[i]);
        if (line.size() == kMaxLine && !push()) return;
      }
    }
  }
  if (!line.empty() && !stop()) push();
  queue.Finish();
}

}  // namespace tw::hostmode
