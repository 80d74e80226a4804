// TL2: what happens to each complete frame received from the engine.

#include "platform/text/text.h"
#include "control/link/tl2.h"

namespace tw {

namespace {

std::uint8_t ByteOr0(std::string_view data, std::size_t index) {
  return index < data.size() ? static_cast<std::uint8_t>(data[index]) : 0;
}

// The station named in an engine notice: what follows its fourth word
// ("*** CONNECTED With Station N0CALL"), up to the CR.
std::string StationOf(const std::string& text) {
  std::string rest = text;
  for (int i = 0; i < 4; ++i) NextWord(rest);
  return rest.substr(0, rest.find('\r'));
}

bool IsSupervisory(const std::string& type) { return type == "RR" || type == "RNR" || type == "REJ"; }

// SABME is how Dire Wolf opens a connection (AX.25 2.2).
bool IsLinkControl(const std::string& type) {
  return type == "SABM" || type == "SABME" || type == "UA" || type == "DISC" || type == "DM";
}

}  // namespace

void TL2::Decode(const Frame& frame) {
  const FrameHeader& h = frame.header;
  const std::string& data = frame.data;
  const int port = h.port;
  const char kind = h.kind;
  std::string callFrom;
  std::string callTo;

  bool announced = RunTrapped(
      log_,
      [&] {
        if (kind == 'K') {
          log_.LogLine(4, [&] {
            return Cat("{L2} Decode KISS Port(", port, ") Kind[", kind, "] Len(", h.length,
                       ") + RAW AX.25 Frame");
          });
        } else {
          int level = (kind == 'H' || kind == 'G' || kind == 'g') ? 5 : 4;
          log_.LogLine(level, [&] {
            return Cat("{L2} Decode Args Port(", port, ") Kind[", kind, "] {", HexByte(h.pid), "} <",
                       h.callFrom, "> <", h.callTo, "> Len(", h.length, ") + DATA");
          });
        }
        if (kind == 'I' || kind == 'S' || kind == 'T') {
          log_.LogLine(4, [&] { return Cat("VOKMessage <", kind, ">"); });
          log_.LogHex(5, data);
        }
        callFrom = UpperText(h.callFrom);
        callTo = UpperText(h.callTo);
        Raise(OnRead, port, h.pid, kind, callFrom, callTo, data);
      },
      "{L2} Exception on Module TL2.Decode (Initial)");
  if (!announced) return;

  auto frameTrap = [&](auto&& body) {
    return RunTrapped(log_, body, [&] { return Cat("{L2} Exception on Module TL2.Decode (Frame", kind, ")"); });
  };

  switch (kind) {
    case 'K':
      frameTrap([&] {
        log_.LogLine(5, "VOK Message <K>");
        log_.LogHex(5, data);
        Raise(OnRaw, port, data);
      });
      break;
    case 'H':
      frameTrap([&] {
        std::string words = callFrom;
        if (!NextWord(words).empty()) ParseHeard(port, data);
      });
      break;
    case 'g':
      frameTrap([&] {
        ParseParam(port, data);
        if (OnParameter) {
          log_.LogLine(4, "{L2} Fired Event <FOnParameter>");
          Raise(OnParameter);
        }
      });
      break;
    case 'G':
      frameTrap([&] {
        ParsePort(data);
        if (OnPort) {
          log_.LogLine(4, "{L2} Fired Event <FOnPort>");
          Raise(OnPort);
        }
      });
      break;
    case 'R':
      frameTrap([&] {
        if (data.size() < 8) return;
        versionMajor_ = ByteOr0(data, 0) + 256 * ByteOr0(data, 1);
        versionMinor_ = ByteOr0(data, 4) + 256 * ByteOr0(data, 5);
        if (OnVersion) {
          log_.LogLine(4, "{L2} Fired Event <FOnVersion>");
          Raise(OnVersion, versionMajor_, versionMinor_);
        }
      });
      break;
    case 'y':
      frameTrap([&] {
        if (data.size() < 4) return;
        int count = ByteOr0(data, 0) + 256 * ByteOr0(data, 1);
        if (port >= 1 && port <= kPortRecords) {
          WritablePort(port).frames = ByteOr0(data, 0);
        }
        if (OnPortFrames) {
          log_.LogLine(4, "{L2} Fired Event <FOnPortFrames>");
          Raise(OnPortFrames, port, count);
        }
      });
      break;
    case 'Y':
      frameTrap([&] {
        // The engine's count of frames it still holds for one link.
        if (data.size() < 4 || !OnLinkFrames) return;
        std::uint32_t count = ByteOr0(data, 0) | (std::uint32_t{ByteOr0(data, 1)} << 8) |
                              (std::uint32_t{ByteOr0(data, 2)} << 16) |
                              (std::uint32_t{ByteOr0(data, 3)} << 24);
        log_.LogLine(4, "{L2} Fired Event <FOnLinkFrames>");
        Raise(OnLinkFrames, port, callFrom, callTo, count);
      });
      break;
    case 'X':
    case 'x':
      frameTrap([&] {
        const bool registering = kind == 'X';
        const TOnRegister& event = registering ? OnRegister : OnUnRegister;
        const std::uint64_t session = session_;
        if (event) Raise(event, callFrom, data);
        // A handler that ended the connection also ended the registration.
        if (session != session_) return;
        if (data.empty()) {
          // A reply without its answer byte says nothing about the state.
          log_.LogLine(1, [&] { return Cat("{L2} Exception on Module TL2.Decode (Frame", kind, ")"); });
          return;
        }
        // Only the own call's registration is the link's: an alias the
        // owner registered must not stand in for it.
        if (!SameStation(callFrom, callSign_)) return;
        bool accepted = data[0] == 1;
        registered_ = registering ? accepted : !accepted;
      });
      break;
    case 'C':
      frameTrap([&] { DecodeConnect(frame, data.substr(0, data.find('\r')), callFrom, callTo); });
      break;
    case 'd':
      frameTrap([&] { DecodeDisconnect(frame, data.substr(0, data.find('\r')), callFrom, callTo); });
      break;
    case 'D':
      if (!frameTrap([&] {
            if (!OnData) return;
            log_.LogLine(4, "{L2} About to convert cPid <FOnData>");
            const char pidByte = static_cast<char>(h.pid);
            log_.LogHex(4, std::string_view(&pidByte, 1));
            log_.LogLine(4, "{L2} Fired Event <FOnData>");
            Raise(OnData, port, callFrom, callTo, h.pid, data);
          })) {
        log_.LogLine(1, [&] { return Cat("{L2} szFrom=", callFrom, " szTo=", callTo, " Data=", data); });
      }
      break;
    case 'U':
      DecodeUnproto(frame);
      break;
    case 'T':
    case 'S':
    case 'I':
      RunTrapped(log_, [&] { DecodeMonitored(frame, callFrom, callTo); },
                 [&] { return Cat("{L2} Exception on Module TL2.Decode (FrameTSI) Kind{", kind, "}"); });
      break;
    default:
      break;
  }
}

void TL2::DecodeConnect(const Frame& frame, const std::string& line, const std::string& callFrom,
                        const std::string& callTo) {
  const int port = frame.header.port;
  const std::string& text = frame.data;
  auto announce = [&](const TOnStation& event, std::string_view what, std::string_view eventName) {
    log_.LogLine(4, [&] { return Cat("{L2} Connect (", what, ") String->", text); });
    std::string station = StationOf(text);
    if (event) {
      log_.LogLine(4, [&] { return Cat("{L2} Fired Event <", eventName, ">"); });
      Raise(event, port, station, line);
    }
    Raise(OnStationConnect, port, station, line);
    Raise(OnConnect, port, callFrom, callTo, line);
  };
  if (Contains(text, "CONNECTED To")) announce(OnHisConnect, "his", "FOnHisConnect");
  if (Contains(text, "CONNECTED With")) announce(OnMyConnect, "my", "FOnMyConnect");
}

void TL2::DecodeDisconnect(const Frame& frame, const std::string& line, const std::string& callFrom,
                           const std::string& callTo) {
  const int port = frame.header.port;
  const std::string& text = frame.data;
  if (!Contains(text, "DISCONNECTED")) return;

  const TOnStation* event = nullptr;
  std::string_view eventName;
  std::string station;
  if (Contains(text, "RETRYOUT")) {
    log_.LogLine(4, [&] { return Cat("{L2} Disconnect (retryout) String->", text); });
    station = StationOf(text);
    event = &OnRetryOut;
    eventName = "FOnRetryOut";
  } else if (Contains(text, "From")) {
    log_.LogLine(4, [&] { return Cat("{L2} Disconnect (his) String->", text); });
    station = StationOf(text);
    log_.LogHex(4, station);
    event = &OnHisDisconnect;
    eventName = "FOnHisDisconnect";
  } else if (Contains(text, "With")) {
    log_.LogLine(4, [&] { return Cat("{L2} Disconnect (my) String->", text); });
    station = callTo;
    event = &OnMyDisconnect;
    eventName = "FOnMyDisconnect";
  } else {
    return;
  }
  if (*event) {
    log_.LogLine(4, [&] { return Cat("{L2} Fired Event <", eventName, ">"); });
    Raise(*event, port, station, line);
  }
  if (OnStationDisconnect) {
    log_.LogLine(4, "{L2} Fired Event <FOnRetryOut>");
    Raise(OnStationDisconnect, port, station, line);
  }
  Raise(OnDisconnect, port, callFrom, callTo, line);
}

void TL2::DecodeUnproto(const Frame& frame) {
  MonitorHeader h;
  if (!RunTrapped(log_, [&] { GetHeader(frame.data, h); },
                  "{L2} Exception on Module TL2.Decode.FrameU(GetHeader)")) {
    return;
  }
  std::uint8_t pid = 0;
  if (!RunTrapped(log_, [&] { pid = HexToByte(h.pid); },
                  "{L2} Exception on Module TL2.Decode.FrameU(bPid<-)")) {
    return;
  }
  RunTrapped(
      log_,
      [&] {
        if (!OnDataUI) return;
        log_.LogLine(4, "{L2} Fired Event <FOnDataUI>");
        Raise(OnDataUI, frame.header.port, h.source, h.destination, pid, h.info);
      },
      "{L2} Exception on Module TL2.Decode.FrameU(OnDataUI Event)");
}

void TL2::DecodeMonitored(const Frame& frame, const std::string& callFrom, const std::string& callTo) {
  MonitorHeader h;
  GetHeader(frame.data, h);
  const int port = frame.header.port;
  const char kind = frame.header.kind;
  auto wants = [&](char letter) { return monitorMask_.find(letter) != std::string::npos; };
  auto monitor = [&] {
    Raise(OnMonitor, port, callFrom, callTo, frame.header.pid, frame.data);
  };
  auto iFrame = [&] {
    monitor();
    if (OnIFrame) {
      log_.LogLine(4, "{L2} Fired Event <FOnIFrame>");
      Raise(OnIFrame, port, h.source, h.destination, h.via, h.type, h.pid, h.nr, h.ns, h.length, h.info);
    }
  };
  auto sFrame = [&](int nr) {
    monitor();
    if (OnSFrame) {
      log_.LogLine(4, "{L2} Fired Event <FOnSFrame>");
      Raise(OnSFrame, port, callFrom, callTo, h.via, h.type, nr);
    }
  };

  if (kind == 'I') {
    if (h.type == "I" && wants('I')) iFrame();
    return;
  }
  if (kind == 'S') {
    if ((IsSupervisory(h.type) || IsLinkControl(h.type)) && wants('S')) sFrame(h.nr);
    return;
  }
  // 'T': every kind of frame the engine saw.
  if (h.type == "I" && wants('I')) {
    iFrame();
    return;
  }
  if (h.type == "UI" && wants('U')) {
    monitor();
    if (OnUIFrame) {
      log_.LogLine(4, "{L2} Fired Event <FOnUIFrame>");
      Raise(OnUIFrame, port, h.source, h.destination, h.via, h.type, h.pid, h.length, h.info);
    }
  }
  if (IsSupervisory(h.type) && wants('S')) {
    sFrame(h.nr);
    return;
  }
  if (IsLinkControl(h.type) && wants('C')) sFrame(0);
}

}  // namespace tw
