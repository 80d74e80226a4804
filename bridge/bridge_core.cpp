// Start-up, shutdown, the client connection, and the blocks that link events
// send to the client (or hold for it).
#include "bridge/bridge_core.h"

#include <utility>

#include "bridge/log_text.h"
#include "bridge/start_lines.h"
#include "platform/text/text.h"

namespace tw {

BridgeCore::BridgeCore(EventLoop& loop, BridgeControl& control, BridgeView& view)
    : control_(control),
      view_(view),
      Winsock1_(loop.NewListenSocket()),
      listenRetry_(loop.NewTimer()),
      supervisor_(loop, control, [this](std::string_view line) { addlog(line); }),
      engineCheck_(loop, [this](std::string_view line) { addlog(line); }) {
  Winsock1_->SetKeepAlive(true);
  Winsock1_->SetKeepListening(true);
  Winsock1_->SetHandlers({
      [this] { Winsock1_ConnectionRequest(); },
      [this](std::string_view bytes) { Winsock1_DataArrival(bytes); },
      [this] { Winsock1_Close(); },
      [this](const std::string& description) { Winsock1_Error(description); },
  });
  listenRetry_->SetInterval(kListenRetryMs);
  listenRetry_->SetHandler([this] {
    if (shuttingDown_ || listenclient()) listenRetry_->SetEnabled(false);
  });
}

BridgeCore::~BridgeCore() { Winsock1_->SetHandlers({}); }

void BridgeCore::addlog(std::string_view text) { view_.addlog(std::string(text)); }

// ---- start-up and shutdown ----------------------------------------------------

std::string BridgeCore::initvars(const StartOptions& options) {
  streams_ = StreamTable{};
  records_ = {};
  config_ = CommandLine{};
  hostmode_ = options.hostMode;
  rxbuf_.Reset();

  config_ = cmdargs(options.commandLine);
  if (config_.tooManyFields) {
    addlog(Cat("ERROR too many command line arguments (", kFieldsHint, "; the first five are used: ",
               SettingsFields(config_), ")"));
  }
  if (!config_.error.empty()) return config_.error;
  mycall_ = config_.mycall;
  if (mycall_.empty()) addlog(kNoCallLine);

  view_.ShowDefaultPort(PortText(config_.defport));
  view_.ShowAccept(config_.acceptany ? "ANY" : PortText(config_.defport));

  if (!options.engineHost.empty()) {
    control_.SetAddress(options.engineHost);
    engine_.host = options.engineHost;
  }
  control_.SetPort(config_.engineport);
  control_.SetEnabled(true);
  control_.SetActive(true);
  control_.SetAX25(true);
  engineCheck_.Start(engine_.host, config_.engineport);

  if (!options.listenAddress.empty()) listenAddress_ = options.listenAddress;
  const bool listening = listenclient();
  std::string where = Winsock1_->Place();
  const bool tcp = where.empty();
  if (tcp) where = Cat(listenAddress_, " port ", config_.listenport);
  if (!listening) {
    Form_Unload();
    // A terminal line names its own reason in its place.
    return "cannot listen for the client on " + where + (tcp ? ": " + ListenProblem(Winsock1_->ListenError()) : "");
  }
  addlog(SettingsLine(config_, engine_.host, listenAddress_, tcp ? std::string() : where));
  addlog("listening for the client on " + where);
  if (tcp && !IsLoopback(listenAddress_)) addlog(OpenListenLine(listenAddress_, config_.listenport, mycall_));
  return {};
}

void BridgeCore::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  CloseSession();
  control_.SetActive(false);
  control_.SetEnabled(false);
}

// Nothing new comes in from here on: no client, no registration, nothing
// held for a client that will never come.
void BridgeCore::CloseSession() {
  if (shuttingDown_) return;
  shuttingDown_ = true;
  supervisor_.Stop();
  engineCheck_.Stop();
  listenRetry_->SetEnabled(false);
  held_.Clear();
  closeclient();
  control_.VOKUnRegister(mycall_);
  view_.ShowMyCall("");
}

void BridgeCore::StopLinks() {
  if (shuttingDown_) return;
  CloseSession();
  stoppingLinks_ = true;
  for (int s = 1; s <= kStreamCount; ++s) {
    const Stream stream = streams_[s];
    if (stream.strmstate == StreamState::Disconnected) continue;
    const std::optional<LinkInfo> info = Info(stream.chanid);
    stopping_.at(static_cast<std::size_t>(s)) = info ? info->szTo : std::string();
    // A disconnect asked for by the client is under way already.
    if (stream.strmstate == StreamState::Disconnecting) continue;
    if (control_.AX25Disconnect(stream.chanid)) {
      if (streams_.Holding(stream.chanid) == s) Ending(s, LinkEnd::Shutdown);
    } else if (streams_.Holding(stream.chanid) == s) {
      // Unknown to the control: no end will ever be reported.
      streams_.Free(s);
    }
  }
  if (const int up = LinksUp(); up > 0) addlog(Cat("waiting for ", up, " links to send what they hold"));
  PublishLinks();
}

int BridgeCore::LinksUp() const {
  int up = 0;
  for (int s = 1; s <= kStreamCount; ++s) up += streams_[s].strmstate != StreamState::Disconnected ? 1 : 0;
  return up;
}

void BridgeCore::CutLinks(std::string_view why) {
  std::string cut;
  for (int s = 1; s <= kStreamCount; ++s) {
    if (streams_[s].strmstate == StreamState::Disconnected) continue;
    cut += Cat(cut.empty() ? "" : ", ", "stream ", StreamTable::Letter(s), " to ",
               LogBytes(stopping_.at(static_cast<std::size_t>(s))));
  }
  if (!cut.empty()) addlog(Cat(why, ", cutting what the links still hold: ", cut));
}

// ---- the client connection --------------------------------------------------------

bool BridgeCore::listenclient() {
  Winsock1_->SetLocalAddress(listenAddress_);
  return Winsock1_->Listen(static_cast<std::uint16_t>(config_.listenport));
}

void BridgeCore::ListenOrRetry() {
  if (shuttingDown_ || listenRetry_->Enabled() || listenclient()) return;
  addlog(Cat("ERROR cannot listen on port ", config_.listenport, ", trying again every 10 s: ",
             ListenProblem(Winsock1_->ListenError())));
  listenRetry_->SetEnabled(true);
}

void BridgeCore::closeclient() {
  clientPresent_ = false;
  Winsock1_->Close();
}

void BridgeCore::Winsock1_ConnectionRequest() {
  if (shuttingDown_ || Winsock1_->ClientConnected()) {
    const std::string newcomer = Winsock1_->RequestAddress();
    if (shuttingDown_) {
      Winsock1_->Reject();
      return;
    }
    Winsock1_->RejectWith(kSecondClientText);
    addlog("ERROR second client refused, one is connected: " + ClientName(newcomer) + " refused, " +
           ClientName(clientAddress_) + " is served");
    return;
  }
  Winsock1_->Accept();
  if (!Winsock1_->ClientConnected()) return;
  clientAddress_ = Winsock1_->ClientAddress();
  clientPresent_ = true;
  // A block or line left unfinished by the last client is not this one's.
  rxbuf_.Reset();
  terminal_.Reset();
  addlog("accept winsock connection from client " + ClientName(clientAddress_));
  if (ClientTakesBlocks()) DeliverHeld();
}

void BridgeCore::Winsock1_DataArrival(std::string_view bytes) {
  const PublishLinksOnExit publish(*this);
  if (!shuttingDown_) rxchunk(bytes);
}

void BridgeCore::PublishLinks() {
  const int up = LinksUp();
  if (up == linksShown_) return;
  linksShown_ = up;
  view_.ShowLinksUp(up);
}

// The stream table, the mode and the links stay for the next client.
void BridgeCore::ClientLeft() {
  clientPresent_ = false;
  Winsock1_->CloseClient();
  ListenOrRetry();
  addlog("client disconnect winsock close " + ClientName(clientAddress_));
}

// The connection closed or failed: the client left, or the listening
// socket gave up and is listened on again.
void BridgeCore::ClientGone() {
  if (clientPresent_) {
    ClientLeft();
  } else {
    ListenOrRetry();
  }
}

void BridgeCore::Winsock1_Close() {
  if (!shuttingDown_) ClientGone();
}

// An error on the client's connection ends it: the bridge must not stay
// deaf, waiting for a close that may never come.
void BridgeCore::Winsock1_Error(const std::string& description) {
  addlog("Winsock Error " + LogBytes(description));
  if (!shuttingDown_ && !Winsock1_->ClientConnected()) ClientGone();
}

bool BridgeCore::sendraw(std::string_view bytes) {
  if (!Winsock1_->ClientConnected()) return false;
  if (bytes.size() > Winsock1_->WriteRoom()) {
    ClientStoppedReading();
    return false;
  }
  Winsock1_->Write(bytes);
  return true;
}

// The client's queue is full: it has stopped reading. Dropping what it
// cannot take would leave it believing links are up that have ended, so its
// connection ends instead; the links stay, and what they send is held for
// the next client as for one that is away.
void BridgeCore::ClientStoppedReading() {
  addlog("ERROR the client stopped reading and its queue is full: connection closed, links kept");
  clientPresent_ = false;
  Winsock1_->CloseClient();
  ListenOrRetry();
}

void BridgeCore::sendblock(std::string_view text) {
  std::string block;
  block.reserve(text.size() + 2);
  block += FEND;
  block.append(text);
  block += FEND;
  sendraw(block);
}

// Host mode cuts blocks; terminal mode reads the dialogue. A RESET in the
// dialogue hands what follows it to host mode and a "q" block hands what
// follows it to the dialogue, so this loops (each round on a shorter rest)
// rather than recursing on input. Each byte is read once, in one mode: the
// blocks before a "q" were carried out already, and read again as dialogue
// lines they could reset the bridge or change its call-sign.
void BridgeCore::rxchunk(std::string_view chunk) {
  std::string rest;
  std::string_view pending = chunk;
  while (!shuttingDown_) {
    if (hostmode_) {
      rxbuf_.Append(pending);
      while (hostmode_) {
        auto block = rxbuf_.Next();
        if (!block) break;
        hostcmd(splitblock(*block));
      }
      for (std::size_t n = rxbuf_.TakeOversized(); n > 0; --n) {
        addlog(Cat("ERROR client block over ", BlockReader::kMaxBlock, " bytes dropped"));
      }
      if (hostmode_) return;
      rest = rxbuf_.TakeRest();
      pending = rest;
      if (pending.empty()) return;
    }
    auto hostBytes = termcmd(pending);
    if (!hostBytes || hostBytes->empty()) return;
    rest = std::move(*hostBytes);
    pending = rest;
  }
}

// ---- blocks of link events ------------------------------------------------------------

bool BridgeCore::ClientTakesBlocks() const { return clientPresent_ && hostmode_; }

void BridgeCore::DeliverHeld() {
  while (!held_.Empty()) {
    if (!sendraw(held_.Front())) return;
    held_.PopFront();
  }
  overflowed_.fill(false);
}

void BridgeCore::TellClient(int s, const std::vector<std::string>& blocks, bool isDisconnect) {
  std::size_t sent = 0;
  if (ClientTakesBlocks()) {
    if (!held_.Empty()) DeliverHeld();
    // Behind blocks still held nothing may pass.
    while (held_.Empty() && sent < blocks.size() && sendraw(blocks[sent])) ++sent;
    if (sent == blocks.size()) return;
  }
  if (shuttingDown_) return;
  const bool kept = sent == 0 ? held_.Hold(s, blocks, isDisconnect)
                              : held_.Hold(s, {blocks.begin() + static_cast<std::ptrdiff_t>(sent), blocks.end()},
                                           isDisconnect);
  if (!kept) HeldOverflow(s);
}

// Too much held for a client that is away: end the link that produced it
// rather than drop its data unseen or hold without bound.
void BridgeCore::HeldOverflow(int s) {
  const Stream stream = streams_[s];
  const bool linkUp =
      stream.strmstate == StreamState::Connected || stream.strmstate == StreamState::Connecting;
  if (!std::exchange(overflowed_.at(static_cast<std::size_t>(s)), true) || linkUp) {
    addlog(Cat("ERROR stream ", StreamTable::Letter(s), " holds over ", HeldBlocks::kStreamBudget,
               " bytes for the client, ", linkUp ? "link disconnected" : "dropping"));
  }
  if (!linkUp) return;
  if (control_.AX25Disconnect(stream.chanid)) {
    if (streams_.Holding(stream.chanid) == s) Ending(s, LinkEnd::Bridge);
  } else if (streams_.Holding(stream.chanid) == s) {
    EndStream(s, LinkEnd::Bridge);
  }
}

}  // namespace tw
