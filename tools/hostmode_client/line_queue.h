// Typed lines on their way from the thread that reads them to the one that
// runs the connection. Bounded: a reader far ahead of the connection waits.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

namespace tw::hostmode {

class LineQueue {
 public:
  enum class Got { Line, Nothing, End };

  static constexpr std::size_t kMaxLines = 256;

  // Adds a line; waits while the queue is full. False once the consumer has
  // closed the queue: the producer should stop.
  bool Push(std::string line);

  // No more lines will come.
  void Finish();

  // The next line, Nothing while the producer may still add one, End when
  // it has finished and everything was taken.
  Got TryPop(std::string& line);

  // True when TryPop would return Line or End.
  bool Ready();

  // Called (with the queue locked) after each Push and Finish, so the
  // consumer's loop wakes up; reset it to nothing before the consumer goes.
  void SetWake(std::function<void()> wake);

  // The consumer is gone: pending and future pushes return false.
  void Close();

 private:
  std::mutex mutex_;
  std::condition_variable roomFree_;
  std::deque<std::string> lines_;
  std::function<void()> wake_;
  bool finished_ = false;
  bool closed_ = false;
};

// Reads lines from `fd` (standard input or a script file) into `queue`
// until end of file, `stop`, or the queue is closed; then finishes the
// queue. A line end is LF, with one CR before it dropped; lines longer
// than 64 KiB are split.
void FeedLines(int fd, LineQueue& queue, const std::function<bool()>& stop);

}  // namespace tw::hostmode
