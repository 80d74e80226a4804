// Start-up, shutdown, the client connection, and the blocks that link events
// send to the client (or hold for it).
#include "bridge/bridge_core.h"

#include <utility>

#include "bridge/log_text.h"
#include "bridge/start_lines.h"
#include "control/link/text.h"

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

  if (!options.engineHost.empty()) control_.SetAddress(options.engineHost);
  control_.SetPort(config_.engineport);
  control_.SetEnabled(true);
  control_.SetActive(true);
  control_.SetAX25(true);
  engineHost_ = options.engineHost.empty() ? std::string(kDefaultEngineHost) : options.engineHost;
  engineCheck_.Start(engineHost_, config_.engineport);

  if (!options.listenAddress.empty()) listenAddress_ = options.listenAddress;
  addlog(SettingsLine(config_, engineHost_, listenAddress_));
  const std::string where = Cat(listenAddress_, " port ", config_.listenport);
  if (!listenclient()) {
    Form_Unload();
    return "cannot listen for the client on " + where + ": " + ListenProblem(Winsock1_->ListenError());
  }
  addlog("listening for the client on " + where);
  if (!IsLoopback(listenAddress_)) addlog(OpenListenLine(listenAddress_, config_.listenport, mycall_));
  return {};
}

void BridgeCore::Form_Unload() {
  if (shuttingDown_) return;
  shuttingDown_ = true;
  supervisor_.Stop();
  engineCheck_.Stop();
  listenRetry_->SetEnabled(false);
  held_.Clear();
  closeclient();
  control_.VOKUnRegister(mycall_);
  view_.ShowMyCall("");
  control_.SetActive(false);
  control_.SetEnabled(false);
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
    const std::string newcomer = Winsock1_->PeerAddress();
    if (shuttingDown_) {
      Winsock1_->Reject();
      return;
    }
    Winsock1_->RejectWith(kSecondClientText);
    addlog("ERROR second client refused, one is connected: " + ClientName(newcomer) + " refused, " +
           ClientName(clientAddress_) + " is served");
    return;
  }
  clientAddress_ = Winsock1_->PeerAddress();
  Winsock1_->Accept();
  if (!Winsock1_->ClientConnected()) return;
  clientPresent_ = true;
  // A block or line left unfinished by the last client is not this one's.
  rxbuf_.Reset();
  terminal_.Reset();
  addlog("accept winsock connection from client " + ClientName(clientAddress_));
  if (ClientTakesBlocks()) DeliverHeld();
}

void BridgeCore::Winsock1_DataArrival(std::string_view bytes) {
  if (!shuttingDown_) rxchunk(bytes);
}

// The stream table, the mode and the links stay for the next client.
void BridgeCore::ClientLeft() {
  clientPresent_ = false;
  Winsock1_->CloseClient();
  ListenOrRetry();
  addlog("client disconnect winsock close " + ClientName(clientAddress_));
}

void BridgeCore::Winsock1_Close() {
  if (shuttingDown_) return;
  if (clientPresent_) {
    ClientLeft();
  } else {
    ListenOrRetry();
  }
}

// An error on the client's connection ends it: the bridge must not stay
// deaf, waiting for a close that may never come.
void BridgeCore::Winsock1_Error(const std::string& description) {
  addlog("Winsock Error " + LogBytes(description));
  if (shuttingDown_ || Winsock1_->ClientConnected()) return;
  if (clientPresent_) {
    ClientLeft();
  } else {
    ListenOrRetry();
  }
}

void BridgeCore::sendraw(std::string_view bytes) {
  if (Winsock1_->ClientConnected()) Winsock1_->Write(bytes);
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
// dialogue hands what follows it to host mode and a "q" block hands the
// chunk back to the dialogue, so this loops (each round on a shorter rest)
// rather than recursing on input.
void BridgeCore::rxchunk(std::string_view chunk) {
  std::string rest;
  std::string_view pending = chunk;
  while (!shuttingDown_) {
    if (hostmode_) {
      rxbuf_.Append(pending);
      while (auto block = rxbuf_.Next()) {
        block_ = splitblock(*block);
        hostcmd();
      }
      for (std::size_t n = rxbuf_.TakeOversized(); n > 0; --n) {
        addlog(Cat("ERROR client block over ", BlockReader::kMaxBlock, " bytes dropped"));
      }
      if (hostmode_) return;
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
  overflowed_.fill(false);
  for (const std::string& block : held_.TakeAll()) sendraw(block);
}

void BridgeCore::TellClient(int s, const std::vector<std::string>& blocks, bool isDisconnect) {
  if (ClientTakesBlocks()) {
    if (!held_.Empty()) DeliverHeld();
    for (const std::string& block : blocks) sendraw(block);
    return;
  }
  if (shuttingDown_) return;
  if (!held_.Hold(s, blocks, isDisconnect)) HeldOverflow(s);
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
    if (streams_.Holding(stream.chanid) == s) {
      streams_[s].strmstate = StreamState::Disconnecting;
      endAsked_.at(static_cast<std::size_t>(s)) = LinkEnd::Bridge;
    }
  } else if (streams_.Holding(stream.chanid) == s) {
    EndStream(s, LinkEnd::Bridge);
  }
}

}  // namespace tw
