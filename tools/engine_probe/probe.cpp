#include "tools/engine_probe/probe.h"

#include "platform/text/text.h"

namespace tw {

namespace {

// Keeps a terminal sane: bytes outside printable ASCII appear as \xHH.
std::string Printable(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    auto b = static_cast<unsigned char>(ch);
    if (b >= 32 && b < 127) {
      out.push_back(ch);
    } else if (b == '\r') {
      out.append("\\r");
    } else {
      out.append("\\x").append(HexByte(b));
    }
  }
  return out;
}

}  // namespace

EngineProbe::EngineProbe(EventLoop& loop, ProbeOptions options, std::ostream& out)
    : loop_(loop), options_(std::move(options)), out_(out), link_(loop) {
  WireEvents();
}

EngineProbe::~EngineProbe() {
  link_.OnVOKDown = nullptr;
  link_.OnVOKError = nullptr;
}

void EngineProbe::Start() {
  link_.SetAddress(options_.host);
  link_.SetPort(options_.port);
  // The link needs a call-sign to open; one that is not registered is harmless.
  link_.SetCallSign(options_.registerCall.empty() ? "PROBE" : options_.registerCall);
  link_.Kiss = options_.raw;
  if (options_.monitor) link_.SetMonitor("IUSC");
  out_ << "Connecting to " << options_.host << ":" << options_.port << " ..." << std::endl;
  link_.SetActive(true);
  ArmTimer(options_.answerTimeoutMs);
}

void EngineProbe::WireEvents() {
  link_.OnVOKUp = [this](TL2& link) {
    connected_ = true;
    out_ << "Connected." << std::endl;
    if (!options_.registerCall.empty()) link.VOKRegister(options_.registerCall);
  };
  link_.OnVOKError = [this](TL2&) {
    if (connected_) {
      out_ << "ERROR connection to the engine lost" << std::endl;
      Finish(Outcome::Lost);
    } else {
      out_ << "ERROR cannot connect to the engine at " << options_.host << ":" << options_.port
           << " (refused or unreachable: is the engine running, and is this its AGW port?)" << std::endl;
      Finish(Outcome::Unreachable);
    }
  };
  link_.OnVOKDown = [this](TL2&) {
    out_ << "ERROR the engine closed the connection" << std::endl;
    Finish(Outcome::Lost);
  };
  link_.OnVersion = [this](TL2&, int major, int minor) {
    versionSeen_ = true;
    out_ << "Engine version " << major << "." << minor << std::endl;
    if (!reported_) ArmTimer(options_.settleMs);
  };
  link_.OnPort = [this](TL2&) {
    portsSeen_ = true;
    if (!reported_) ArmTimer(options_.settleMs);
  };
  auto settle = [this] {
    if (!reported_) ArmTimer(options_.settleMs);
  };
  link_.OnParameter = [settle](TL2&) { settle(); };
  link_.OnPortFrames = [this, settle](TL2&, int port, int count) {
    if (reported_) {
      out_ << "Port " << port << ": " << count << " frames outstanding" << std::endl;
    }
    settle();
  };
  link_.OnRead = [this, settle](TL2&, int port, std::uint8_t, char kind, const std::string&,
                                const std::string&, const std::string& data) {
    if (kind == 'H') settle();
    if (kind == 'U' || kind == 'I' || kind == 'S' || kind == 'T') {
      if (options_.monitor) PrintMonitored(kind, data);
    } else if (kind == 'K' && options_.raw) {
      PrintRaw(port, data);
    }
  };
  link_.OnRegister = [this](TL2&, const std::string& call, const std::string& data) {
    bool accepted = !data.empty() && data[0] == 1;
    out_ << "Registration of " << call << ": " << (accepted ? "accepted" : "refused") << std::endl;
  };
}

void EngineProbe::ArmTimer(unsigned ms) {
  if (!timer_) {
    timer_ = loop_.NewTimer();
    timer_->SetHandler([this] { TimerFired(); });
  }
  timer_->SetEnabled(false);
  timer_->SetInterval(ms);
  timer_->SetEnabled(true);
}

void EngineProbe::TimerFired() {
  timer_->SetEnabled(false);
  if (outcome_ != Outcome::Running || reported_) return;
  if (!connected_) {
    out_ << "ERROR no connection to " << options_.host << ":" << options_.port << " after "
         << options_.answerTimeoutMs / 1000.0 << " s" << std::endl;
    Finish(Outcome::Unreachable);
    return;
  }
  if (!versionSeen_ && !portsSeen_) {
    out_ << "ERROR the engine at " << options_.host << ":" << options_.port
         << " accepted the connection but did not answer within " << options_.answerTimeoutMs / 1000.0
         << " s (is this really a packet engine's AGW port?)" << std::endl;
    Finish(Outcome::Silent);
    return;
  }
  PrintReport();
  reported_ = true;
  if (options_.monitor || options_.raw) {
    out_ << "Monitoring; press Ctrl-C to stop." << std::endl;
  } else {
    Finish(Outcome::Done);
  }
}

void EngineProbe::PrintReport() {
  if (!versionSeen_) out_ << "Engine version: no answer" << std::endl;
  if (!portsSeen_) {
    out_ << "Ports: no answer" << std::endl;
    return;
  }
  out_ << "Ports: " << link_.PortMax() << std::endl;
  for (int n = 1; n <= link_.PortMax(); ++n) {
    const PortInfo* p = link_.PortRecord(n);
    if (p == nullptr) continue;
    out_ << "  Port " << n << ": " << Printable(p->portName)
         << (link_.LoopBack() && link_.LoopBackPort() == n ? "  [loop-back]" : "") << std::endl;
    out_ << "    baud " << int{p->onAirBaud} << ", traffic " << int{p->trafficLevel} << ", txdelay "
         << int{p->txDelay} << ", txtail " << int{p->txTail} << ", persist " << int{p->persist}
         << ", slottime " << int{p->slotTime} << ", maxframe " << int{p->maxFrame} << ", channels "
         << int{p->ax25Channel} << ", bytes " << p->howManyBytes << std::endl;
    out_ << "    frames outstanding: " << p->frames << std::endl;
    bool any = false;
    for (const std::string& line : p->heard) {
      if (line.empty()) continue;
      if (!any) out_ << "    heard:" << std::endl;
      any = true;
      out_ << "      " << Printable(line) << std::endl;
    }
    if (!any) out_ << "    heard: none reported" << std::endl;
  }
}

void EngineProbe::PrintMonitored(char kind, const std::string& data) {
  MonitorHeader h;
  link_.GetHeader(data, h);
  out_ << "monitor[" << kind << "] " << Printable(data.substr(0, data.find('\r'))) << std::endl;
  if ((h.type == "UI" || h.type == "I") && h.info != "\r") {
    out_ << "    info: " << Printable(h.info) << std::endl;
  }
}

void EngineProbe::PrintRaw(int port, const std::string& data) {
  KissFrame f = link_.KissDecode(data);
  out_ << "raw port " << port << ": " << f.source << " > " << f.destination;
  if (!f.via.empty()) out_ << " via " << f.via;
  out_ << " <" << (f.type.empty() ? "?" : f.type) << (f.pollFinal ? " P/F" : "") << " N(R)="
       << int{f.nr} << " N(S)=" << int{f.ns} << " pid=" << HexByte(f.pid) << " len=" << f.infoLength
       << ">";
  if (!f.info.empty()) out_ << " " << Printable(f.info);
  out_ << std::endl;
}

void EngineProbe::Finish(Outcome outcome) {
  if (outcome_ != Outcome::Running) return;
  outcome_ = outcome;
  if (timer_) timer_->SetEnabled(false);
  if (OnFinished) OnFinished(outcome);
}

}  // namespace tw
