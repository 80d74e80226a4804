// The ten host-mode streams A to J, each carried by one AX.25 link of the
// control (its channel id) and in one of four states.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tw {

enum class StreamState : std::uint8_t {
  Disconnected = 0,
  Connected = 1,
  Connecting = 2,     // connect asked for, not yet confirmed
  Disconnecting = 3,  // disconnect asked for, not yet confirmed
};

inline constexpr int kStreamCount = 10;

// Stream n is named by strmletter[n]; index 0 is never used.
inline constexpr std::string_view strmletter = " ABCDEFGHIJ";

struct Stream {
  std::int32_t chanid = 0;  // 0 while no link is assigned
  StreamState strmstate = StreamState::Disconnected;
  // Data bytes of the stream's link: taken by the control for the far
  // station, and received from it. Counted by the bridge, for the operator.
  std::uint64_t bytesSent = 0;
  std::uint64_t bytesReceived = 0;
};

class StreamTable {
 public:
  // Streams 1 to 10.
  Stream& operator[](int s) { return streams_.at(static_cast<std::size_t>(s)); }
  const Stream& operator[](int s) const { return streams_.at(static_cast<std::size_t>(s)); }

  // The stream holding channel `chanid` in any state, or 0. Id 0 is never held.
  int Holding(std::int32_t chanid) const;
  // The first Disconnected stream, or 0.
  int FirstFree() const;
  // The first stream that is not Disconnected, or 0.
  int FirstBusy() const;
  void Free(int s) { (*this)[s] = Stream{}; }

  // "0" gives 0, "A" to "J" 1 to 10; anything else -1.
  static int Number(std::string_view letter);
  static char Letter(int s) { return strmletter.at(static_cast<std::size_t>(s)); }

 private:
  std::array<Stream, kStreamCount + 1> streams_{};
};

}  // namespace tw
