// Drives the whole receive path of the engine link: bytes arrive in pieces
// of any size on a connected link, are cut into frames and dispatched by
// kind, with every event assigned. Built with TW_FUZZ_TRACE (the target
// fuzz_tl2_trace) the link's trace is on at its highest level for every
// input; without it the trace is off, since formatting and dumping every
// frame took most of each run, and inputs that switched it on for a share of
// runs filled the corpus with twins of the same paths.
// Besides raw bytes the input can spell out well-formed frames of the kinds
// the link understands, so that the fuzzer reaches the text parsers quickly,
// and can drop and reopen the connection or fire the poll timer in between.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "control/link/frame_codec.h"
#include "control/link/monitor_text.h"
#include "control/link/tl2.h"
#include "fuzz/fuzz_check.h"
#include "platform/loop/fake_event_loop.h"

namespace {

using tw::fuzz::Require;

constexpr char kKinds[] = {'G', 'g', 'R', 'y', 'Y', 'H', 'X', 'x', 'C', 'd', 'D', 'U', 'I', 'S', 'T', 'K', 'Z'};

// Set when a handler ended the connection; no frame of the same read may be
// announced after that.
bool endedInThisRead = false;

// Texts that steer the parsers into their branches; the fuzzer mixes them
// with its own bytes.
constexpr const char* kTexts[] = {
    "3;Port1 Radio;Port2 LoopBack;Port3;",
    "40;",
    "*** CONNECTED With Station ",
    "*** CONNECTED To Station ",
    "*** DISCONNECTED RETRYOUT From ",
    "*** DISCONNECTED From Station ",
    "*** DISCONNECTED With ",
    " 1:Fm N0AAA To N0BBB Via R1,R2* <UI pid=F0 Len=5 >[12:00:00]\r",
    "10:Fm N0AAA To N0BBB <I R2 S5 p=CF w=12 >\r",
    "1:Fm A To B <RR P R3 >\r",
    "1:Fm A To B <SABM P>\r",
    " 1:Fm N0AAA To N0BBB <SABME P=1 >[06:46:09]\r",
    "1:Fm A To B <UI pid=CD >\r",
};

std::string Header(std::uint8_t portByte, char kind, std::uint8_t pid, std::string_view from,
                   std::string_view to, std::size_t length) {
  std::string h(tw::kHeaderSize, '\0');
  h[0] = static_cast<char>(portByte);
  h[4] = kind;
  h[6] = static_cast<char>(pid);
  h.replace(8, from.size() < 10 ? from.size() : 10, from.substr(0, 10));
  h.replace(18, to.size() < 10 ? to.size() : 10, to.substr(0, 10));
  h[28] = static_cast<char>(length & 0xFF);
  h[29] = static_cast<char>((length >> 8) & 0xFF);
  return h;
}

// A frame of a known kind whose data is one of the steering texts, some
// fuzzer bytes, or both.
std::string SpelledFrame(FuzzedDataProvider& in) {
  char kind = in.PickValueInArray(kKinds);
  auto portByte = in.ConsumeIntegral<std::uint8_t>();
  auto pid = in.ConsumeIntegral<std::uint8_t>();
  std::string from = in.ConsumeRandomLengthString(12);
  std::string to = in.ConsumeRandomLengthString(12);
  std::string data;
  if (in.ConsumeBool()) data = in.PickValueInArray(kTexts);
  data += in.ConsumeRandomLengthString(600);
  if (data.size() > 0xFFFF) data.resize(0xFFFF);
  return Header(portByte, kind, pid, from, to, data.size()) + data;
}

// Hands `bytes` to the socket in pieces whose sizes the input chooses.
void Deliver(FuzzedDataProvider& in, tw::FakeClientSocket& socket, std::string_view bytes) {
  while (!bytes.empty()) {
    std::size_t piece = in.ConsumeIntegralInRange<std::size_t>(1, bytes.size());
    endedInThisRead = false;
    socket.Receive(bytes.substr(0, piece));
    bytes.remove_prefix(piece);
  }
}

// The information is cut to 256 bytes before the PID shapes it; shaping a
// first line (PID CD or CC) may add the CR that ends it after the cut.
void CheckMonitorText(const std::string& source, const std::string& destination,
                      const std::string& info) {
  Require(info.size() <= 256 || (info.size() == 257 && info.back() == '\r'),
          "information cut to 256 bytes, and a CR the shaping adds");
  Require(source.find(' ') == std::string::npos && destination.find(' ') == std::string::npos,
          "calls are single words");
}

void CheckTable(tw::TL2& link) {
  Require(link.PortMax() >= 0 && link.PortMax() <= tw::kPortRecords, "PortMax within the table");
  Require(link.LoopBackPort() >= 0 && link.LoopBackPort() <= tw::kPortRecords,
          "loop-back port within the table");
  for (int port = 1; port <= tw::kPortRecords; ++port) {
    const tw::PortInfo* r = link.PortRecord(port);
    Require(r != nullptr, "every record reachable");
    Require(r->frames >= 0 && r->frames <= 255, "frames keep the low byte");
    Require(r->howManyBytes <= 0xFFFFFFu, "byte count of 24 bits");
  }
}

// Every event assigned; the handlers look at what they get, and some call
// back into the link as the component does.
void AssignEvents(tw::TL2& link, std::size_t& seen) {
  auto bytes = [&seen](const std::string& s) { seen += s.size(); };
  link.OnRead = [bytes](tw::TL2&, int, std::uint8_t, char, const std::string& from,
                        const std::string& to, const std::string& data) {
    Require(from.size() <= 10 && to.size() <= 10, "header calls fit their fields");
    Require(!endedInThisRead, "nothing of a read is decoded after its connection ended");
    bytes(data);
  };
  link.OnRaw = [bytes](tw::TL2& l, int port, const std::string& data) {
    bytes(data);
    l.KissDecode(data);
    (void)port;
  };
  link.OnPort = [](tw::TL2& l) { CheckTable(l); };
  link.OnParameter = [](tw::TL2& l) { CheckTable(l); };
  link.OnVersion = [](tw::TL2&, int major, int minor) {
    Require(major >= 0 && major <= 0xFFFF && minor >= 0 && minor <= 0xFFFF, "16-bit version");
  };
  link.OnPortFrames = [](tw::TL2&, int, int count) {
    Require(count >= 0 && count <= 0xFFFF, "16-bit frame count");
  };
  link.OnLinkFrames = [](tw::TL2&, int, const std::string& from, const std::string& to, std::uint32_t) {
    Require(from.size() <= 10 && to.size() <= 10, "header calls fit their fields");
  };
  // A container may give up from inside the event and end the connection.
  auto registration = [bytes](tw::TL2& l, const std::string& call, const std::string& data) {
    bytes(call);
    bytes(data);
    if (data.size() > 1) {
      l.Close();
      endedInThisRead = true;
      Require(!l.Connected() && !l.Registered(), "closing ends the state");
    }
  };
  link.OnRegister = registration;
  link.OnUnRegister = registration;
  auto station = [bytes](tw::TL2&, int, const std::string& s, const std::string& line) {
    Require(line.find('\r') == std::string::npos, "a notice's line ends before its CR");
    bytes(s);
  };
  link.OnHisConnect = station;
  link.OnMyConnect = station;
  link.OnStationConnect = station;
  link.OnRetryOut = station;
  link.OnHisDisconnect = station;
  link.OnMyDisconnect = station;
  link.OnStationDisconnect = station;
  auto calls = [bytes](tw::TL2&, int, const std::string& from, const std::string& to,
                       const std::string& line) {
    Require(line.find('\r') == std::string::npos, "a notice's line ends before its CR");
    bytes(from);
    bytes(to);
  };
  link.OnConnect = calls;
  link.OnDisconnect = calls;
  // Connected data is echoed, as a terminal program might, through the
  // send path with its split.
  link.OnData = [bytes](tw::TL2& l, int port, const std::string& from, const std::string& to,
                        std::uint8_t pid, const std::string& data) {
    bytes(data);
    l.SendData(port, pid, to, from, data);
  };
  link.OnDataUI = [](tw::TL2&, int, const std::string& source, const std::string& destination,
                     std::uint8_t, const std::string& info) {
    CheckMonitorText(source, destination, info);
  };
  link.OnMonitor = [bytes](tw::TL2&, int, const std::string&, const std::string&, std::uint8_t,
                           const std::string& data) { bytes(data); };
  link.OnIFrame = [](tw::TL2&, int, const std::string& source, const std::string& destination,
                     const std::string&, const std::string& type, const std::string&, int, int,
                     int length, const std::string& info) {
    Require(type == "I", "I frame event for I frames");
    Require(length >= 0, "length not negative");
    Require(!info.empty(), "I frame information at least a CR");
    CheckMonitorText(source, destination, info);
  };
  link.OnUIFrame = [](tw::TL2&, int, const std::string& source, const std::string& destination,
                      const std::string&, const std::string& type, const std::string&, int length,
                      const std::string& info) {
    Require(type == "UI", "UI frame event for UI frames");
    Require(length >= 0, "length not negative");
    CheckMonitorText(source, destination, info);
  };
  link.OnSFrame = [](tw::TL2&, int, const std::string&, const std::string&, const std::string&,
                     const std::string&, int nr) { Require(nr >= 0 && nr <= 9, "N(R) one digit"); };
  link.OnVOKUp = [](tw::TL2& l) { l.SetRegister(true); };
  link.OnVOKDown = [](tw::TL2&) {};
  link.OnVOKError = [](tw::TL2&) {};
  link.OnDestroy = [](tw::TL2&) {};
}

void Open(tw::TL2& link, tw::FakeClientSocket& socket) {
  link.SetActive(true);
  socket.CompleteConnect();
}

#ifdef TW_FUZZ_TRACE
constexpr bool kTrace = true;
#else
constexpr bool kTrace = false;
#endif

// The loop and the link live as long as the process: building them and
// assigning every event for each input took longer than most inputs' own
// work. Each input starts from a closed link with the settings it chooses;
// what an earlier connection leaves behind (version, loop-back port) is
// written again by the frames that report it and steers nothing on the
// receive path, so an input does alone what it does in a run. With the trace
// on, the link is also destroyed and built anew after each input, which is
// when the destruction has something to trace.
struct Rig {
  Rig() { Build(); }

  void Build() {
    loop.clientSockets.clear();
    link = std::make_unique<tw::TL2>(loop);
    socket = loop.clientSockets.at(0);
    link->Log().SetSink([this](const std::string& line) { logged += line.size(); });
    link->Log().SetSwitch(kTrace ? "YES" : "NOT");
    link->Log().SetLevel(kTrace ? 5 : 1);
    AssignEvents(*link, seen);
    link->SetAddress("127.0.0.1");
    link->SetCallSign("N0CALL");
  }

  // Back to a closed link with no poll timer and nothing recorded.
  void Reset(bool rebuild) {
    link->Close();
    Require(loop.liveTimers == 0, "the poll timer goes with the connection");
    if (rebuild) {
      link.reset();
      Require(loop.liveTimers == 0, "the poll timer goes with the link");
      Build();
    }
    loop.timers.clear();
    socket->writes.clear();
  }

  tw::FakeEventLoop loop;
  std::unique_ptr<tw::TL2> link;
  tw::FakeClientSocket* socket = nullptr;
  std::size_t seen = 0;
  std::size_t logged = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Rig rig;
  FuzzedDataProvider in(data, size);
  tw::FakeEventLoop& loop = rig.loop;
  tw::TL2& link = *rig.link;
  tw::FakeClientSocket& socket = *rig.socket;
  // Once the choice of the trace; still taken, so that inputs keep their
  // meaning in both targets and in corpora from before the split.
  (void)in.ConsumeIntegralInRange(0, 7);

  link.Poll = in.ConsumeBool();
  link.Kiss = in.ConsumeBool();
  constexpr const char* kMasks[] = {"N", "IUSC", "I", "U", "S", "C", "SC", "IU", "M"};
  link.SetMonitor(in.PickValueInArray(kMasks));
  Open(link, socket);

  while (in.remaining_bytes() > 0) {
    switch (in.ConsumeIntegralInRange(0, 7)) {
      case 0:
      case 1: {
        std::string bytes = in.ConsumeRandomLengthString(4096);
        Deliver(in, socket, bytes);
        break;
      }
      case 2:
      case 3: {
        // Up to four frames, which may arrive in one read.
        std::string frames = SpelledFrame(in);
        for (int more = 0; more < 3 && in.ConsumeBool(); ++more) frames += SpelledFrame(in);
        Deliver(in, socket, frames);
        break;
      }
      case 4:
        // The engine goes away, possibly in the middle of a frame.
        if (in.ConsumeBool()) {
          socket.PeerCloses();
        } else {
          socket.Fail();
        }
        Require(!link.Connected() && !link.Registered(), "state ends with the connection");
        Open(link, socket);
        break;
      case 5:
        // The link keeps at most one poll timer, the last one made.
        if (loop.liveTimers > 0) loop.timers.back()->Fire();
        break;
      case 6:
        link.SetMonitor(in.PickValueInArray(kMasks));
        break;
      case 7: {
        std::string text = in.ConsumeRandomLengthString(1024);
        tw::MonitorHeader h;
        link.GetHeader(text, h);
        CheckMonitorText(h.source, h.destination, h.info);
        break;
      }
    }
    CheckTable(link);
    if (!link.Connected()) Open(link, socket);
    // What the link wrote is whole frames; keep the record from growing.
    socket.writes.clear();
  }
  rig.Reset(kTrace);
  return 0;
}
