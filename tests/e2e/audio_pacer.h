// The relay's buffer between one engine's transmit audio and the other
// engine's receive port. Audio is fed in whatever pieces the pipe gives and
// leaves in datagrams of one tick's worth of samples, scaled down so that
// the receiving modem is not overdriven. The buffer has a fixed capacity:
// when it is full the relay stops reading, and the pipe holds the writer back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tw::e2e {

class AudioPacer {
 public:
  // `chunkSamples` per tick; `capacitySamples` is raised to at least one chunk.
  AudioPacer(std::size_t chunkSamples, std::size_t capacitySamples, double gain);

  // Bytes that Feed accepts now.
  std::size_t Room() const { return capacityBytes_ - buffer_.size(); }
  std::size_t BufferedSamples() const { return buffer_.size() / 2; }

  // Takes at most Room() bytes of S16_LE samples and returns how many it took.
  // A sample split across two pieces is joined.
  std::size_t Feed(std::string_view bytes);

  // One tick's datagram. A full chunk of audio when buffered; otherwise the
  // buffered audio as it is while the source is still delivering (padding it
  // would cut a gap into a transmission), or padded with digital silence to a
  // full chunk once the source has gone quiet. Never empty: the receiver
  // needs silence between bursts to see its carrier drop.
  std::string Tick(bool sourceQuiet);

  // Scales S16_LE samples by `gain`, rounding to nearest and clamping. An odd
  // trailing byte is dropped.
  static std::string Scale(std::string_view samples, double gain);

 private:
  std::size_t chunkBytes_;
  std::size_t capacityBytes_;
  double gain_;
  std::string buffer_;  // whole samples and at most one odd byte at the end
};

}  // namespace tw::e2e
