#include "control/link/frame_codec.h"

#include <cstring>

namespace tw {

namespace {

void PutCall(char* slot, std::string_view call) {
  std::size_t n = call.size() < kCallFieldSize ? call.size() : kCallFieldSize;
  if (n != 0) std::memcpy(slot, call.data(), n);  // an empty view may hold a null pointer
}

std::string GetCall(const char* slot) {
  std::size_t n = 0;
  while (n < kCallFieldSize && slot[n] != '\0') ++n;
  return std::string(slot, n);
}

std::uint8_t ByteAt(const char* p, std::size_t i) { return static_cast<std::uint8_t>(p[i]); }

}  // namespace

std::uint8_t WirePort(int port) {
  return port <= 0 ? 0 : static_cast<std::uint8_t>((port - 1) & 0xFF);
}

void EncodeHeader(char* out, int port, std::uint8_t pid, char kind, std::string_view callFrom,
                  std::string_view callTo, std::size_t length) {
  std::memset(out, 0, kHeaderSize);
  out[0] = static_cast<char>(WirePort(port));
  out[4] = kind;
  out[6] = static_cast<char>(pid);
  PutCall(out + 8, callFrom);
  PutCall(out + 18, callTo);
  out[28] = static_cast<char>(length & 0xFF);
  out[29] = static_cast<char>((length >> 8) & 0xFF);
}

FrameHeader DecodeHeader(const char* header) {
  FrameHeader h;
  h.port = static_cast<std::uint8_t>(ByteAt(header, 0) + 1);
  h.kind = header[4];
  h.pid = ByteAt(header, 6);
  h.callFrom = GetCall(header + 8);
  h.callTo = GetCall(header + 18);
  h.length = ByteAt(header, 28) + 256u * ByteAt(header, 29);
  return h;
}

std::string EncodeFrame(int port, std::uint8_t pid, char kind, std::string_view callFrom,
                        std::string_view callTo, std::string_view data) {
  std::string wire;
  EncodeFrames(port, pid, kind, callFrom, callTo, data,
               [&](std::string_view piece) { wire.append(piece); });
  return wire;
}

std::string EncodeViaBlock(const std::string* calls, std::size_t count) {
  std::string block(1 + kCallFieldSize * count, '\0');
  block[0] = static_cast<char>(count);
  for (std::size_t i = 0; i < count; ++i) PutCall(block.data() + 1 + kCallFieldSize * i, calls[i]);
  return block;
}

}  // namespace tw

