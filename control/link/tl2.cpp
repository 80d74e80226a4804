// TL2: settings, opening and closing the connection, the send path and the
// receive path.
#include "control/link/tl2.h"

#include "platform/text/text.h"
#include "control/link/tl2_trap.h"

namespace tw {

TL2::TL2(EventLoop& loop) : loop_(loop), socket_(loop.NewClientSocket()) {
  socket_->SetHandlers({
      .connected = [this] { VOKConnect(); },
      .disconnected = [this] { VOKDisc(); },
      .error = [this](const std::string& description) { VOKError(description); },
      .read = [this](std::string_view bytes) { VOKRead(bytes); },
  });
}

TL2::~TL2() {
  pollTimer_.reset();
  // The link is going away: no notification may reach it any more.
  socket_->SetHandlers({});
  socket_->Close();
  log_.LogLine(1, "{L2} VOK Object Destroyed");
  if (OnDestroy) {
    RunTrapped(log_, [&] { Raise(OnDestroy); }, "{L2} Exception on module Destroy");
  }
}

void TL2::SetAddress(const std::string& address) {
  if (connected_) {
    log_.LogLine(1, "{L2} Error can not change the IP Address while active");
    return;
  }
  log_.LogLine(3, [&] { return Cat("{L2} Set Address ", address); });
  address_ = address;
}

void TL2::SetPort(int port) {
  if (connected_) {
    log_.LogLine(1, "{L2} Error can not change the TCP Port while active");
    return;
  }
  log_.LogLine(3, [&] { return Cat("{L2} Set TCP Port ", port); });
  // 0 keeps the previous port; so does a number no TCP port can have.
  if (port > 0 && port <= 65535) port_ = port;
}

void TL2::SetCallSign(const std::string& callSign) {
  if (connected_) {
    log_.LogLine(1, "{L2} Error can not change the callsign while active");
    return;
  }
  log_.LogLine(3, [&] { return Cat("{L2} Set CallSign ", callSign); });
  callSign_ = callSign;
}

void TL2::SetActive(bool active) {
  log_.LogLine(1, [&] { return Cat("{L2} L2 Listener Activation is (", callSign_, ":", BoolText(active), ")"); });
  // A connection attempt under way counts as open: switching off aborts it,
  // switching on again does not start a second attempt.
  if (active && !socket_->Active()) {
    Open();
  } else if (!active && socket_->Active()) {
    Close();
  }
}

void TL2::Open() {
  if (address_.empty()) {
    log_.LogLine(1, "{L2} ERROR No IP Address indicated, object creation aborted");
    return;
  }
  if (callSign_.empty()) {
    log_.LogLine(1, "{L2} ERROR No CallSign indicated, object creation aborted");
    return;
  }
  // A new connection replaces the old one, which is closed properly first.
  if (socket_->Active()) Close();
  portMax_ = kPortRecords;
  if (portsWritten_) {
    for (PortInfo& record : ports_) record = PortInfo{};
    portsWritten_ = false;
  }
  // Bytes of an earlier connection must never prefix this one's frames.
  EndSession();
  socket_->Connect(address_, static_cast<std::uint16_t>(port_));
  log_.LogLine(1, [&] {
    return Cat("{L2} VOK Object Opened ", socket_->RemoteHost(), ":", socket_->RemotePort());
  });
}

void TL2::Close() {
  pollTimer_.reset();
  log_.LogLine(1, [&] { return Cat("{L2} VOK Object Closed ", address_, ":", port_); });
  socket_->Close();
  EndSession();
}

const PortInfo* TL2::PortRecord(int port) const {
  if (port < 1 || port > kPortRecords) return nullptr;
  return &ports_[static_cast<std::size_t>(port - 1)];
}

PortInfo& TL2::WritablePort(int port) {
  portsWritten_ = true;
  return ports_[static_cast<std::size_t>(port - 1)];
}

void TL2::ConnectionEnded() {
  connected_ = false;
  // The engine forgets registrations with the connection; so do we, so that
  // the call-sign is registered again after a reconnection.
  registered_ = false;
  EndSession();
}

void TL2::EndSession() {
  reader_.Reset();
  ++session_;
}

void TL2::VOKConnect() {
  Trap("VOKConnect", [&] {
    log_.LogLine(1, "{L2} Connected with VOKPE");
    connected_ = true;
    if (OnVOKUp) {
      log_.LogLine(4, "{L2} Fired Event <FOnVOKUp>");
      Raise(OnVOKUp);
    }
    Write(0, 0, 'G', "", "", "");
    Write(0, 0, 'R', "", "", "");
    if (Kiss) Write(0, 0, 'k', "", "", "");
    if (MonitorWanted(monitorMask_)) Write(0, 0, 'm', "", "", "");
  });
}

void TL2::VOKDisc() {
  Trap("VOKDisc", [&] {
    log_.LogLine(1, "{L2} Disconnected from VOKPE");
    ConnectionEnded();
    if (OnVOKDown) {
      log_.LogLine(4, "{L2} Fired Event <FOnVOKDown>");
      Raise(OnVOKDown);
    }
  });
}

void TL2::VOKError(const std::string& description) {
  Trap("VOKError", [&] {
    log_.LogLine(1, "{L2} <VOKError> Socket Error from VOKPE");
    log_.LogLine(2, [&] { return Cat("{L2} <VOKError> ", description); });
    ConnectionEnded();
    if (OnVOKError) {
      log_.LogLine(4, "{L2} Fired Event <FOnVOKError>");
      Raise(OnVOKError);
    }
  });
}

void TL2::VOKRead(std::string_view bytes) {
  Trap("VOKRead", [&] {
    log_.LogLine(4, "{L2} Read from VOKPE Socket ");
    log_.LogHex(5, bytes);
    if (!bytes.empty()) Store(bytes);
  });
}

void TL2::Store(std::string_view bytes) {
  Trap("Store", [&] {
    reader_.Append(bytes);
    // Decode may end the connection (and even open a new one), which
    // empties the reader: nothing more of this read is decoded then.
    const std::uint64_t session = session_;
    while (session == session_) {
      auto frame = reader_.Next();
      if (!frame) break;
      Decode(*frame);
    }
  });
}

bool TL2::Write(int port, std::uint8_t pid, char kind, std::string_view callFrom,
                std::string_view callTo, std::string_view data) {
  bool sent = false;
  Trap("Write", [&] {
    // While the connection is still being made nothing may go ahead of the
    // start-up requests that follow it.
    if (!connected_ || !socket_->Active()) {
      log_.LogLine(2, "{L2} L2 Frame not sent because there is no TCP/IP connection with VOKPE");
      return;
    }
    if (!CanEncode(kind, data.size())) {
      // Its length would not fit the header and the engine would lose track
      // of the stream.
      log_.LogLine(1, [&] { return Cat("{L2} <L2 Send> Frame <K> too long Len(", data.size(), "), not sent"); });
      return;
    }
    log_.LogLine(4, [&] {
      return Cat("{L2} <L2 Send> Port(", port, ") DK[", kind, "] Pid(", pid, ") From(", callFrom,
                 ") To(", callTo, ") DK[", kind, "] Len(", data.size(), ") using object(",
                 callSign_, ")");
    });
    log_.LogHex(5, data);
    Send(port, pid, kind, callFrom, callTo, data);
    sent = true;
  });
  return sent;
}

void TL2::Send(int port, std::uint8_t pid, char kind, std::string_view callFrom,
               std::string_view callTo, std::string_view data) {
  Trap("Send", [&] {
    std::size_t remaining = data.size();
    // Every call reaches the engine as the air writes it: the engine
    // compares the texts, and "N0CALL-0" would never meet "N0CALL".
    EncodeFrames(port, pid, kind, BareCall(callFrom), BareCall(callTo), data, [&](std::string_view frame) {
      std::size_t carried = frame.size() - kHeaderSize;
      log_.LogLine(4, [&] { return Cat("{L2} Send Frame Header iLen(", remaining, ")"); });
      log_.LogHex(5, frame);
      if (remaining == 0) {
        log_.LogLine(4, "{L2} Sent NUL length frame");
      } else if (carried == remaining) {
        log_.LogLine(4, "{L2} Entered condition iLen<=DWORD(MAXFRAME-1) <SENT> or Frame <K>");
      } else {
        log_.LogLine(4, "{L2} Frame Split <SENT>");
      }
      SendVOK(frame);
      remaining -= carried;
    });
  });
}

void TL2::SendVOK(std::string_view bytes) {
  Trap("SendVOK", [&] {
    if (socket_->Active()) {
      socket_->Write(bytes);
    } else {
      log_.LogLine(1, "{L2} ERROR attempt to send to VOKPE with no active connection");
    }
  });
}

void TL2::PollTick() {
  if (pollTimer_) pollTimer_->SetEnabled(false);
  Write(0, 0, 'G', "", "", "");
}

}  // namespace tw
