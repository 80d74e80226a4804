// Encoding outgoing engine frames and cutting incoming ones out of the stream.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>

#include "control/link/frame_codec.h"
#include "control/link/frame_reader.h"

namespace {

// Work done in all iterations, `amount` per iteration.
std::int64_t PerIteration(const benchmark::State& state, std::size_t amount) {
  return state.iterations() * static_cast<std::int64_t>(amount);
}

void EncodeData(benchmark::State& state, std::size_t size) {
  std::string data(size, 'x');
  std::size_t frames = 0;
  for (auto _ : state) {
    tw::EncodeFrames(1, 0xF0, 'D', "NOCALL-1", "NOBODY-2", data, [&](std::string_view piece) {
      benchmark::DoNotOptimize(piece.data());
      ++frames;
    });
  }
  state.SetBytesProcessed(PerIteration(state, size));
  state.SetItemsProcessed(static_cast<std::int64_t>(frames));
}

void BM_EncodeFrames_200BytesUnsplit(benchmark::State& state) { EncodeData(state, 200); }
BENCHMARK(BM_EncodeFrames_200BytesUnsplit);

void BM_EncodeFrames_4KiBSplit(benchmark::State& state) { EncodeData(state, 4096); }
BENCHMARK(BM_EncodeFrames_4KiBSplit);

// About 1 MiB of what an engine sends: mostly connected data of any size,
// port queries, heard-list lines and now and then a raw frame.
struct Stream {
  std::string bytes;
  std::size_t frames = 0;
};

const Stream& MixedStream() {
  static const Stream stream = [] {
    Stream s;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pick(0, 99);
    std::uniform_int_distribution<std::size_t> dataSize(1, 255);
    std::uniform_int_distribution<std::size_t> rawSize(20, 330);
    auto add = [&](int port, std::uint8_t pid, char kind, std::string_view from, std::string_view to,
                   std::size_t size) {
      s.bytes += tw::EncodeFrame(port, pid, kind, from, to, std::string(size, 'd'));
      ++s.frames;
    };
    while (s.bytes.size() < (1u << 20)) {
      int p = pick(random);
      if (p < 70) {
        add(1, 0xF0, 'D', "NOCALL-1", "NOBODY-2", dataSize(random));
      } else if (p < 80) {
        add(1, 0, 'y', "", "", 4);
      } else if (p < 90) {
        add(2, 0, 'H', "RELAY-3", "", 40);
      } else if (p < 95) {
        add(1, 0, 'K', "", "", rawSize(random));
      } else {
        add(0, 0, 'G', "", "", 0);
      }
    }
    return s;
  }();
  return stream;
}

void BM_FrameReader_1MiBInOneRead(benchmark::State& state) {
  const Stream& stream = MixedStream();
  for (auto _ : state) {
    tw::FrameReader reader;
    reader.Append(stream.bytes);
    std::size_t frames = 0;
    while (auto frame = reader.Next()) {
      benchmark::DoNotOptimize(frame->data.data());
      ++frames;
    }
    if (frames != stream.frames) state.SkipWithError("frames lost");
  }
  state.SetBytesProcessed(PerIteration(state, stream.bytes.size()));
  state.SetItemsProcessed(PerIteration(state, stream.frames));
}
BENCHMARK(BM_FrameReader_1MiBInOneRead)->Unit(benchmark::kMillisecond);

void BM_FrameReader_1MiBInOneByteReads(benchmark::State& state) {
  const Stream& stream = MixedStream();
  for (auto _ : state) {
    tw::FrameReader reader;
    std::size_t frames = 0;
    for (char byte : stream.bytes) {
      reader.Append(std::string_view(&byte, 1));
      while (auto frame = reader.Next()) {
        benchmark::DoNotOptimize(frame->data.data());
        ++frames;
      }
    }
    if (frames != stream.frames) state.SkipWithError("frames lost");
  }
  state.SetBytesProcessed(PerIteration(state, stream.bytes.size()));
  state.SetItemsProcessed(PerIteration(state, stream.frames));
}
BENCHMARK(BM_FrameReader_1MiBInOneByteReads)->Unit(benchmark::kMillisecond);

}  // namespace
