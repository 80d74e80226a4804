// TVOKAPI: what the component does with each notification of the link
// layer, the beacon and the digipeater. Plain events come first; the channel
// table is updated after the handler returned.
#include "control/component/vokapi.h"
#include "control/component/vokapi_raise.h"
#include "platform/text/text.h"

namespace tw {

namespace {

void LogPortFromTo(TVOKAPI& component, std::string_view tag, int port, const std::string& from,
                   const std::string& to) {
  component.LogLine(4, [&] { return Cat("{VOK} <", tag, "> Port(", port, ") From(", from, ") To(", to, ")"); });
}

}  // namespace

void TVOKAPI::HandleConnect(int port, const Text& from, const Text& to, const Text& message) {
  LogLine(3, "{VOK} <OnConnect>");
  LogPortFromTo(*this, "OnConnect", port, from, to);
  LogLine(4, [&] { return Cat("{VOK} <OnConnect> Message(", message, ")"); });
  LogHex(5, message);
  Raise("OnConnect", OnConnect, port, from, to, message);
  if (ax25Open_) AX25Conn(port, from, to);
}

void TVOKAPI::HandleDisconnect(int port, const Text& from, const Text& to, const Text& message) {
  LogLine(3, "{VOK} <OnDisconnect>");
  LogPortFromTo(*this, "OnDisconnect", port, from, to);
  LogHex(5, message);
  if (Contains(UpperText(message), "RETRYOUT")) {
    Raise("OnRetryOut", OnRetryOut, port, from, to, message);
  } else {
    Raise("OnDisconnect", OnDisconnect, port, from, to, message);
  }
  if (ax25Open_) AX25Disc(port, from, to);
}

void TVOKAPI::HandleData(int port, const Text& from, const Text& to, std::uint8_t pid, const Text& data) {
  LogLine(3, "{VOK} <OnData>");
  LogPortFromTo(*this, "OnData", port, from, to);
  LogLine(4, [&] { return Cat("{VOK} <OnData> Pid(", int{pid}, ")"); });
  LogHex(5, data);
  Raise("OnData", OnData, port, from, to, int{pid}, data);
  if (ax25Open_) AX25Get(port, from, to, data);
}

void TVOKAPI::HandleUnproto(int port, const Text& from, const Text& to, std::uint8_t pid, const Text& data) {
  LogLine(3, "{VOK} <OnUnproto>");
  LogPortFromTo(*this, "OnUnproto", port, from, to);
  LogLine(4, [&] { return Cat("{VOK} <OnUnProto> Pid(", int{pid}, ")"); });
  LogHex(5, data);
  Raise("OnUnproto", OnUnproto, port, from, to, int{pid}, data);
}

void TVOKAPI::HandleMonitor(TL2& link, int port, const Text& from, const Text& to, std::uint8_t pid,
                            const Text& text) {
  LogLine(3, "{VOK} <OnMonitor>");
  LogPortFromTo(*this, "OnMonitor", port, from, to);
  LogLine(4, [&] { return Cat("{VOK} <OnMonitor> Pid(", int{pid}, ")"); });
  LogHex(5, text);
  Raise("OnMonitor", OnMonitor, port, from, to, int{pid}, text);
  if (!OnMonitorData) return;
  MonitorHeader h;
  link.GetHeader(text, h);
  // The frame's own port, one-based like OnMonitor's; the text's port
  // field counts from 0.
  Raise("OnMonitorData", OnMonitorData, port, h.source, h.destination, h.via, h.type, h.pid, h.nr, h.ns,
        h.info);
}

void TVOKAPI::HandleRaw(TL2& link, int port, const Text& frame) {
  LogLine(3, "{VOK} <OnRaw>");
  LogLine(4, [&] { return Cat("{VOK} <OnRaw> Port(", port, ")"); });
  LogHex(5, frame);
  Raise("OnRaw", OnRaw, port, frame);
  if (!OnRawDecode) return;
  KissFrame k = link.KissDecode(frame);
  Raise("OnRawDecode", OnRawDecode, port, k.source, k.destination, k.via, k.type, int{k.nr}, int{k.ns},
        k.pollFinal, int{k.pid}, k.info);
}

void TVOKAPI::HandleRead(int port, std::uint8_t pid, char kind, const Text& from, const Text& to,
                         const Text& data) {
  LogLine(2, "{VOK} <OnRead>");
  LogLine(3, [&] { return Cat("{VOK} <OnRead> Port(", port, ") From(", from, ") To(", to, ") Pid(", int{pid}, ")"); });
  LogHex(5, data);
  if (!active_) {
    LogLine(1, "{VOK} <OnRead> L2 Object not Active");
    return;
  }
  if (!link_) {
    LogLine(1, "{VOK} <OnRead> L2 Object not Allocated");
    return;
  }
  Raise("OnRead", OnRead, port, int{pid}, Text(1, kind), from, to, data);
}

void TVOKAPI::HandleRegister(const Text& call, const Text& reply) {
  LogLine(3, "{VOK} <OnRegister>");
  if (reply.empty()) return;
  // The call is registered on every port, and every port answers: the
  // container hears one answer, success as soon as one port accepted the
  // call, a refusal once every port has refused it.
  for (const Text& reported : reportedCalls_) {
    if (SameStation(reported, call)) return;
  }
  const bool accepted = reply[0] == 1;
  int* awaited = AwaitedAnswers(call);
  if (awaited != nullptr && --*awaited > 0 && !accepted) {
    LogLine(3, [&] {
      return Cat("{VOK} <OnRegister> Call(", call, ") refused on one port, ", *awaited, " to answer");
    });
    return;
  }
  std::erase_if(awaitedAnswers_, [&](const auto& entry) { return SameStation(entry.first, call); });
  reportedCalls_.push_back(call);
  Raise("OnRegister", OnRegister, call, accepted);
}

void TVOKAPI::HandlePortFrames(int port, int count) {
  LogLine(3, [&] { return Cat("{VOK} <OnPort> Port(", port, ")"); });
  LogLine(4, [&] { return Cat("{VOK} <OnPort> Frames(", count, ")"); });
  portInfo_ = true;
  loopBack_ = link_->LoopBack();
  loopBackPort_ = link_->LoopBackPort();
  portMax_ = link_->PortMax();
  if (port == portMax_) Raise("OnPort", OnPort);
  if (beacon_ && beaconObject_ && !beaconObject_->Active()) beaconObject_->SetActive(true);
  if (digi_ && digiObject_ && !digiObject_->Active()) digiObject_->SetActive(true);
}

void TVOKAPI::HandleBeacon(int port, const Text& from, const Text& to, const Text& via, const Text& message) {
  LogLine(2, "{VOK} <OnBeacon>");
  LogLine(3, [&] { return Cat("{VOK} <OnBeacon> Port(", port, ") From(", from, ") To(", to, ") Via(", via, ")"); });
  LogHex(5, message);
  if (!link_) {
    LogLine(1, "{VOK} <OnBeacon> L2 Object not Allocated");
    return;
  }
  if (!beacon_) {
    LogLine(1, "{VOK} <OnBeacon> Beacon not enabled");
    return;
  }
  if (!beaconObject_) {
    LogLine(1, "{VOK} <OnBeacon> Beacon Object not allocated");
    return;
  }
  Raise("OnBeacon", OnBeacon, port, from, to, via, message);
  if (beaconAuto_) BeaconPost(port, from, to, via, message);
}

void TVOKAPI::HandleDigi(int port, const Text& from, const Text& to, const Text& digiCall, const Text& data) {
  LogLine(2, "{VOK} <OnDigi>");
  LogLine(3, [&] { return Cat("{VOK} <OnDigi> Port(", port, ") From(", from, ") To(", to, ") Digi(", digiCall, ")"); });
  LogHex(5, data);
  if (!link_) {
    LogLine(1, "{VOK} <OnDigi> L2 Object not Allocated");
    return;
  }
  if (!digi_) {
    LogLine(1, "{VOK} <OnDigi> Digi not enabled");
    return;
  }
  if (!digiObject_) {
    LogLine(1, "{VOK} <OnDigi> Digi Object not allocated");
    return;
  }
  Raise("OnDigi", OnDigi, port, from, to, digiCall, data);
  if (digiAuto_) DigiPost(port, from, to, data);
}

}  // namespace tw
