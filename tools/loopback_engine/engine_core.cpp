#include "tools/loopback_engine/engine_core.h"

#include <algorithm>
#include <utility>

#include "platform/text/text.h"
#include "tools/loopback_engine/call_sign.h"
#include "tools/loopback_engine/engine_texts.h"
#include "tools/loopback_engine/via_block.h"

namespace tw::loopback {

namespace {

// Input is cut into frames slice by slice, so however much a caller hands
// over at once, no more than one frame's data plus a slice waits in a
// client's reader.
constexpr std::size_t kReceiveSlice = 4096;

bool IsLetter(char kind) { return (kind >= 'A' && kind <= 'Z') || (kind >= 'a' && kind <= 'z'); }

std::string KindText(char kind) {
  return IsLetter(kind) ? std::string(1, kind)
                        : Cat("0x", HexByte(static_cast<std::uint8_t>(kind)));
}

}  // namespace

std::string LocalTimeOfDay() { return TraceLog::LocalTime("%H:%M:%S"); }

LoopbackEngine::LoopbackEngine(EngineConfig config, TimeOfDay timeOfDay)
    : config_(config), timeOfDay_(std::move(timeOfDay)) {
  config_.ports = std::clamp(config_.ports, 1, kMaxPorts);
  heard_.resize(static_cast<std::size_t>(config_.ports) + 1);
  channels_.resize(static_cast<std::size_t>(config_.ports) + 1);
}

ClientId LoopbackEngine::Connect() {
  ClientId id = nextClient_++;
  clients_.emplace(id, Client{});
  log_.LogLine(1, [&] { return Cat("{LBE} Client(", id, ") connected"); });
  return id;
}

bool LoopbackEngine::Receive(ClientId client, std::string_view bytes) {
  auto found = clients_.find(client);
  if (found == clients_.end()) return false;
  // Handlers never remove the sending client, so this stays valid until the
  // client is dropped below.
  Client& state = found->second;
  while (!bytes.empty()) {
    std::string_view slice = bytes.substr(0, kReceiveSlice);
    bytes.remove_prefix(slice.size());
    state.reader.Append(slice);
    while (true) {
      std::optional<Frame> frame = state.reader.Next();
      // A header is judged as soon as it is there, before its data arrives.
      const FrameHeader* header = frame ? &frame->header : nullptr;
      if (!header && state.reader.PendingHeader()) header = &*state.reader.PendingHeader();
      if (header && !IsLetter(header->kind)) {
        // Every kind is a letter: anything else means the stream lost its
        // framing, and whatever follows would be read as nonsense headers.
        log_.LogLine(1, [&] {
          return Cat("{LBE} Client(", client, ") dropped: frame kind ", KindText(header->kind),
                     " is not a letter");
        });
        Disconnect(client);
        return false;
      }
      if (!frame) break;
      Handle(client, state, *frame);
    }
  }
  return true;
}

void LoopbackEngine::Disconnect(ClientId client) {
  if (!clients_.contains(client)) return;
  for (LinkId id : links_.LinksOf(client)) EndLink(id, client);
  std::erase_if(pending_, [&](const PendingConnect& p) { return p.client == client; });
  std::erase_if(registrations_, [&](const auto& entry) { return entry.second.client == client; });
  clients_.erase(client);
  std::erase_if(output_, [&](const Outgoing& out) { return out.client == client; });
  log_.LogLine(1, [&] { return Cat("{LBE} Client(", client, ") disconnected"); });
}

void LoopbackEngine::Tick(Millis now) {
  now_ = now;
  // Due connects in the order they fall due; ties keep their request order.
  std::stable_sort(pending_.begin(), pending_.end(),
                   [](const PendingConnect& a, const PendingConnect& b) { return a.due < b.due; });
  auto firstLater = std::find_if(pending_.begin(), pending_.end(),
                                 [&](const PendingConnect& p) { return p.due > now_; });
  std::vector<PendingConnect> due(std::make_move_iterator(pending_.begin()),
                                  std::make_move_iterator(firstLater));
  pending_.erase(pending_.begin(), firstLater);
  for (const PendingConnect& p : due) {
    log_.LogLine(2, [&] {
      return Cat("{LBE} Client(", p.client, ") retry-out Port(", p.port, ") ", p.own, " -> ", p.remote);
    });
    Send(p.client, p.port, 0, 'd', p.remote, p.own, RetryOut(p.remote));
  }
  SendDueFrames();
}

std::optional<Millis> LoopbackEngine::NextDeadline() const {
  std::optional<Millis> next;
  for (const PendingConnect& p : pending_) {
    if (!next || p.due < *next) next = p.due;
  }
  for (const Channel& channel : channels_) {
    if (!channel.frames.empty() && (!next || channel.headDone < *next)) next = channel.headDone;
  }
  return next;
}

std::vector<Outgoing> LoopbackEngine::TakeOutput() { return std::exchange(output_, {}); }

std::size_t LoopbackEngine::BufferedBytes(ClientId client) const {
  auto found = clients_.find(client);
  return found == clients_.end() ? 0 : found->second.reader.Buffered();
}

void LoopbackEngine::Handle(ClientId client, Client& state, const Frame& frame) {
  const FrameHeader& h = frame.header;
  log_.LogLine(3, [&] {
    return Cat("{LBE} Client(", client, ") Kind[", h.kind, "] Port(", h.port, ") From(", h.callFrom,
               ") To(", h.callTo, ") Len(", frame.data.size(), ")");
  });
  switch (h.kind) {
    case 'G':
      Send(client, h.port, 0, 'G', "", "", PortList(config_.ports));
      break;
    case 'R':
      Send(client, h.port, 0, 'R', "", "", VersionData());
      break;
    case 'g':
      if (ValidPort(h.port)) {
        auto active = std::min<std::size_t>(links_.CountOnPort(h.port), 255);
        Send(client, h.port, 0, 'g', "", "", PortCapabilities(static_cast<std::uint8_t>(active)));
      }
      break;
    case 'y':
      // Data frames not yet sent on the port, whoever sent them.
      if (ValidPort(h.port)) Send(client, h.port, 0, 'y', "", "", Count32(PortFrames(h.port)));
      break;
    case 'Y':
      // Data frames this end of the link sent that have not yet arrived.
      if (ValidPort(h.port)) {
        Send(client, h.port, 0, 'Y', h.callFrom, h.callTo,
             Count32(LinkFrames(client, h.port, h.callFrom, h.callTo)));
      }
      break;
    case 'H':
      HeardList(client, h);
      break;
    case 'X':
      Register(client, state, h);
      break;
    case 'x':
      Unregister(client, state, h);
      break;
    case 'm':
      state.monitor = !state.monitor;
      break;
    case 'k':
      state.raw = !state.raw;
      break;
    case 'C':
    case 'c':
      ConnectRequest(client, h);
      break;
    case 'v':
      // The path does not matter on a loop-back port, but it must be well formed.
      if (ParseViaBlock(frame.data)) {
        ConnectRequest(client, h);
      } else {
        log_.LogLine(2, [&] { return Cat("{LBE} Client(", client, ") 'v' with a broken path, ignored"); });
      }
      break;
    case 'd':
      DisconnectRequest(client, h);
      break;
    case 'D':
      Data(client, frame);
      break;
    case 'M':
      Unproto(client, h, {}, frame.data);
      break;
    case 'V':
      if (auto via = ParseViaBlock(frame.data)) {
        Unproto(client, h, via->calls, std::string_view(frame.data).substr(via->size));
      } else {
        log_.LogLine(2, [&] { return Cat("{LBE} Client(", client, ") 'V' with a broken path, ignored"); });
      }
      break;
    case 'K':
      Raw(client, frame);
      break;
    default:
      log_.LogLine(2, [&] { return Cat("{LBE} Client(", client, ") unknown kind ", h.kind, " ignored"); });
      break;
  }
}

void LoopbackEngine::Register(ClientId client, Client& state, const FrameHeader& header) {
  const std::string& call = header.callFrom;
  bool accepted = false;
  const std::string key = CallKey(call);
  if (!call.empty() && key != kEchoCall) {
    // A station another client holds stays its own in any spelling.
    auto held = std::find_if(registrations_.begin(), registrations_.end(),
                             [&](const auto& entry) { return CallKey(entry.first) == key; });
    if (held != registrations_.end() && held->second.client != client) {
      accepted = false;
    } else if (registrations_.contains(call)) {
      accepted = true;
    } else if (state.calls < config_.maxCallsPerClient) {
      registrations_.emplace(call, Registration{client, call});
      ++state.calls;
      accepted = true;
    }
  }
  log_.LogLine(2, [&] {
    return Cat("{LBE} Client(", client, ") register ", call, accepted ? " accepted" : " refused");
  });
  Send(client, header.port, 0, 'X', call, "", std::string(1, accepted ? '\1' : '\0'));
}

void LoopbackEngine::Unregister(ClientId client, Client& state, const FrameHeader& header) {
  const std::string& call = header.callFrom;
  auto found = registrations_.find(call);
  bool gone = true;
  if (found != registrations_.end()) {
    if (found->second.client == client) {
      registrations_.erase(found);
      --state.calls;
    } else {
      gone = false;  // another client's call stays registered
    }
  }
  Send(client, header.port, 0, 'x', call, "", std::string(1, gone ? '\1' : '\0'));
}

void LoopbackEngine::ConnectRequest(ClientId client, const FrameHeader& header) {
  int port = header.port;
  const std::string& own = header.callFrom;
  const std::string& remote = header.callTo;
  if (ValidPort(port) && !own.empty()) NoteHeard(port, own);
  if (links_.FindEnd(client, port, own, remote) || FindPending(client, port, own, remote) != pending_.end()) {
    log_.LogLine(2, [&] {
      return Cat("{LBE} Client(", client, ") connect ", own, " -> ", remote, " already under way, ignored");
    });
    return;
  }
  if (LinksHeldBy(client) >= config_.maxLinksPerClient) {
    // Refused at once rather than queued: a queue would let one client fill
    // the engine's memory with connects to nobody.
    log_.LogLine(1, [&] { return Cat("{LBE} Client(", client, ") at its link limit, connect refused"); });
    Send(client, port, 0, 'd', remote, own, RetryOut(remote));
    return;
  }
  std::string remoteKey = CallKey(remote);
  bool possible = ValidPort(port) && !own.empty() && !remote.empty() && CallKey(own) != remoteKey &&
                  !links_.Joins(port, own, remote);
  if (possible && remoteKey == kEchoCall) {
    links_.Add(Link{port, LinkEnd{client, own, remote}, std::nullopt});
    Send(client, port, 0, 'C', remote, own, ConnectedWith(remote));
    return;
  }
  // The called station is found as Dire Wolf finds it: its address as the
  // air carries it (upper case, SSID 0 bare) against the registered texts,
  // letter for letter. A client that registered "N0BBS-0" is never called.
  auto registered = possible ? registrations_.find(remoteKey) : registrations_.end();
  if (registered == registrations_.end() ||
      LinksHeldBy(registered->second.client) >= config_.maxLinksPerClient) {
    ScheduleRetryOut(client, port, own, remote);
    return;
  }
  Registration called = registered->second;
  links_.Add(Link{port, LinkEnd{client, own, remote}, LinkEnd{called.client, called.call, own}});
  log_.LogLine(2, [&] {
    return Cat("{LBE} Port(", port, ") link ", own, " (client ", client, ") -> ", called.call,
               " (client ", called.client, ")");
  });
  Send(client, port, 0, 'C', remote, own, ConnectedWith(remote));
  Send(called.client, port, 0, 'C', own, called.call, ConnectedTo(own));
}

void LoopbackEngine::DisconnectRequest(ClientId client, const FrameHeader& header) {
  int port = header.port;
  const std::string& own = header.callFrom;
  const std::string& remote = header.callTo;
  if (auto end = links_.FindEnd(client, port, own, remote)) {
    EndLink(end->id, std::nullopt);
    return;
  }
  auto pending = FindPending(client, port, own, remote);
  if (pending != pending_.end()) pending_.erase(pending);
  // Without a link the request is still confirmed, so a client that lost
  // track of a link can always free its end.
  Send(client, port, 0, 'd', remote, own, DisconnectedFrom(remote));
}

void LoopbackEngine::Data(ClientId client, const Frame& frame) {
  const FrameHeader& h = frame.header;
  auto end = links_.FindEnd(client, h.port, h.callFrom, h.callTo);
  if (!end || frame.data.empty()) {
    log_.LogLine(2, [&] {
      return Cat("{LBE} Client(", client, ") data Port(", h.port, ") From(", h.callFrom, ") To(",
                 h.callTo, ") without a link, ignored");
    });
    return;
  }
  const Link* link = links_.Find(end->id);
  if (config_.baud != 0) {
    // On the air in I frames of at most 255 bytes, one after another.
    std::string_view rest = frame.data;
    while (!rest.empty()) {
      std::string_view piece = rest.substr(0, kMaxPiece);
      rest.remove_prefix(piece.size());
      Transmit(link->port, AirFrame{end->id, end->isCaller, h.pid, std::string(piece)}, now_);
    }
    return;
  }
  if (!link->called) EchoHeard(link->port, frame.data.size());
  const LinkEnd& receiver = !link->called ? link->caller : end->isCaller ? *link->called : link->caller;
  SendData(receiver.client, link->port, h.pid, receiver.remote, receiver.own, frame.data);
}

void LoopbackEngine::EchoHeard(int port, std::size_t bytes) {
  // Counted by those who check that nothing sent to the echo station went
  // missing on the way (the soak test).
  log_.LogLine(3, [&] { return Cat("{LBE} Port(", port, ") echo station heard ", bytes, " bytes"); });
}

void LoopbackEngine::Unproto(ClientId client, const FrameHeader& header,
                             const std::vector<std::string>& digis, std::string_view info) {
  auto frame = MakeUiFrame(header.callFrom, header.callTo, digis, header.pid, info);
  if (!ValidPort(header.port) || !frame) {
    log_.LogLine(2, [&] {
      return Cat("{LBE} Client(", client, ") unproto Port(", header.port, ") From(", header.callFrom,
                 ") To(", header.callTo, ") cannot be sent, ignored");
    });
    return;
  }
  NoteHeard(header.port, frame->source);
  std::string text = MonitorText(header.port, *frame, timeOfDay_());
  std::string raw = RawUiFrame(log_, *frame);
  for (const auto& [id, other] : clients_) {
    if (other.monitor) Send(id, header.port, frame->pid, 'U', frame->source, frame->destination, text);
    if (other.raw) Send(id, header.port, 0, 'K', "", "", raw);
  }
}

void LoopbackEngine::Raw(ClientId client, const Frame& frame) {
  const FrameHeader& h = frame.header;
  if (!ValidPort(h.port) || frame.data.empty()) return;
  for (const auto& [id, other] : clients_) {
    if (id != client && other.raw) Send(id, h.port, h.pid, 'K', h.callFrom, h.callTo, frame.data);
  }
}

void LoopbackEngine::HeardList(ClientId client, const FrameHeader& header) {
  if (!ValidPort(header.port)) return;
  for (const Heard& station : heard_[static_cast<std::size_t>(header.port)]) {
    Send(client, header.port, 0, 'H', station.call, "", HeardLine(station.call, station.first, station.last));
  }
}

void LoopbackEngine::ScheduleRetryOut(ClientId client, int port, const std::string& own,
                                      const std::string& remote) {
  log_.LogLine(2, [&] {
    return Cat("{LBE} Client(", client, ") connect Port(", port, ") ", own, " -> ", remote,
               ": nobody answers");
  });
  pending_.push_back(PendingConnect{client, port, own, remote, now_ + config_.retryDelay});
}

std::vector<LoopbackEngine::PendingConnect>::iterator LoopbackEngine::FindPending(
    ClientId client, int port, std::string_view own, std::string_view remote) {
  std::string ownKey = CallKey(own);
  std::string remoteKey = CallKey(remote);
  return std::find_if(pending_.begin(), pending_.end(), [&](const PendingConnect& p) {
    return p.client == client && p.port == port && CallKey(p.own) == ownKey &&
           CallKey(p.remote) == remoteKey;
  });
}

std::size_t LoopbackEngine::LinksHeldBy(ClientId client) const {
  auto waiting = std::count_if(pending_.begin(), pending_.end(),
                               [&](const PendingConnect& p) { return p.client == client; });
  return links_.CountOf(client) + static_cast<std::size_t>(waiting);
}

void LoopbackEngine::EndLink(LinkId id, std::optional<ClientId> gone) {
  std::optional<Link> link = links_.Remove(id);
  if (!link) return;
  // Like a real engine, which drops every frame not yet acknowledged.
  DiscardFrames(id, link->port);
  log_.LogLine(2, [&] {
    return Cat("{LBE} Port(", link->port, ") link ", link->caller.own, " -> ", link->caller.remote, " ended");
  });
  auto tell = [&](const LinkEnd& end) {
    if (end.client != gone) Send(end.client, link->port, 0, 'd', end.remote, end.own, DisconnectedFrom(end.remote));
  };
  tell(link->caller);
  if (link->called) tell(*link->called);
}

Millis LoopbackEngine::AirTime(std::size_t bytes) const {
  // Rounded up to whole milliseconds, so that a frame never arrives early.
  const std::uint64_t bits = std::uint64_t{bytes} * 8 * 1000;
  return Millis(static_cast<Millis::rep>((bits + config_.baud - 1) / config_.baud));
}

void LoopbackEngine::Transmit(int port, AirFrame frame, Millis start) {
  Channel& channel = channels_[static_cast<std::size_t>(port)];
  if (channel.frames.size() >= config_.maxQueuedFrames) {
    log_.LogLine(1, [&] { return Cat("{LBE} Port(", port, ") transmit queue full, data frame dropped"); });
    return;
  }
  if (channel.frames.empty()) channel.headDone = start + AirTime(frame.data.size());
  channel.frames.push_back(std::move(frame));
}

void LoopbackEngine::SendDueFrames() {
  // Across ports in the order the frames were sent, so that the output does
  // not depend on how far one Tick moved the clock.
  while (true) {
    int next = 0;
    for (int port = 1; port <= config_.ports; ++port) {
      const Channel& channel = channels_[static_cast<std::size_t>(port)];
      if (channel.frames.empty() || channel.headDone > now_) continue;
      if (next == 0 || channel.headDone < channels_[static_cast<std::size_t>(next)].headDone) next = port;
    }
    if (next == 0) return;
    DeliverHead(next);
  }
}

void LoopbackEngine::DeliverHead(int port) {
  Channel& channel = channels_[static_cast<std::size_t>(port)];
  AirFrame frame = std::move(channel.frames.front());
  channel.frames.pop_front();
  const Millis sent = channel.headDone;
  if (!channel.frames.empty()) channel.headDone = sent + AirTime(channel.frames.front().data.size());
  const Link* link = links_.Find(frame.link);
  if (!link) return;  // not reached: a link that ends takes its frames with it
  if (frame.fromCaller && !link->called) {
    // The echo station heard it and sends it back, behind what is queued.
    EchoHeard(port, frame.data.size());
    frame.fromCaller = false;
    Transmit(port, std::move(frame), sent);
    return;
  }
  const LinkEnd& receiver = frame.fromCaller ? *link->called : link->caller;
  SendData(receiver.client, port, frame.pid, receiver.remote, receiver.own, frame.data);
}

void LoopbackEngine::DiscardFrames(LinkId id, int port) {
  Channel& channel = channels_[static_cast<std::size_t>(port)];
  if (channel.frames.empty()) return;
  const bool headGone = channel.frames.front().link == id;
  std::size_t dropped = std::erase_if(channel.frames, [&](const AirFrame& f) { return f.link == id; });
  if (dropped == 0) return;
  log_.LogLine(2, [&] { return Cat("{LBE} Port(", port, ") ", dropped, " data frame(s) not yet sent discarded"); });
  // The port turns to the next frame at once.
  if (headGone && !channel.frames.empty()) channel.headDone = now_ + AirTime(channel.frames.front().data.size());
}

std::uint32_t LoopbackEngine::LinkFrames(ClientId client, int port, std::string_view own,
                                         std::string_view remote) const {
  auto end = links_.FindEnd(client, port, own, remote);
  if (!end) return 0;
  const auto& frames = channels_[static_cast<std::size_t>(port)].frames;
  return static_cast<std::uint32_t>(std::count_if(frames.begin(), frames.end(), [&](const AirFrame& f) {
    return f.link == end->id && f.fromCaller == end->isCaller;
  }));
}

std::uint32_t LoopbackEngine::PortFrames(int port) const {
  return static_cast<std::uint32_t>(channels_[static_cast<std::size_t>(port)].frames.size());
}

void LoopbackEngine::NoteHeard(int port, std::string_view call) {
  std::vector<Heard>& list = heard_[static_cast<std::size_t>(port)];
  std::string key = CallKey(call);
  std::string now = timeOfDay_();
  auto found = std::find_if(list.begin(), list.end(),
                            [&](const Heard& station) { return CallKey(station.call) == key; });
  if (found != list.end()) {
    found->last = now;
    // Most recently heard first.
    std::rotate(list.begin(), found, found + 1);
    return;
  }
  if (list.size() == kHeardPerPort) list.pop_back();
  list.insert(list.begin(), Heard{key, now, now});
}

void LoopbackEngine::Send(ClientId client, int port, std::uint8_t pid, char kind, std::string_view from,
                          std::string_view to, std::string_view data) {
  std::string frame(kHeaderSize, '\0');
  EncodeHeader(frame.data(), port, pid, kind, from, to, data.size());
  frame.append(data);
  Queue(client, frame);
}

void LoopbackEngine::SendData(ClientId client, int port, std::uint8_t pid, std::string_view from,
                              std::string_view to, std::string_view data) {
  EncodeFrames(port, pid, 'D', from, to, data, [&](std::string_view piece) { Queue(client, piece); });
}

void LoopbackEngine::Queue(ClientId client, std::string_view bytes) {
  if (!output_.empty() && output_.back().client == client) {
    output_.back().bytes.append(bytes);
  } else {
    output_.push_back(Outgoing{client, std::string(bytes)});
  }
}

}  // namespace tw::loopback
