// Decoding raw AX.25 frames as the engine hands them over in 'K' frames.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "control/link/ax25_codec.h"

namespace {

// Work done in all iterations, `amount` per iteration.
std::int64_t PerIteration(const benchmark::State& state, std::size_t amount) {
  return state.iterations() * static_cast<std::int64_t>(amount);
}

std::string Address(tw::TraceLog& log, std::string_view call, bool last) {
  std::string address = tw::XCallSign(log, call);
  if (last) address.back() = static_cast<char>(address.back() | 0x01);
  return address;
}

// A position report sent through two digipeaters.
std::string UiFrameWithTwoDigis(tw::TraceLog& log) {
  return std::string(1, '\0') + Address(log, "APRS", false) + Address(log, "NOCALL-9", false) +
         Address(log, "RELAY", false) + Address(log, "WIDE2-1", true) + "\x03\xF0" +
         "!4903.50N/07201.75W-Test position report 001";
}

// Connected data: 128 bytes of text.
std::string IFrame(tw::TraceLog& log) {
  return std::string(1, '\0') + Address(log, "NOBODY-2", false) + Address(log, "NOCALL-1", true) +
         "\x9E\xF0" + std::string(128, 'm');
}

void Decode(benchmark::State& state, const std::string& frame, tw::TraceLog& log) {
  for (auto _ : state) {
    tw::KissFrame decoded = tw::KissDecode(log, 8000, frame);
    benchmark::DoNotOptimize(decoded.info.data());
  }
  state.SetBytesProcessed(PerIteration(state, frame.size()));
  state.SetItemsProcessed(state.iterations());
}

void BM_KissDecode_UiTwoDigis(benchmark::State& state) {
  tw::TraceLog log;
  Decode(state, UiFrameWithTwoDigis(log), log);
}
BENCHMARK(BM_KissDecode_UiTwoDigis);

void BM_KissDecode_IFrame(benchmark::State& state) {
  tw::TraceLog log;
  Decode(state, IFrame(log), log);
}
BENCHMARK(BM_KissDecode_IFrame);

// Trace switched on but at level 1: the decode's level 4 and 5 messages
// must cost no more than with the trace off.
void BM_KissDecode_UiTwoDigis_TraceLevel1(benchmark::State& state) {
  tw::TraceLog log;
  log.SetSwitch("YES");
  log.SetLevel(1);
  Decode(state, UiFrameWithTwoDigis(log), log);
}
BENCHMARK(BM_KissDecode_UiTwoDigis_TraceLevel1);

}  // namespace
