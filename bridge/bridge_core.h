// The bridge: plays a KAM controller in host mode to one mail client on a
// listening socket, and carries its ten streams over the control's AX.25
// links. It owns the state of the program's main window (configuration,
// stream table, interface mode, receive buffer) without any of its UI: what
// it shows goes out through BridgeView, what it asks of the engine through
// BridgeControl.
//
// Everything runs on the loop's thread. The control's events arrive as the
// On... calls below, possibly from inside a call the bridge makes on the
// control; the socket's notifications arrive through the Winsock1_... calls,
// which the constructor wires to the listening socket it creates.
//
// Life: construct, initvars (start-up), run the loop, Form_Unload (shutdown;
// or StopLinks, the loop until the links have ended, then Form_Unload), keep
// the loop running a little while the control writes its last requests,
// destroy.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/block_reader.h"
#include "bridge/bridge_control.h"
#include "bridge/bridge_view.h"
#include "bridge/command_line.h"
#include "bridge/engine_check.h"
#include "bridge/engine_supervisor.h"
#include "bridge/held_blocks.h"
#include "bridge/host_block.h"
#include "bridge/link_log.h"
#include "bridge/stream_table.h"
#include "bridge/terminal_reader.h"
#include "platform/loop/event_loop.h"

namespace tw {

struct StartOptions {
  // `mycall[,defport[,acceptany[,engineport[,listenport]]]]`; empty keeps
  // every default.
  std::string commandLine;
  // Start in host mode, for clients that expect a controller whose host
  // mode was made permanent.
  bool hostMode = false;
  // The engine's host; empty keeps the control's own (127.0.0.1).
  std::string engineHost;
  // The address to listen on; empty means every interface (0.0.0.0).
  std::string listenAddress;
};

class BridgeCore {
 public:
  // While the listening socket cannot be bound again, it is tried this often.
  static constexpr unsigned kListenRetryMs = 10000;
  // Data blocks to the client carry at most this much of one engine frame.
  static constexpr std::size_t kMaxBlockData = 256;

  BridgeCore(EventLoop& loop, BridgeControl& control, BridgeView& view);
  ~BridgeCore();
  BridgeCore(const BridgeCore&) = delete;
  BridgeCore& operator=(const BridgeCore&) = delete;

  // Start-up, once: reads the command line, shows the settings, sets up the
  // control (Address when given, Port, Enabled, Active, AX25) and listens.
  // Returns why the program must not run (a port out of range, an accept
  // field that is no truth value, the listen port taken), to be reported
  // before exiting with status 1; empty on success. On failure the control
  // is left as it was, or switched off again.
  std::string initvars(const StartOptions& options);

  // Shutdown: closes the client (and the listening socket), unregisters the
  // call-sign, empties the MyCall box, switches the control's Active and
  // Enabled off, which ends every link at once. Nothing is restarted
  // afterwards; a second call does nothing.
  void Form_Unload();

  // The program's shutdown lets the links send what they hold first. Step
  // one, StopLinks: everything Form_Unload does before switching the control
  // off, then a disconnect for every link a stream holds (the control sends
  // it once the engine has sent the link's data, at once for a link that
  // has nothing outstanding). The caller runs the loop while LinksUp() is
  // above 0; each link's end is logged. If it stops waiting before that, it
  // calls CutLinks with the reason, which names what is cut. Step two is
  // Form_Unload.
  void StopLinks();
  int LinksUp() const;
  void CutLinks(std::string_view why);

  // Control events.
  void OnReady(bool fReady);
  void OnRegister(const std::string& szCall, bool fFlags);
  void OnAX25Connect(std::int32_t iChannelId);
  void OnAX25Disconnect(std::int32_t iChannelId);
  void OnAX25Receive(std::int32_t iChannelId, const std::string& szData);
  void OnError();  // the control gave up reaching the engine
  // The engine's own notice that a link ended (the control's OnDisconnect
  // and OnRetryOut, raised just before OnAX25Disconnect): only for the log,
  // which quotes why a connect was not made.
  void OnLinkNotice(int port, const std::string& from, const std::string& to, const std::string& text);
  void OnDisconnect(std::int32_t port, const std::string& from, const std::string& to, const std::string& text) {
    OnLinkNotice(port, from, to, text);
  }
  void OnRetryOut(std::int32_t port, const std::string& from, const std::string& to, const std::string& text) {
    OnLinkNotice(port, from, to, text);
  }
  // The control has the engine's port list: logged once per engine session,
  // with a warning when the default radio port is not among the ports.
  void OnPort();

  // Socket notifications.
  void Winsock1_ConnectionRequest();
  void Winsock1_DataArrival(std::string_view bytes);
  void Winsock1_Close();
  void Winsock1_Error(const std::string& description);

  // The one way lines leave the bridge.
  void addlog(std::string_view text);

  // State, for front ends and tests.
  const CommandLine& Config() const { return config_; }
  const std::string& mycall() const { return mycall_; }
  bool hostmode() const { return hostmode_; }
  const StreamTable& Streams() const { return streams_; }
  const HeldBlocks& Held() const { return held_; }
  const BlockReader& rxbuf() const { return rxbuf_; }
  const TerminalReader& Terminal() const { return terminal_; }
  bool ClientPresent() const { return clientPresent_; }
  bool ShuttingDown() const { return shuttingDown_; }
  const EngineSupervisor& Supervisor() const { return supervisor_; }
  // What the log knows of stream s's link (calls, port, path, bytes).
  const LinkRecord& Link(int s) const { return records_.at(static_cast<std::size_t>(s)); }

  // The engine as the bridge last saw it: where it is asked for, whether it
  // answered, and the version it gave then.
  struct EngineState {
    std::string host = "127.0.0.1";
    bool up = false;
    std::string version;
  };
  const EngineState& Engine() const { return engine_; }
  // Where the client is listened for, and where the one connected comes
  // from (empty while none is).
  const std::string& ListenAddress() const { return listenAddress_; }
  std::string ClientAddress() const { return clientPresent_ ? Winsock1_->ClientAddress() : std::string(); }

 private:
  // Client connection and framing (bridge_core.cpp).
  bool listenclient();
  void ListenOrRetry();
  void ClientLeft();
  void ClientGone();
  void closeclient();
  // False when the bytes did not go out: no client, or one that stopped
  // reading (its connection is ended then, see ClientStoppedReading).
  bool sendraw(std::string_view bytes);
  void sendblock(std::string_view text);
  void ClientStoppedReading();
  // Tells the view the number of links held, when it changed.
  void PublishLinks();
  // First in each handler that may change the streams: the view hears the
  // count once the handler is done, whichever way it returns.
  class PublishLinksOnExit {
   public:
    explicit PublishLinksOnExit(BridgeCore& core) : core_(core) {}
    ~PublishLinksOnExit() { core_.PublishLinks(); }
    PublishLinksOnExit(const PublishLinksOnExit&) = delete;
    PublishLinksOnExit& operator=(const PublishLinksOnExit&) = delete;

   private:
    BridgeCore& core_;
  };
  void rxchunk(std::string_view chunk);
  bool ClientTakesBlocks() const;
  void DeliverHeld();
  // Blocks of a link event for stream `s`: to the client, or held for it.
  void TellClient(int s, const std::vector<std::string>& blocks, bool isDisconnect = false);
  void HeldOverflow(int s);
  void CloseSession();

  // Host-mode commands (host_commands.cpp).
  void hostcmd(const HostBlock& b);
  void HostData(int s, std::string_view blkdata);
  void HostConnect(int s, std::string_view text);
  void HostDisconnect(int s);
  void HostMyCall(std::string_view text);
  void HostStatus();
  std::string Unacknowledged(std::int32_t chanid);
  void HostTries(const HostBlock& b);
  void HostUnknown(const HostBlock& b);
  void AnswerEmpty(const HostBlock& b);
  // "Link state is: ..." for a stream (host_commands.cpp).
  std::string LinkStateText(const Stream& stream, std::string_view failure = {});
  int streamltrnbr(std::string_view letter);

  // Terminal dialogue (terminal_dialogue.cpp). Returns the bytes that follow
  // a RESET, which belong to host mode.
  std::optional<std::string> termcmd(std::string_view chunk);

  // MYCALL, from either interpreter.
  enum class MyCallOutcome { Query, Busy, Set };
  MyCallOutcome CheckMyCall(std::string_view text, std::string& call) const;
  void ChangeMyCall(const std::string& call);

  // Link events (link_events.cpp).
  using LinkInfo = BridgeControl::LinkInfo;
  // What the control knows of a link; nothing for an id it does not know,
  // and then `failure`, when given, is logged.
  std::optional<LinkInfo> Info(std::int32_t chanid, std::string_view failure = {});
  // The remote station and the path, as replies name a link: "N0XYZ VIA
  // RELAY"; empty for a link the control does not know.
  static std::string Remote(const std::optional<LinkInfo>& info);
  void EndStream(int s, LinkEnd by);
  // Stream s's link was asked to end by `by` (the control said yes): it is
  // ending, and the log says so when the engine still holds frames of it.
  void Ending(int s, LinkEnd by);
  LinkRecord& Record(int s) { return records_.at(static_cast<std::size_t>(s)); }
  // Who ends stream s's link, as its disconnect event arrives.
  LinkEnd EndedBy(int s) const;

  BridgeControl& control_;
  BridgeView& view_;
  std::unique_ptr<ListenSocket> Winsock1_;
  std::unique_ptr<Timer> listenRetry_;
  EngineSupervisor supervisor_;
  EngineState engine_;
  EngineCheck engineCheck_;

  CommandLine config_;
  std::string mycall_;
  std::string listenAddress_ = "0.0.0.0";
  StreamTable streams_;
  bool hostmode_ = false;
  BlockReader rxbuf_;
  TerminalReader terminal_;
  HeldBlocks held_;
  // Streams whose held blocks overflowed since the client last took them.
  std::array<bool, kStreamCount + 1> overflowed_{};
  std::array<LinkRecord, kStreamCount + 1> records_{};
  // Streams whose disconnect was asked for here, and by whom.
  std::array<std::optional<LinkEnd>, kStreamCount + 1> endAsked_{};
  // The engine's last notice of a link ending, until its disconnect event.
  struct Notice {
    int port = 0;
    std::string remote;
    std::string text;
  };
  std::optional<Notice> notice_;
  // Engine settings the client sent, each logged the first time only.
  std::set<std::string> ignoredSettings_;
  int enginePorts_ = 0;  // radio ports the engine announced; 0 until it did
  bool portsLogged_ = false;

  bool clientPresent_ = false;
  std::string clientAddress_;  // of the client served, or the last one
  bool shuttingDown_ = false;
  bool unloaded_ = false;
  bool stoppingLinks_ = false;
  int linksShown_ = 0;
  // The remote station of each stream's link when StopLinks asked it to end.
  std::array<std::string, kStreamCount + 1> stopping_{};
};

}  // namespace tw
