// What the dispatch surface costs over the component it wraps: a property
// get (Port) and an AX25Send of a 64-byte line on a connected channel, each
// once through IDispatch::Invoke and once as the same call on the control's
// own TVOKAPI. The channel goes to the echo station of a loopback engine
// that runs as a child process; between batches the apartment's loop runs,
// outside the timing, to send what was queued and read the echo. No sink is
// connected, as for a container that listens to nothing. The ratios are
// printed after the run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "control/activex/vokapix_control.h"
#include "tests/activex/engine_process.h"

namespace {

constexpr int kBatch = 1024;  // sends between two runs of the loop
const std::string kLine(64, 'x');

struct Setup {
  IDispatch* control = nullptr;
  tw::TVOKAPI* api = nullptr;
  LONG channel = 0;
};
Setup setup;

// Lets the loop send what was queued and read the echo, so that neither
// side's queue grows from batch to batch.
void Drain() { TwLoopRunFor(1); }

HRESULT Invoke(DISPID id, WORD flags, VARIANT* args, UINT count, VARIANT* result) {
  DISPPARAMS params{args, nullptr, count, 0};
  return setup.control->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
}

void BM_PortGet_Invoke(benchmark::State& state) {
  VARIANT result;
  VariantInit(&result);
  for (auto _ : state) {
    Invoke(DISPID_VOKAPIX_Port, DISPATCH_PROPERTYGET, nullptr, 0, &result);
    benchmark::DoNotOptimize(result.lVal);
  }
}
BENCHMARK(BM_PortGet_Invoke);

void BM_PortGet_Component(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(setup.api->Port());
}
BENCHMARK(BM_PortGet_Component);

template <class Send>
void SendLines(benchmark::State& state, Send send) {
  int sent = 0;
  for (auto _ : state) {
    if (!send()) state.SkipWithError("AX25Send refused");
    if (++sent % kBatch == 0) {
      state.PauseTiming();
      Drain();
      state.ResumeTiming();
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kLine.size()));
}

void BM_AX25Send_Invoke(benchmark::State& state) {
  VARIANT args[2];  // right to left
  VariantInit(&args[0]);
  VariantInit(&args[1]);
  args[0].vt = VT_BSTR;
  args[0].bstrVal = TwBstrFromBytes(kLine.data(), static_cast<UINT>(kLine.size()));
  args[1].vt = VT_I4;
  args[1].lVal = setup.channel;
  VARIANT result;
  VariantInit(&result);
  SendLines(state, [&] {
    return Invoke(DISPID_VOKAPIX_AX25Send, DISPATCH_METHOD, args, 2, &result) == S_OK && result.boolVal != 0;
  });
  SysFreeString(args[0].bstrVal);
}
BENCHMARK(BM_AX25Send_Invoke);

void BM_AX25Send_Component(benchmark::State& state) {
  SendLines(state, [] { return setup.api->AX25Send(setup.channel, kLine); });
}
BENCHMARK(BM_AX25Send_Component);

// Activates the control and connects a channel to the echo station.
bool Connect(int enginePort) {
  tw::TVOKAPI& api = *setup.api;
  api.SetPort(enginePort);
  api.SetCallSign("N0CALL");
  api.SetActive(true);
  api.SetAX25(true);
  auto until = [](auto done) { return tw::com::RunUntil(done, std::chrono::seconds(20)) == S_OK; };
  if (!until([&] { return api.VOKVersion() != "0.0"; })) return false;
  setup.channel = api.AX25Connect(1, "N0CALL", "ECHO", "");
  return until([&] {
    tw::LinkInfoResult info;
    return api.AX25Info(setup.channel, info) && info.iLinkStatus == 4;
  });
}

// Keeps each case's time per call for the ratios printed at the end.
class TimeReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) nanoseconds[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> nanoseconds;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  tw::activex::testing::EngineProcess engine;
  const int enginePort = static_cast<int>(engine.Port());
  int status = 1;
  auto* control = static_cast<tw::activex::TVOKAPIX*>(nullptr);
  if (enginePort != 0 && tw::activex::TVOKAPIX::Create(IID_IVOKAPIX, reinterpret_cast<void**>(&control)) == S_OK) {
    setup.control = static_cast<IVOKAPIX*>(control);
    setup.api = &control->Component();
    if (Connect(enginePort)) {
      TimeReporter reporter;
      benchmark::RunSpecifiedBenchmarks(&reporter);
      auto ratio = [&](const char* what, const std::string& invoke, const std::string& direct) {
        const double a = reporter.nanoseconds[invoke];
        const double b = reporter.nanoseconds[direct];
        if (a > 0 && b > 0) {
          std::printf("  %-10s Invoke %8.1f ns, TVOKAPI %8.1f ns: Invoke takes %.1f times as long\n", what, a, b, a / b);
        }
      };
      std::printf("\nthrough IDispatch::Invoke against TVOKAPI directly, per call:\n");
      ratio("Port get", "BM_PortGet_Invoke", "BM_PortGet_Component");
      ratio("AX25Send", "BM_AX25Send_Invoke", "BM_AX25Send_Component");
      status = 0;
    } else {
      std::fprintf(stderr, "no channel to the echo station\n");
    }
    setup.control->Release();
  }
  engine.Kill();
  TwLoopRunOnce();
  CoUninitialize();
  benchmark::Shutdown();
  return status;
}
