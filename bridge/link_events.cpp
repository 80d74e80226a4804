// The control's events: links established, ended and carrying data, the
// engine ready or lost, call-signs registered, and the control giving up.
#include "bridge/bridge_core.h"

#include <algorithm>

#include "bridge/log_text.h"
#include "platform/text/text.h"

namespace tw {

namespace {

std::string Frame(std::string_view text) {
  std::string block;
  block.reserve(text.size() + 2);
  block += FEND;
  block.append(text);
  block += FEND;
  return block;
}

}  // namespace

std::optional<BridgeControl::LinkInfo> BridgeCore::Info(std::int32_t chanid, std::string_view failure) {
  LinkInfo info;
  if (control_.AX25Info(chanid, info)) return info;
  if (!failure.empty()) addlog(failure);
  return std::nullopt;
}

std::string BridgeCore::Remote(const std::optional<LinkInfo>& info) {
  if (!info) return "";
  return info->szVIA.empty() ? info->szTo : info->szTo + " VIA " + info->szVIA;
}

// The stream's link has ended: log how, free it and tell the client.
void BridgeCore::EndStream(int s, LinkEnd by) {
  const char L = StreamTable::Letter(s);
  LinkRecord& link = Record(s);
  link.sent = streams_[s].bytesSent;
  link.received = streams_[s].bytesReceived;
  const bool connecting = streams_[s].strmstate == StreamState::Connecting;
  if (unloaded_) {
    // Cut at the end of the shutdown: the line that cut them named them.
  } else if (connecting && by == LinkEnd::FarEnd) {
    addlog(LinkNoAnswer(L, link, notice_->text));
  } else if (connecting && by == LinkEnd::EngineLost) {
    addlog(LinkEngineDown(L, link));
  } else {
    addlog(LinkDisconnected(L, link, by));
  }
  endAsked_.at(static_cast<std::size_t>(s)).reset();
  streams_.Free(s);
  TellClient(s, {Frame(std::string("S1") + StreamTable::Letter(s) + "*** DISCONNECTED")}, true);
}

void BridgeCore::Ending(int s, LinkEnd by) {
  streams_[s].strmstate = StreamState::Disconnecting;
  endAsked_.at(static_cast<std::size_t>(s)) = by;
  std::int32_t frames = 0;
  std::int32_t bytes = 0;
  // The control ends the link only once the engine has sent what it holds.
  if (control_.AX25Outstanding(streams_[s].chanid, frames, bytes) && frames > 0) {
    addlog(LinkWaiting(StreamTable::Letter(s), Record(s), frames));
  }
}

void BridgeCore::OnAX25Connect(std::int32_t iChannelId) {
  const PublishLinksOnExit publish(*this);
  if (iChannelId == 0) return;  // names no link
  // A link the control does not know is answered as one with empty fields.
  const LinkInfo info = Info(iChannelId, "ERROR AX25info method failed in onAX25connect sub").value_or(LinkInfo{});
  const std::string connected = "*** CONNECTED to " + Remote(info);

  // An id a stream already holds is never a new link: a connect that
  // completes after the client asked to disconnect it (the control repeats
  // the disconnect), or a repeated report.
  if (const int s = streams_.Holding(iChannelId); s != 0) {
    if (streams_[s].strmstate != StreamState::Connecting) return;
    streams_[s].strmstate = StreamState::Connected;
    if (!info.szTo.empty()) Record(s).remote = info.szTo;
    addlog(LinkConnected(StreamTable::Letter(s), Record(s)));
    TellClient(s, {Frame(std::string("S1") + StreamTable::Letter(s) + connected)});
    return;
  }

  const int s = shuttingDown_ ? 0 : streams_.FirstFree();
  if (s != 0 && (config_.acceptany || info.iPort == config_.defport)) {
    streams_[s] = {iChannelId, StreamState::Connected};
    Record(s) = {info.szFrom, info.szTo, info.szVIA, info.iPort, 0, 0, true};
    addlog(LinkIncoming(StreamTable::Letter(s), Record(s)));
    TellClient(s, {Frame(std::string("S1") + StreamTable::Letter(s) + connected)});
    return;
  }

  if (control_.AX25Disconnect(iChannelId)) {
    addlog("refused connect attempt from " + LogBytes(info.szTo) + " on radio port" + PortText(info.iPort));
  } else {
    addlog("Refuse Connect Disconnect failed for  " + LogBytes(info.szFrom) + " on radio port" +
           PortText(info.iPort));
  }
}

void BridgeCore::OnAX25Disconnect(std::int32_t iChannelId) {
  const PublishLinksOnExit publish(*this);
  const int s = streams_.Holding(iChannelId);
  if (s != 0) EndStream(s, EndedBy(s));
  notice_.reset();
  if (s != 0 && stoppingLinks_ && !unloaded_) {
    addlog(Cat("stream ", StreamTable::Letter(s), " link to ", LogBytes(stopping_.at(static_cast<std::size_t>(s))),
               " ended, ", LinksUp(), " left"));
  }
}

// The engine tells of every end it sees with a notice first; a link that
// ends without one, unasked, was ended by the control because the engine
// is gone (or never was there).
LinkEnd BridgeCore::EndedBy(int s) const {
  if (const auto asked = endAsked_.at(static_cast<std::size_t>(s))) return *asked;
  if (shuttingDown_) return LinkEnd::Shutdown;
  const LinkRecord& link = records_.at(static_cast<std::size_t>(s));
  const bool noticed = notice_ && notice_->port == link.port && SameStation(notice_->remote, link.remote);
  return noticed ? LinkEnd::FarEnd : LinkEnd::EngineLost;
}

void BridgeCore::OnLinkNotice(int port, const std::string& from, const std::string& /*to*/,
                              const std::string& text) {
  // The engine names the far station as the notice's sender.
  notice_ = Notice{port, from, text};
}

void BridgeCore::OnAX25Receive(std::int32_t iChannelId, const std::string& szData) {
  const PublishLinksOnExit publish(*this);
  const int s = streams_.Holding(iChannelId);
  if (s == 0) return;
  streams_[s].bytesReceived += szData.size();
  // Some clients keep only a few hundred bytes of a block: never more than
  // one engine frame's data, and within one AX.25 frame's size.
  const std::string_view data = szData;
  std::vector<std::string> blocks;
  std::size_t at = 0;
  do {
    const std::string_view piece = data.substr(at, kMaxBlockData);
    std::string block;
    block.reserve(piece.size() + piece.size() / 8 + 6);
    block += FEND;
    block += "D1";
    block += StreamTable::Letter(s);
    AppendEscaped(block, piece);
    block += FEND;
    blocks.push_back(std::move(block));
    at += piece.size();
  } while (at < data.size());
  TellClient(s, blocks);
}

void BridgeCore::OnReady(bool fReady) {
  const PublishLinksOnExit publish(*this);
  if (!fReady) {
    engine_.up = false;
    if (shuttingDown_) return;
    addlog("EVENT: engine lost");
    engineCheck_.Start(engine_.host, config_.engineport);
    // The engine dropped every link with the connection; the control ends
    // each channel, and any stream still holding one is freed here.
    for (int s = 1; s <= kStreamCount; ++s) {
      if (streams_[s].strmstate != StreamState::Disconnected) EndStream(s, LinkEnd::EngineLost);
    }
    return;
  }
  portsLogged_ = false;
  supervisor_.Ready();
  engine_.up = true;
  engine_.version = control_.VOKVersion();
  engineCheck_.Ready();
  addlog("EVENT: PE is ready");
  addlog("VOKPE version " + LogBytes(engine_.version));
  if (!mycall_.empty()) control_.VOKRegister(mycall_);
}

void BridgeCore::OnRegister(const std::string& szCall, bool fFlags) {
  if (!fFlags) {
    addlog("ERROR registration of " + LogBytes(szCall) + " refused");
    return;
  }
  view_.ShowMyCall(szCall);
}

void BridgeCore::OnPort() {
  if (portsLogged_ || shuttingDown_) return;
  const std::vector<std::string> names = control_.PortNames();
  if (names.empty()) return;
  portsLogged_ = true;
  enginePorts_ = static_cast<int>(names.size());
  addlog(EnginePortsLine(names));
  if (config_.defport > enginePorts_) addlog(DefaultPortMissingLine(config_.defport, enginePorts_));
}

void BridgeCore::OnError() {
  engine_.up = false;
  if (!shuttingDown_) supervisor_.GaveUp();
}

}  // namespace tw
