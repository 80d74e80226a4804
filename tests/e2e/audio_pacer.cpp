#include "tests/e2e/audio_pacer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tw::e2e {

AudioPacer::AudioPacer(std::size_t chunkSamples, std::size_t capacitySamples, double gain)
    : chunkBytes_(2 * std::max<std::size_t>(chunkSamples, 1)),
      capacityBytes_(std::max(2 * capacitySamples, chunkBytes_)),
      gain_(gain) {
  buffer_.reserve(capacityBytes_);
}

std::size_t AudioPacer::Feed(std::string_view bytes) {
  std::size_t take = std::min(bytes.size(), Room());
  buffer_.append(bytes.substr(0, take));
  return take;
}

std::string AudioPacer::Tick(bool sourceQuiet) {
  std::size_t whole = buffer_.size() & ~std::size_t{1};
  std::size_t take = std::min(whole, chunkBytes_);
  std::string out = Scale(std::string_view(buffer_).substr(0, take), gain_);
  buffer_.erase(0, take);
  if (out.size() < chunkBytes_ && (sourceQuiet || out.empty())) out.resize(chunkBytes_, '\0');
  return out;
}

std::string AudioPacer::Scale(std::string_view samples, double gain) {
  std::string out(samples.size() & ~std::size_t{1}, '\0');
  for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
    auto lo = static_cast<std::uint8_t>(samples[i]);
    auto hi = static_cast<std::uint8_t>(samples[i + 1]);
    auto raw = static_cast<std::uint16_t>(lo | (hi << 8));
    double scaled = std::round(static_cast<std::int16_t>(raw) * gain);
    scaled = std::clamp(scaled, -32768.0, 32767.0);
    auto value = static_cast<std::uint16_t>(static_cast<std::int16_t>(scaled));
    out[i] = static_cast<char>(value & 0xFF);
    out[i + 1] = static_cast<char>(value >> 8);
  }
  return out;
}

}  // namespace tw::e2e
