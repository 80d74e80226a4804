// What the component adds on connected data: the same 'D' frames in through
// the socket, once to a bare link's OnData and once through TVOKAPI's channel
// table to OnAX25Receive (with OnData assigned too, as a container that uses
// both has it). The trace is off, as by default. The ratio of the two rates
// is printed after the run.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "bench/data_frames.h"
#include "control/component/vokapi.h"
#include "control/link/frame_codec.h"
#include "control/link/tl2.h"
#include "platform/loop/fake_event_loop.h"

namespace {

constexpr const char* kOwn = "N0CALL";
constexpr const char* kRemote = "N0TEST-5";

using Stream = tw::bench::DataFrames;

const Stream& DataStream() {
  static const Stream stream = tw::bench::MakeDataFrames(kRemote, kOwn);
  return stream;
}

void Finish(benchmark::State& state, std::int64_t frames) {
  const Stream& stream = DataStream();
  if (frames != stream.frames * state.iterations()) state.SkipWithError("frames lost");
  state.SetItemsProcessed(frames);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.bytes.size()));
  state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}

void BM_Link_OnData(benchmark::State& state) {
  tw::FakeEventLoop loop;
  tw::TL2 link(loop);
  std::int64_t frames = 0;
  link.OnData = [&](tw::TL2&, int, const std::string&, const std::string&, std::uint8_t, const std::string& data) {
    ++frames;
    benchmark::DoNotOptimize(data.data());
  };
  link.SetAddress("127.0.0.1");
  link.SetCallSign(kOwn);
  link.SetActive(true);
  loop.clientSockets.at(0)->CompleteConnect();
  for (auto _ : state) loop.clientSockets.at(0)->Receive(DataStream().bytes);
  Finish(state, frames);
}
BENCHMARK(BM_Link_OnData)->MinTime(1.0);

void BM_Component_OnAX25Receive(benchmark::State& state) {
  tw::FakeEventLoop loop;
  tw::TVOKAPI api(loop);
  std::int64_t frames = 0;
  api.OnData = [](int, const std::string&, const std::string&, int, const std::string& data) {
    benchmark::DoNotOptimize(data.data());
  };
  api.OnAX25Receive = [&](int, const std::string& data) {
    ++frames;
    benchmark::DoNotOptimize(data.data());
  };
  api.SetCallSign(kOwn);
  api.SetActive(true);
  api.SetAX25(true);
  tw::FakeClientSocket& socket = *loop.clientSockets.at(0);
  socket.CompleteConnect();
  std::string version(8, '\0');
  version[0] = 1;
  socket.Receive(tw::EncodeFrame(1, 0, 'R', "", "", version));
  // Ten channels, the busy one last: the table is searched as a bridge's is.
  for (int n = 0; n < 9; ++n) {
    socket.Receive(tw::EncodeFrame(1, 0, 'C', "N0OTH-" + std::to_string(n), kOwn, "*** CONNECTED With\r"));
  }
  socket.Receive(tw::EncodeFrame(1, 0, 'C', kRemote, kOwn, "*** CONNECTED With Station N0TEST-5\r"));
  if (api.ChannelCount() != 10) state.SkipWithError("channels not up");
  for (auto _ : state) socket.Receive(DataStream().bytes);
  Finish(state, frames);
}
BENCHMARK(BM_Component_OnAX25Receive)->MinTime(1.0);

// Keeps each case's frame rate for the ratio printed at the end.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      // With repetitions, the median stands for the case.
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      auto counter = run.counters.find("frames_per_s");
      if (counter != run.counters.end()) rates[run.run_name.str()] = counter->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> rates;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  const double link = reporter.rates["BM_Link_OnData/min_time:1.000"];
  const double component = reporter.rates["BM_Component_OnAX25Receive/min_time:1.000"];
  if (link > 0 && component > 0) {
    std::printf("\nconnected data, frames of 200 bytes:\n");
    std::printf("  link OnData             %12.0f frames/s\n", link);
    std::printf("  component OnAX25Receive %12.0f frames/s\n", component);
    std::printf("  the component costs %.1f %% more time per frame (goal: under 20 %%)\n",
                (link / component - 1.0) * 100.0);
  }
  return 0;
}
