// A minimal blocking client of the engine's AGW port for the end-to-end
// tests: it sends frames built by the project's codec and waits, with a
// deadline, for the replies it is told to look for. Frames that arrive while
// it waits for something else are held for later waits, so the order in which
// a test asks does not have to match the order in which the engine answers.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/link/frame_codec.h"
#include "control/link/frame_reader.h"

namespace tw::e2e {

class AgwClient {
 public:
  using Match = std::function<bool(const Frame&)>;

  explicit AgwClient(std::string name) : name_(std::move(name)) {}
  ~AgwClient();
  AgwClient(const AgwClient&) = delete;
  AgwClient& operator=(const AgwClient&) = delete;

  bool Connect(std::uint16_t port, std::string& error);

  // One frame, split into 255-byte pieces where the codec splits it. The
  // defaults are "" rather than {}: the codec copies calls with memcpy, which
  // must not be handed the null pointer of an empty default view.
  bool Send(char kind, int port, std::string_view callFrom = "", std::string_view callTo = "",
            std::string_view data = "", std::uint8_t pid = 0);

  // The first held or newly received frame that `match` accepts, or nothing
  // when `timeout` passes or the engine closes the connection first.
  std::optional<Frame> WaitFor(const Match& match, std::chrono::milliseconds timeout);
  std::optional<Frame> WaitForKind(char kind, std::chrono::milliseconds timeout);

  // 'D' frames from `callFrom`, in order of arrival, until together they
  // carry `size` bytes or `timeout` passes.
  std::vector<Frame> ReceiveData(const std::string& callFrom, std::size_t size,
                                 std::chrono::milliseconds timeout);

  bool Closed() const { return closed_; }

  // Every frame received so far, one line each, for failure messages.
  const std::string& History() const { return history_; }

  // A frame as one readable line; bytes outside printable ASCII as \xNN.
  static std::string Describe(const Frame& frame);
  static std::string Escape(std::string_view bytes);

 private:
  // Reads once, waiting until `deadline` at most; false when nothing came.
  bool ReadSome(std::chrono::steady_clock::time_point deadline);
  void Hold(Frame frame);

  std::string name_;
  int fd_ = -1;
  bool closed_ = false;
  FrameReader reader_;
  std::deque<Frame> held_;
  std::string history_;
  std::size_t dropped_ = 0;  // held frames given up to keep the hold bounded
};

}  // namespace tw::e2e
