// TVOKAPI: the plain requests, by port and call-signs. Each reports whether
// its frame really went to the engine.
#include "control/component/vokapi.h"

#include <algorithm>

#include "platform/text/text.h"

namespace tw {

namespace {

std::uint8_t LowByte(int value) { return static_cast<std::uint8_t>(value & 0xFF); }

}  // namespace

// The checks every engine request makes before it goes to the link.
bool TVOKAPI::RequestAllowed(std::string_view tag) {
  if (!active_) {
    LogLine(1, [&] { return Cat("{VOK} <", tag, "> L2 Object not Active"); });
    return false;
  }
  if (!link_) {
    LogLine(1, [&] { return Cat("{VOK} <", tag, "> L2 Object not Allocated"); });
    return false;
  }
  return true;
}

bool TVOKAPI::Connect(int iPort, const Text& szFrom, const Text& szTo, const Text& szVIA, int bPid) {
  LogLine(2, "{VOK} <Connect>");
  LogLine(3, [&] { return Cat("{VOK} <Connect> Port(", iPort, ") From(", szFrom, ") To(", szTo, ") VIA(", szVIA, ")"); });
  LogLine(3, [&] { return Cat("{VOK} <Connect> Pid(", bPid, ")"); });
  if (!RequestAllowed("Connect")) return false;
  return link_->ConnectExt(iPort, LowByte(bPid), szFrom, szTo, szVIA);
}

bool TVOKAPI::Disconnect(int iPort, const Text& szFrom, const Text& szTo) {
  LogLine(2, "{VOK} <Disconnect>");
  LogLine(3, [&] { return Cat("{VOK} <Disconnect> Port(", iPort, ") From(", szFrom, ") To(", szTo, ")"); });
  if (!RequestAllowed("Disconnect")) return false;
  return link_->DisconnectExt(iPort, szFrom, szTo);
}

bool TVOKAPI::SendData(int iPort, int bPid, const Text& szFrom, const Text& szTo, const Text& szData) {
  LogLine(2, "{VOK} <SendData>");
  LogLine(3, [&] { return Cat("{VOK} <SendData> Port(", iPort, ") From(", szFrom, ") To(", szTo, ") Pid(", bPid, ")"); });
  LogHex(5, szData);
  if (!RequestAllowed("SendData")) return false;
  return link_->SendData(iPort, LowByte(bPid), szFrom, szTo, szData);
}

bool TVOKAPI::SendUnproto(int iPort, int bPid, const Text& szFrom, const Text& szTo, const Text& szVIA,
                          const Text& szData) {
  LogLine(2, "{VOK} <SendUnProto>");
  LogLine(3, [&] {
    return Cat("{VOK} <SendUnProto> Port(", iPort, ") From(", szFrom, ") To(", szTo, ") Pid(", bPid, ") VIA(", szVIA, ")");
  });
  LogHex(5, szData);
  if (!RequestAllowed("SendUnProto")) return false;
  return link_->SendUNPROTO(iPort, LowByte(bPid), szFrom, szTo, szVIA, szData);
}

bool TVOKAPI::SendRaw(int iPort, const Text& szData) {
  LogLine(2, "{VOK} <SendRaw>");
  LogLine(3, [&] { return Cat("{VOK} <SendRaw> Port(", iPort, ")"); });
  LogHex(5, szData);
  if (!RequestAllowed("SendRaw")) return false;
  return link_->SendKiss(iPort, szData);
}

void TVOKAPI::VOKRegister(const Text& szCall) {
  LogLine(2, "{VOK} <VOKRegister>");
  LogLine(3, [&] { return Cat("{VOK} <VOKRegister> Call(", szCall, ")"); });
  if (!RequestAllowed("VOKRegister")) return;
  RegisterEverywhere(szCall);
}

void TVOKAPI::VOKUnRegister(const Text& szCall) {
  LogLine(2, "{VOK} <VOKUnRegister>");
  LogLine(3, [&] { return Cat("{VOK} <VOKUnRegister> Call(", szCall, ")"); });
  if (!RequestAllowed("VOKUnRegister")) return;
  std::erase_if(registeredCalls_, [&](const Text& call) { return SameStation(call, szCall); });
  std::erase_if(reportedCalls_, [&](const Text& call) { return SameStation(call, szCall); });
  std::erase_if(awaitedAnswers_, [&](const auto& awaited) { return SameStation(awaited.first, szCall); });
  link_->VOKUnRegister(szCall);
  for (int port = 2; port <= link_->PortMax(); ++port) link_->Write(port, 0, 'x', szCall, "", "");
}

void TVOKAPI::RegisterEverywhere(const Text& call) {
  if (call.empty()) return;
  // A new request gets a new answer.
  std::erase_if(reportedCalls_, [&](const Text& reported) { return SameStation(reported, call); });
  bool known = false;
  for (const Text& registered : registeredCalls_) known = known || SameStation(registered, call);
  if (!known) registeredCalls_.push_back(call);
  // Every port answers; the ports listed later add theirs (HandlePortList).
  const int answers = 1 + (portList_ ? std::max(0, link_->PortMax() - 1) : 0);
  if (int* awaited = AwaitedAnswers(call)) {
    *awaited = answers;
  } else {
    awaitedAnswers_.emplace_back(call, answers);
  }
  // The engine keeps a registration per radio port: incoming connects on a
  // port reach only the calls registered there.
  link_->VOKRegister(call);
  if (portList_) RegisterOnOtherPorts(call);
}

int* TVOKAPI::AwaitedAnswers(const Text& call) {
  for (auto& awaited : awaitedAnswers_) {
    if (SameStation(awaited.first, call)) return &awaited.second;
  }
  return nullptr;
}

void TVOKAPI::RegisterOnOtherPorts(const Text& call) {
  for (int port = 2; port <= link_->PortMax(); ++port) link_->Write(port, 0, 'X', call, "", "");
}

void TVOKAPI::HandlePortList() {
  // The engine's first port list came after the registrations went out on
  // the first port; the other ports get them now. Later lists (the poll)
  // change nothing.
  if (portList_) return;
  portList_ = true;
  for (const Text& call : std::vector<Text>(registeredCalls_)) {
    if (int* awaited = AwaitedAnswers(call)) *awaited += std::max(0, link_->PortMax() - 1);
    RegisterOnOtherPorts(call);
  }
}

void TVOKAPI::VOKWrite(int iPort, int bPid, const Text& szDataKind, const Text& szFrom, const Text& szTo,
                       const Text& szData) {
  LogLine(2, "{VOK} <VOKWrite>");
  LogLine(3, [&] { return Cat("{VOK} <VOKWrite> Port(", iPort, ") From(", szFrom, ") To(", szTo, ") Pid(", bPid, ")"); });
  if (!RequestAllowed("VOKWrite")) return;
  if (szDataKind.empty()) {
    LogLine(1, "{VOK} <VOKWrite> Empty DataKind");
    return;
  }
  link_->Write(LowByte(iPort), LowByte(bPid), szDataKind[0], szFrom, szTo, szData);
}

bool TVOKAPI::GetPortInfo(int iPort, PortInfoResult& info) {
  LogLine(2, "{VOK} <GetPortInfo>");
  LogLine(3, [&] { return Cat("{VOK} <GetPortInfo> Port(", iPort, ")"); });
  if (!active_) {
    LogLine(1, "{VOK} <GetPortInfo> L2 Object not Active");
    return false;
  }
  if (!link_) {
    LogLine(1, "{VOK} <GetPortInfo> L2 Object not Allocated");
    return false;
  }
  if (!portInfo_) {
    LogLine(1, "{VOK} <GetPortInfo> Port Information not Available");
    return false;
  }
  // The link keeps records for 16 ports, whatever the engine announced.
  const PortInfo* record = iPort >= 1 && iPort <= portMax_ ? link_->PortRecord(iPort) : nullptr;
  if (record == nullptr) {
    LogLine(1, "{VOK} <GetPortInfo> Invalid Port Number");
    return false;
  }
  info.szPortName = record->portName;
  info.iOnAirBaud = record->onAirBaud;
  info.iTrafficLevel = record->trafficLevel;
  info.iTxDelay = record->txDelay;
  info.iTxTail = record->txTail;
  info.iPersist = record->persist;
  info.iSlotTime = record->slotTime;
  info.iMaxFrame = record->maxFrame;
  info.iAX25Channel = record->ax25Channel;
  info.iHowManyBytes = static_cast<int>(record->howManyBytes);
  info.iFrames = record->frames;
  return true;
}

TVOKAPI::Text TVOKAPI::GetHeardInfo(int iPort, int iPos) {
  LogLine(2, [&] { return Cat("{VOK} <GetHeardInfo> Port(", iPort, ") Pos(", iPos, ")"); });
  if (!active_) {
    LogLine(1, "{VOK} <GetHeardInfo> L2 Object not Active");
    return {};
  }
  if (!link_) {
    LogLine(1, "{VOK} <GetHeardInfo> L2 Object not Allocated");
    return {};
  }
  if (!portInfo_) {
    LogLine(1, "{VOK} <GetHeardInfo> Port Information not Available");
    return {};
  }
  const PortInfo* record = iPort >= 1 && iPort <= portMax_ ? link_->PortRecord(iPort) : nullptr;
  if (record == nullptr) {
    LogLine(1, "{VOK} <GetHeardInfo> Invalid Port Number");
    return {};
  }
  if (iPos < 1 || iPos > kHeardSlots) {
    LogLine(1, "{VOK} <GetHeardInfo> Invalid Position Number");
    return {};
  }
  return record->heard[static_cast<std::size_t>(iPos - 1)];
}

TVOKAPI::Text TVOKAPI::FCallSign(const Text& szCall) {
  LogLine(2, "{VOK} <FCallSign>");
  LogHex(3, szCall);
  if (!link_) {
    LogLine(1, "{VOK} <FCallSign> L2 Object not Allocated");
    return {};
  }
  return link_->FCallSign(szCall);
}

TVOKAPI::Text TVOKAPI::XCallSign(const Text& szCall) {
  LogLine(2, "{VOK} <XCallSign>");
  LogLine(3, [&] { return Cat("{VOK} <XCallSign> Call(", szCall, ")"); });
  if (!link_) {
    LogLine(1, "{VOK} <XCallSign> L2 Object not Allocated");
    return {};
  }
  return link_->XCallSign(szCall);
}

void TVOKAPI::BeaconPost(int iPort, const Text& szFrom, const Text& szTo, const Text& szVIA,
                         const Text& szMessage) {
  LogLine(2, "{VOK} <BeaconPost>");
  LogLine(3, [&] { return Cat("{VOK} <BeaconPost> Port(", iPort, ") From(", szFrom, ") To(", szTo, ") Via(", szVIA, ")"); });
  LogHex(5, szMessage);
  if (!beaconObject_) {
    LogLine(1, "{VOK} <BeaconPost> L2 Object not Allocated");
    return;
  }
  if (!beacon_) {
    LogLine(1, "{VOK} <BeaconPost> Beacon not enabled");
    return;
  }
  beaconObject_->Post(link_.get(), iPort, szFrom, szTo, szVIA, szMessage);
}

void TVOKAPI::DigiPost(int iPort, const Text& szFrom, const Text& szTo, const Text& szData) {
  LogLine(2, "{VOK} <DigiPost>");
  LogLine(3, [&] { return Cat("{VOK} <DigiPost> Port(", iPort, ") From(", szFrom, ") To(", szTo, ")"); });
  LogHex(5, szData);
  if (!digiObject_) {
    LogLine(1, "{VOK} <DigiPost> L2 Object not Allocated");
    return;
  }
  if (!digi_) {
    LogLine(1, "{VOK} <DigiPost> Digi not enabled");
    return;
  }
  digiObject_->Post(link_.get(), iPort, szData);
}

}  // namespace tw
