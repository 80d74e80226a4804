// The engine link's own cost on connected data: frames in through Store and
// Decode up to the events, and SendData down to the socket, with the trace
// log off as it is by default.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "bench/data_frames.h"
#include "control/link/tl2.h"
#include "platform/loop/fake_event_loop.h"

namespace {

constexpr std::size_t kSegment = 1460;  // one Ethernet TCP segment's payload

using Stream = tw::bench::DataFrames;

const Stream& DataStream() {
  static const Stream stream = tw::bench::MakeDataFrames("NOCALL-1", "NOBODY-2");
  return stream;
}

// A link with the handlers a user of connected data assigns.
struct ReceivingLink {
  ReceivingLink() : link(loop) {
    link.OnRead = [this](tw::TL2&, int, std::uint8_t, char, const std::string&, const std::string&,
                         const std::string& data) { readBytes += data.size(); };
    link.OnData = [this](tw::TL2&, int, const std::string&, const std::string&, std::uint8_t,
                         const std::string& data) {
      ++frames;
      benchmark::DoNotOptimize(data.data());
    };
  }
  tw::FakeEventLoop loop;
  tw::TL2 link;
  std::int64_t frames = 0;
  std::size_t readBytes = 0;
};

// MB/s counts the bytes as they arrive from the socket, headers included.
void Receive(benchmark::State& state, std::size_t pieceSize) {
  const Stream& stream = DataStream();
  ReceivingLink receiver;
  for (auto _ : state) {
    std::string_view rest = stream.bytes;
    while (!rest.empty()) {
      std::size_t take = std::min(pieceSize, rest.size());
      receiver.link.Store(rest.substr(0, take));
      rest.remove_prefix(take);
    }
  }
  if (receiver.frames != stream.frames * state.iterations()) state.SkipWithError("frames lost");
  state.SetItemsProcessed(receiver.frames);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.bytes.size()));
}

void BM_TL2_Store_1MiB_OneCall(benchmark::State& state) {
  Receive(state, DataStream().bytes.size());
}
BENCHMARK(BM_TL2_Store_1MiB_OneCall);

void BM_TL2_Store_1MiB_1460BytePieces(benchmark::State& state) { Receive(state, kSegment); }
BENCHMARK(BM_TL2_Store_1MiB_1460BytePieces);

void BM_TL2_SendData_4KiB(benchmark::State& state) {
  tw::FakeEventLoop loop;
  tw::TL2 link(loop);
  link.SetAddress("127.0.0.1");
  link.SetCallSign("NOCALL-1");
  link.SetActive(true);
  tw::FakeClientSocket& socket = *loop.clientSockets.front();
  socket.CompleteConnect();
  socket.writes.clear();

  std::string data(4096, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 37) & 0xFF);
  std::int64_t frames = 0;
  std::int64_t wireBytes = 0;
  for (auto _ : state) {
    link.SendData(1, 0xF0, "NOCALL-1", "NOBODY-2", data);
    frames += static_cast<std::int64_t>(socket.writes.size());
    for (const std::string& write : socket.writes) wireBytes += static_cast<std::int64_t>(write.size());
    socket.writes.clear();
  }
  // 16 frames of 255 bytes and one of 16.
  if (frames != 17 * state.iterations()) state.SkipWithError("unexpected split");
  state.SetItemsProcessed(frames);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
  state.counters["wire_bytes_per_send"] =
      benchmark::Counter(static_cast<double>(wireBytes), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_TL2_SendData_4KiB);

}  // namespace
