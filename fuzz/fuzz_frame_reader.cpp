// Feeds arbitrary bytes to the engine frame reader in pieces of varying size
// and checks the frames against a straightforward cut of the same stream.
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "control/link/frame_codec.h"
#include "control/link/frame_reader.h"
#include "fuzz/fuzz_check.h"

namespace {

using tw::fuzz::Require;

struct Cut {
  std::size_t offset;  // of the header
  std::size_t length;  // of the data
};

std::size_t LengthAt(std::string_view stream, std::size_t offset) {
  return static_cast<std::uint8_t>(stream[offset + 28]) +
         256u * static_cast<std::uint8_t>(stream[offset + 29]);
}

// The header bytes that carry meaning; reserved bytes and whatever follows
// the NUL of a call field are zeroed, as the encoder writes them.
std::string Canonical(std::string_view header) {
  std::string out(header.substr(0, tw::kHeaderSize));
  for (std::size_t i : {1u, 2u, 3u, 5u, 7u, 30u, 31u, 32u, 33u, 34u, 35u}) out[i] = '\0';
  for (std::size_t field : {8u, 18u}) {
    bool ended = false;
    for (std::size_t i = field; i < field + tw::kCallFieldSize; ++i) {
      if (out[i] == '\0') ended = true;
      if (ended) out[i] = '\0';
    }
  }
  return out;
}

// The one-based port that the encoder turns back into the received byte.
int EncoderPort(std::uint8_t port) { return port == 0 ? 256 : port; }

void CheckSplit(const tw::Frame& frame) {
  const tw::FrameHeader& h = frame.header;
  std::vector<std::string> pieces;
  tw::EncodeFrames(EncoderPort(h.port), h.pid, h.kind, h.callFrom, h.callTo, frame.data,
                   [&](std::string_view piece) { pieces.emplace_back(piece); });
  std::size_t expected = h.kind == 'K' || frame.data.size() <= tw::kMaxPiece
                             ? 1
                             : (frame.data.size() + tw::kMaxPiece - 1) / tw::kMaxPiece;
  Require(pieces.size() == expected, "number of split pieces");

  tw::FrameReader reader;
  std::string joined;
  std::size_t count = 0;
  for (const auto& piece : pieces) {
    reader.Append(piece);
    while (auto got = reader.Next()) {
      ++count;
      Require(got->header.kind == h.kind && got->header.port == h.port && got->header.pid == h.pid &&
                  got->header.callFrom == h.callFrom && got->header.callTo == h.callTo,
              "split pieces keep the header fields");
      Require(h.kind == 'K' || got->data.size() <= tw::kMaxPiece, "piece within 255 bytes");
      joined += got->data;
    }
  }
  Require(count == pieces.size(), "each piece decodes to one frame");
  Require(joined == frame.data, "split pieces join to the data");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // The first two bytes choose the piece sizes; the rest is the stream.
  std::minstd_rand random(1u + data[0] + 256u * data[1]);
  std::string_view stream(reinterpret_cast<const char*>(data) + 2, size - 2);

  std::vector<Cut> cuts;
  std::size_t at = 0;
  while (at + tw::kHeaderSize <= stream.size()) {
    std::size_t length = LengthAt(stream, at);
    if (at + tw::kHeaderSize + length > stream.size()) break;
    cuts.push_back({at, length});
    at += tw::kHeaderSize + length;
  }

  tw::FrameReader reader;
  std::vector<tw::Frame> frames;
  for (std::size_t fed = 0; fed < stream.size();) {
    std::size_t limit = random() % 2 ? 8 : 600;
    std::size_t piece = 1 + random() % limit;
    if (piece > stream.size() - fed) piece = stream.size() - fed;
    reader.Append(stream.substr(fed, piece));
    fed += piece;
    while (auto frame = reader.Next()) frames.push_back(std::move(*frame));
  }

  Require(frames.size() == cuts.size(), "frame count");
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const tw::Frame& frame = frames[i];
    std::string_view header = stream.substr(cuts[i].offset, tw::kHeaderSize);
    Require(frame.header.length == cuts[i].length, "length from bytes 28 and 29");
    Require(frame.data == stream.substr(cuts[i].offset + tw::kHeaderSize, cuts[i].length),
            "data follows its header");
    Require(frame.header.callFrom.size() <= tw::kCallFieldSize &&
                frame.header.callTo.size() <= tw::kCallFieldSize,
            "calls fit their fields");

    // Encoding the decoded header gives back the bytes that were read.
    std::string again(tw::kHeaderSize, '\0');
    tw::EncodeHeader(again.data(), EncoderPort(frame.header.port), frame.header.pid,
                     frame.header.kind, frame.header.callFrom, frame.header.callTo,
                     frame.header.length);
    Require(again == Canonical(header), "re-encoded header matches the received one");

    CheckSplit(frame);
  }

  std::size_t rest = stream.size() - at;
  if (rest >= tw::kHeaderSize) {
    Require(reader.WaitingForData(), "a complete header is taken");
    Require(reader.PendingHeader()->length == LengthAt(stream, at), "pending length");
    Require(reader.Buffered() == rest - tw::kHeaderSize, "pending data buffered");
  } else {
    Require(!reader.WaitingForData(), "no header pending");
    Require(reader.Buffered() == rest, "partial header buffered");
  }

  reader.Reset();
  Require(reader.Buffered() == 0 && !reader.WaitingForData(), "reset empties the reader");
  return 0;
}
