// The packet engine's frame: a 36-byte header followed by a data part whose
// length the header gives. Encoding splits long data into 255-byte frames
// (raw frames, kind 'K', are never split).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tw {

inline constexpr std::size_t kHeaderSize = 36;
inline constexpr std::size_t kMaxFrame = 256;           // MAXFRAME: unsplit up to MAXFRAME - 1
inline constexpr std::size_t kMaxPiece = kMaxFrame - 1;  // data bytes in one split piece
inline constexpr std::size_t kMaxRawFrame = 65535;       // a 'K' frame's 16-bit length
inline constexpr std::size_t kCallFieldSize = 10;

struct FrameHeader {
  std::uint8_t port = 0;  // one-based radio port (wire byte + 1, kept as a byte)
  char kind = 0;
  std::uint8_t pid = 0;
  std::string callFrom;
  std::string callTo;
  std::size_t length = 0;  // data bytes that follow the header
};

struct Frame {
  FrameHeader header;
  std::string data;
};

// The header's port byte for a one-based port: port - 1, and 0 for port 0.
std::uint8_t WirePort(int port);

// Writes one 36-byte header. `length` is the data length as carried in bytes
// 28 and 29 (the caller has already applied the split rule).
void EncodeHeader(char* out, int port, std::uint8_t pid, char kind, std::string_view callFrom,
                  std::string_view callTo, std::size_t length);

FrameHeader DecodeHeader(const char* header);

// Whether `length` data bytes of `kind` can be put on the wire. A raw frame
// travels unsplit, so its length must fit the header's 16-bit field.
constexpr bool CanEncode(char kind, std::size_t length) {
  return kind != 'K' || length <= kMaxRawFrame;
}

// Calls `piece(bytes)` once for each frame that carries `data`: one frame for
// up to 255 bytes or for kind 'K', else 255-byte frames and a remainder.
// `piece` receives a header followed by its slice of the data. Data that
// CanEncode refuses gives no frame at all: a wrapped length would make the
// engine read the rest of the data as further frames.
template <class Piece>
void EncodeFrames(int port, std::uint8_t pid, char kind, std::string_view callFrom,
                  std::string_view callTo, std::string_view data, Piece&& piece) {
  if (!CanEncode(kind, data.size())) return;
  std::string frame;
  do {
    std::size_t take = (kind == 'K' || data.size() <= kMaxPiece) ? data.size() : kMaxPiece;
    frame.resize(kHeaderSize);
    EncodeHeader(frame.data(), port, pid, kind, callFrom, callTo, take);
    frame.append(data.substr(0, take));
    piece(std::string_view(frame));
    data.remove_prefix(take);
  } while (!data.empty());
}

// All pieces of EncodeFrames joined, as they go on the wire.
std::string EncodeFrame(int port, std::uint8_t pid, char kind, std::string_view callFrom,
                        std::string_view callTo, std::string_view data);

// The digipeater block of 'v' and 'V' frames: a count byte, then one
// NUL-padded 10-byte slot per call. `calls` must hold at most 25 calls of at
// most 10 bytes each; see BuildVia for the checked version.
std::string EncodeViaBlock(const std::string* calls, std::size_t count);

}  // namespace tw
