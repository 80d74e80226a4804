// Drives TVOKAPI with engine frames of every kind the link understands,
// spelled with fuzzer-chosen ports, calls and data, interleaved with the
// container's calls, timer ticks, posted tasks and the connection failing or
// closing. Every event handler also takes its next action from the input:
// it may send, disconnect, ask, close or reopen the table, switch the
// component off and on, or throw — the re-entry the component must survive.
// Invariants: channel ids are never reused, a channel's status is 1 or 4,
// no event is raised after destruction, and posted work drains.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>

#include "control/component/vokapi.h"
#include "control/link/frame_codec.h"
#include "fuzz/fuzz_check.h"
#include "platform/loop/fake_event_loop.h"

namespace {

using tw::fuzz::Require;

constexpr char kKinds[] = {'G', 'R', 'y', 'Y', 'X', 'x', 'C', 'd', 'D', 'U', 'I', 'S', 'T', 'K', 'H', 'g'};
constexpr const char* kCalls[] = {"N0CALL", "n0call", "N0CALL-0", "N0A", "N0B-3", "ECHO", "", "N0TOOLONGX"};
constexpr const char* kTexts[] = {
    "*** CONNECTED With Station ",       "*** CONNECTED To Station ",
    "*** DISCONNECTED From Station ",    "*** DISCONNECTED RETRYOUT With ",
    "2;Port1 a;Port2 LoopBack;",         " 1:Fm N0A To N0CALL <I R2 S5 pid=F0 Len=3 >\rabc\r",
    " 1:Fm N0A To N0B <SABME P=1 >\r",  "\x01",
};

struct Run {
  explicit Run(FuzzedDataProvider& input) : in(input) {}

  FuzzedDataProvider& in;
  tw::FakeEventLoop loop;
  std::set<int> seen;  // every id AX25Connect returned
  int depth = 0;
  bool destroyed = false;
  tw::TVOKAPI* api = nullptr;

  std::string Call() { return in.PickValueInArray(kCalls); }

  // One container call; handlers take theirs from here too.
  void Act(tw::TVOKAPI& c) {
    const int id = in.ConsumeIntegralInRange(0, 6);
    switch (in.ConsumeIntegralInRange(0, 11)) {
      case 0: {
        int got = c.AX25Connect(in.ConsumeIntegralInRange(0, 3), Call(), Call(), in.ConsumeRandomLengthString(20));
        // A nested connect (from a handler of this call's trace) may return
        // first, so ids need not come back in order; they must be new.
        if (got != 0) Require(seen.insert(got).second, "channel ids are never reused");
        break;
      }
      case 1: c.AX25Send(id, in.ConsumeRandomLengthString(600)); break;
      case 2: c.AX25Disconnect(id); break;
      case 3: {
        tw::LinkInfoResult info;
        if (c.AX25Info(id, info)) Require(info.iLinkStatus == 1 || info.iLinkStatus == 4, "status");
        break;
      }
      case 4: c.SetAX25(in.ConsumeBool()); break;
      case 5: c.SetActive(in.ConsumeBool()); break;
      case 6: c.VOKRegister(Call()); break;
      case 7: {
        tw::PortInfoResult info;
        c.GetPortInfo(in.ConsumeIntegralInRange(-1, 18), info);
        c.GetHeardInfo(in.ConsumeIntegralInRange(-1, 18), in.ConsumeIntegralInRange(0, 21));
        break;
      }
      case 8: c.SetDebug(in.ConsumeBool()); break;
      case 9: throw std::runtime_error("container handler failed");
      case 10: c.VOKUnRegister(Call()); break;
      default: break;
    }
  }

  void FromEvent() {
    Require(!destroyed, "no event after destruction");
    if (depth > 3 || in.remaining_bytes() == 0 || !in.ConsumeBool()) return;
    ++depth;
    struct Leave {
      int& depth;
      ~Leave() { --depth; }
    } leave{depth};
    Act(*api);
  }

  std::string Frame() {
    const char kind = in.PickValueInArray(kKinds);
    std::string data;
    if (in.ConsumeBool()) data = in.PickValueInArray(kTexts);
    data += in.ConsumeRandomLengthString(300);
    const std::string from = Call();
    const std::string to = Call();
    std::string frame(tw::kHeaderSize, '\0');
    tw::EncodeHeader(frame.data(), in.ConsumeIntegralInRange(1, 3), in.ConsumeIntegral<std::uint8_t>(), kind,
                     from.substr(0, 10), to.substr(0, 10), data.size());
    return frame + data;
  }
};

void Attach(Run& run, tw::TVOKAPI& api) {
  auto fromEvent = [&run](auto&&...) { run.FromEvent(); };
#define TW_ATTACH(name, dispid, parameters) api.name = fromEvent;
  VOKAPIX_EVENTS(TW_ATTACH, VOKAPIX_EVENT_SKIP)
#undef TW_ATTACH
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  Run run(in);
  {
    tw::TVOKAPI api(run.loop);
    run.api = &api;
    Attach(run, api);
    api.SetCallSign("N0CALL");
    api.SetMonitor(in.ConsumeBool());
    api.SetKiss(in.ConsumeBool());
    api.SetRegister(in.ConsumeBool());
    api.SetTrace(5);
    api.SetActive(true);
    api.SetAX25(true);
    tw::FakeClientSocket& socket = *run.loop.clientSockets.at(0);
    while (in.remaining_bytes() > 0) {
      try {
        switch (in.ConsumeIntegralInRange(0, 7)) {
          case 0:
          case 1:
          case 2: {
            if (!socket.Active()) break;
            std::string bytes = run.Frame();
            std::string_view rest = bytes;
            while (!rest.empty()) {
              std::size_t piece = in.ConsumeIntegralInRange<std::size_t>(1, rest.size());
              socket.Receive(rest.substr(0, piece));
              rest.remove_prefix(piece);
            }
            break;
          }
          case 3: run.Act(api); break;
          case 4:
            // Only the component's own timers exist (no poll, no beacon),
            // and they live as long as it does.
            if (!run.loop.timers.empty()) {
              run.loop.timers[in.ConsumeIntegralInRange<std::size_t>(0, run.loop.timers.size() - 1)]->Fire();
            }
            break;
          case 5: run.loop.RunPosted(); break;
          case 6:
            if (socket.Active()) {
              if (in.ConsumeBool()) {
                socket.Fail();
              } else {
                socket.PeerCloses();
              }
            }
            break;
          default:
            if (socket.Active()) socket.CompleteConnect();
            break;
        }
      } catch (const std::runtime_error&) {
        // A container call that failed on purpose, outside any event.
      }
      socket.writes.clear();
    }
    run.destroyed = true;
  }
  run.loop.RunPosted();
  Require(tw::TVOKAPI::PostedWork() == 0, "posted work drained");
  return 0;
}
