// `hostcmd`: one block from the client in host mode. Every command block
// gets an answer, as from a KAM: a client that hears nothing takes the
// controller for lost.
#include "bridge/bridge_core.h"

#include "bridge/command_words.h"
#include "bridge/engine_settings.h"
#include "bridge/log_text.h"
#include "platform/text/text.h"

namespace tw {

namespace {

constexpr std::string_view kQuitLower = "\xC0q\xC0";
constexpr std::string_view kQuitUpper = "\xC0Q\xC0";
constexpr std::string_view kQuery = "\xC0?\xC0";

std::string Letter(int s) { return std::string(1, StreamTable::Letter(s)); }

}  // namespace

int BridgeCore::streamltrnbr(std::string_view letter) {
  const int s = StreamTable::Number(letter);
  if (s >= 0) return s;
  addlog("ERROR client stream out of range " + LogBytes(letter));
  return 0;
}

void BridgeCore::hostcmd(const HostBlock& b) {
  if (b.kind == 'D' && b.port == '1') {
    const int s = streamltrnbr(b.stream ? std::string_view(&*b.stream, 1) : std::string_view());
    if (s > 0) HostData(s, b.blkdata);
    return;
  }
  const Words words = FirstWord(b.blkdata);
  if (b.kind == 'C' && b.port == '1') {
    const bool connect = IsAbbreviation(words.first, "CONNECT");
    if (connect || IsAbbreviation(words.first, "DISCONNECT")) {
      const int s = streamltrnbr(b.stream ? std::string_view(&*b.stream, 1) : std::string_view());
      if (s == 0) {
        AnswerEmpty(b);
      } else if (connect) {
        HostConnect(s, words.rest);
      } else {
        HostDisconnect(s);
      }
      return;
    }
    if (words.first == "MYCALL" || words.first == "MY") {
      HostMyCall(words.rest);
      return;
    }
  }
  if (b.rawblock == kQuitLower || b.rawblock == kQuitUpper) {
    hostmode_ = false;
    sendraw("INTFACE was HOST\r");
    sendraw("cmd:\r");
    // The controller reads the block once more as a terminal line, which it
    // does not know. Only the block is read again: what came before it was
    // carried out already, what follows it is the dialogue's (rxchunk).
    sendraw("EH?");
    return;
  }
  if (b.rawblock == kQuery) {
    sendblock("C00");
    return;
  }
  if (b.kind == 'C' && words.first == "TRIES") {
    HostTries(b);
    return;
  }
  if (b.kind == 'C' && IsAbbreviation(words.first, "STATUS")) {
    HostStatus();
    return;
  }
  if (b.kind == 'C' && IsAcknowledgedSetting(words.first)) {
    sendblock("C00");
    return;
  }
  HostUnknown(b);
}

void BridgeCore::HostUnknown(const HostBlock& b) {
  const std::string_view setting = b.kind == 'C' ? EngineSetting(FirstWord(b.blkdata).first) : std::string_view();
  if (setting.empty()) {
    addlog("ERROR Unknown Hostmode Client request> " + LogBytes(b.rawblock));
  } else if (ignoredSettings_.insert(std::string(setting)).second) {
    addlog("ignored KAM setting: " + LogBytes(b.blkdata));
  }
  if (b.kind == 'C') AnswerEmpty(b);
}

// The stream's link retries, on its own port and stream. A client that paces
// itself by the status reply polls it only after this answer. The engine
// never reports a link's retries, so the count known here is always 0.
void BridgeCore::HostTries(const HostBlock& b) {
  sendblock(std::string{'C', b.port.value_or('0'), b.stream.value_or('0')} + "TRIES 0");
}

// An empty reply on the block's own port and stream.
void BridgeCore::AnswerEmpty(const HostBlock& b) {
  sendblock(std::string{'C', b.port.value_or('0'), b.stream.value_or('0')});
}

void BridgeCore::HostData(int s, std::string_view blkdata) {
  const std::string L = Letter(s);
  Stream& stream = streams_[s];
  switch (stream.strmstate) {
    case StreamState::Connected: {
      const std::string data = KAMtoAX25(blkdata);
      if (data.empty()) return;
      const std::int32_t chanid = stream.chanid;
      if (control_.AX25Send(chanid, data)) {
        stream.bytesSent += data.size();
        return;
      }
      // What cannot be sent must not vanish unseen: end the link and say so.
      streams_.Free(s);
      control_.AX25Disconnect(chanid);
      addlog("ERROR AX25Send not accepted");
      addlog("stream " + L + " disconnected");
      sendblock("S1" + L + "*** DISCONNECTED");
      return;
    }
    case StreamState::Connecting:
    case StreamState::Disconnecting:
    case StreamState::Disconnected:
      sendblock("C1" + L + L + "/V " + LinkStateText(stream, "AX25info method failed hostcase data"));
      return;
  }
}

// After "X/V ", what a KAM answers when a stream's state does not allow a
// command. A link that is up or ending names its remote station; when the
// control does not know it, `failure` is logged with the state's number.
std::string BridgeCore::LinkStateText(const Stream& stream, std::string_view failure) {
  struct Row {
    std::string_view words;
    bool station;
  };
  static constexpr std::array<Row, 4> kLinkStates{{
      {"DISCONNECTED", false},          // StreamState::Disconnected
      {"CONNECTED to ", true},          // StreamState::Connected
      {"CONNECT in progress ", false},  // StreamState::Connecting
      {"DISC in progress ", true},      // StreamState::Disconnecting
  }};
  const auto state = static_cast<std::size_t>(stream.strmstate);
  const Row& row = kLinkStates.at(state);
  std::string text = Cat("Link state is: ", row.words);
  if (row.station) text += Remote(Info(stream.chanid, Cat(failure, " status ", state)));
  return text;
}

void BridgeCore::HostConnect(int s, std::string_view text) {
  const std::string L = Letter(s);
  Stream& stream = streams_[s];
  switch (stream.strmstate) {
    case StreamState::Disconnected: {
      const ConnectRequest request = ParseConnect(text, config_.defport);
      std::int32_t chanid = 0;
      if (!request.refusal.empty()) {
        addlog(request.refusal);
      } else {
        chanid = control_.AX25Connect(request.port, mycall_, request.destination, request.via);
        if (chanid == 0) {
          const ConnectFacts facts{mycall_, request.destination, request.via, request.port, engine_.up, enginePorts_};
          addlog("ERROR AX25Connect refused " + LogBytes(request.destination) + " on radio port" +
                 PortText(request.port) + ": " + ConnectRefusalReason(facts));
        }
      }
      sendblock("C1" + L);
      if (chanid == 0) {
        // The stream stays free; the client hears the link end at once.
        sendblock("S1" + L + "*** DISCONNECTED");
        return;
      }
      streams_[s] = {chanid, StreamState::Connecting};
      Record(s) = {mycall_, request.destination, request.via, request.port};
      addlog(LinkConnecting(StreamTable::Letter(s), Record(s)));
      return;
    }
    case StreamState::Connected:
    case StreamState::Connecting:
    case StreamState::Disconnecting:
      sendblock("C1" + L + "Can't RECONNECT, " + L + "/V " + LinkStateText(stream, "AX25info method failed hostcase"));
      return;
  }
}

void BridgeCore::HostDisconnect(int s) {
  const std::string L = Letter(s);
  const Stream stream = streams_[s];
  if (stream.strmstate == StreamState::Disconnected) {
    sendblock("C1" + L + "Can't DISCONNECT, " + L + "/V " + LinkStateText(stream));
    return;
  }
  if (control_.AX25Disconnect(stream.chanid)) {
    sendblock("C1" + L);
    if (streams_.Holding(stream.chanid) == s) Ending(s, LinkEnd::Client);
    return;
  }
  // The control no longer knows the link, so no event will ever free the
  // stream: free it now.
  addlog("ERROR disconnect method fail");
  streams_.Free(s);
  sendblock("C1" + L);
  sendblock("S1" + L + "*** DISCONNECTED");
}

void BridgeCore::HostMyCall(std::string_view text) {
  std::string call;
  switch (CheckMyCall(text, call)) {
    case MyCallOutcome::Query:
      sendblock("C00MYCALL " + mycall_);
      return;
    case MyCallOutcome::Busy:
      sendblock("C00Not while connected");
      return;
    case MyCallOutcome::Set:
      sendblock("C00");
      ChangeMyCall(call);
      return;
  }
}

BridgeCore::MyCallOutcome BridgeCore::CheckMyCall(std::string_view text, std::string& call) const {
  call = MyCallArgument(text);
  if (call.empty()) return MyCallOutcome::Query;
  if (streams_.FirstBusy() != 0) return MyCallOutcome::Busy;
  return MyCallOutcome::Set;
}

void BridgeCore::ChangeMyCall(const std::string& call) {
  control_.VOKUnRegister(mycall_);
  mycall_ = call;
  control_.VOKRegister(mycall_);
  view_.ShowMyCall(mycall_);
}

// What the engine still holds of a link's data, as a KAM meters it right
// after the stream's "X/V ": "#bytes(frames) ", or nothing when it holds
// none. Clients read it there to pace their data and to wait before they
// disconnect.
std::string BridgeCore::Unacknowledged(std::int32_t chanid) {
  std::int32_t frames = 0;
  std::int32_t bytes = 0;
  if (!control_.AX25Outstanding(chanid, frames, bytes) || frames <= 0) return "";
  return "#" + std::to_string(bytes < 0 ? 0 : bytes) + "(" + std::to_string(frames) + ") ";
}

// One block, as a KAM answers: the free space, then a line per stream.
void BridgeCore::HostStatus() {
  std::string text = "C00FREE BYTES 936\r";
  for (int s = 1; s <= kStreamCount; ++s) {
    const std::string L = Letter(s);
    const Stream stream = streams_[s];
    // Asked before Unacknowledged: within one expression the order of the
    // two control calls would be unspecified.
    std::string remote;
    switch (stream.strmstate) {
      case StreamState::Connected:
        remote = Remote(Info(stream.chanid, "AX25info method fail in hostcase status 1"));
        text += L + "/V " + Unacknowledged(stream.chanid) + "stream - CONNECTED to " + remote;
        break;
      case StreamState::Disconnected:
        text += L + "/V stream - DISCONNECTED";
        break;
      case StreamState::Connecting:
        text += L + "/V stream - CONNECT in progress ";
        break;
      case StreamState::Disconnecting:
        remote = Remote(Info(stream.chanid, "AX25info method fail hostcase status 3"));
        text += L + "/V " + Unacknowledged(stream.chanid) + "stream - DISC in progress " + remote;
        break;
    }
    text += '\r';
  }
  sendblock(text);
}

}  // namespace tw
