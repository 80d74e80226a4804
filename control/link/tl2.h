// TL2: the control's link to the packet engine. One TCP connection; frames
// out through Write (split at 255 data bytes), frames in through the frame
// reader and Decode, which keeps the port table and raises the events.
//
// Everything runs on the loop's thread. Event handlers run synchronously and
// may call back into the link (send, close, reopen); they must not destroy it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "control/link/ax25_codec.h"
#include "control/link/event_slot.h"
#include "control/link/frame_codec.h"
#include "control/link/frame_reader.h"
#include "control/link/monitor_text.h"
#include "control/link/port_info.h"
#include "platform/text/text.h"
#include "control/link/tl2_trap.h"
#include "control/link/trace_log.h"
#include "platform/loop/event_loop.h"

namespace tw {

class TL2 {
 public:
  static constexpr unsigned kPollIntervalMs = 60000;

  // Event types; every handler gets the link as its first argument. Each
  // event holds one handler: assign a callable or nullptr.
  using TOnNotify = EventSlot<void(TL2&)>;
  using TOnRead = EventSlot<void(TL2&, int port, std::uint8_t pid, char kind,
                                 const std::string& callFrom, const std::string& callTo,
                                 const std::string& data)>;
  using TOnRaw = EventSlot<void(TL2&, int port, const std::string& data)>;
  using TOnVersion = EventSlot<void(TL2&, int major, int minor)>;
  using TOnPortFrames = EventSlot<void(TL2&, int port, int count)>;
  using TOnLinkFrames = EventSlot<void(TL2&, int port, const std::string& callFrom,
                                       const std::string& callTo, std::uint32_t count)>;
  using TOnRegister = EventSlot<void(TL2&, const std::string& callSign, const std::string& data)>;
  using TOnStation = EventSlot<void(TL2&, int port, const std::string& station, const std::string& line)>;
  using TOnLink = EventSlot<void(TL2&, int port, const std::string& callFrom,
                                 const std::string& callTo, const std::string& line)>;
  using TOnData = EventSlot<void(TL2&, int port, const std::string& callFrom,
                                 const std::string& callTo, std::uint8_t pid,
                                 const std::string& data)>;
  using TOnIFrame = EventSlot<void(TL2&, int port, const std::string& source,
                                   const std::string& destination, const std::string& via,
                                   const std::string& type, const std::string& pid, int nr,
                                   int ns, int length, const std::string& info)>;
  using TOnUIFrame = EventSlot<void(TL2&, int port, const std::string& source,
                                    const std::string& destination, const std::string& via,
                                    const std::string& type, const std::string& pid,
                                    int length, const std::string& info)>;
  using TOnSFrame = EventSlot<void(TL2&, int port, const std::string& callFrom,
                                   const std::string& callTo, const std::string& via,
                                   const std::string& type, int nr)>;

  explicit TL2(EventLoop& loop);
  ~TL2();
  TL2(const TL2&) = delete;
  TL2& operator=(const TL2&) = delete;

  // Settings; refused while connected.
  void SetAddress(const std::string& address);
  void SetPort(int port);
  void SetCallSign(const std::string& callSign);
  const std::string& Address() const { return address_; }
  int Port() const { return port_; }
  const std::string& CallSign() const { return callSign_; }

  bool Kiss = false;  // raw frames wanted: switched on when the connection opens
  bool Poll = false;  // re-request the port list every 60 seconds

  // Opens (true) or closes (false) the connection; a connection attempt under
  // way counts as open, so switching off aborts it.
  void SetActive(bool active);
  void Open();
  void Close();

  bool Connected() const { return connected_; }
  bool Registered() const { return registered_; }
  const std::string& MonitorMask() const { return monitorMask_; }
  // Whether a mask asks the engine for monitored frames at all.
  static bool MonitorWanted(const std::string& mask) {
    return mask.find_first_of("IUSC") != std::string::npos;
  }
  int VersionMajor() const { return versionMajor_; }
  int VersionMinor() const { return versionMinor_; }
  int PortMax() const { return portMax_; }
  bool LoopBack() const { return loopBack_; }
  int LoopBackPort() const { return loopBackPort_; }

  // Port records 1 to 16; nullptr for any other number.
  const PortInfo* PortRecord(int port) const;

  TraceLog& Log() { return log_; }

  // Sending.
  bool Write(int port, std::uint8_t pid, char kind, std::string_view callFrom,
             std::string_view callTo, std::string_view data);

  // Requests.
  void SetRegister(bool on);
  bool VOKRegister(const std::string& callSign);
  bool VOKUnRegister(const std::string& callSign);
  void SetMonitor(const std::string& mask);
  // Each request reports whether its frame was written to the engine.
  bool ConnectExt(int port, std::uint8_t pid, const std::string& callFrom,
                  const std::string& callTo, const std::string& via);
  bool DisconnectExt(int port, const std::string& callFrom, const std::string& callTo);
  bool SendData(int port, std::uint8_t pid, const std::string& callFrom, const std::string& callTo,
                std::string_view data);
  bool SendUNPROTO(int port, std::uint8_t pid, const std::string& callFrom,
                   const std::string& callTo, const std::string& via, std::string_view data);
  bool SendKiss(int port, std::string_view frame);
  // Asks how many frames of the link between the own `callFrom` and the
  // remote `callTo` the engine still holds; the answer is OnLinkFrames.
  bool AskLinkFrames(int port, const std::string& callFrom, const std::string& callTo);

  // The digipeater block for blank-separated calls: empty for no call; false
  // (with a log line) when the path holds more than 25 calls or a call longer
  // than its 10-byte slot.
  bool BuildVia(std::string_view calls, std::string& block);

  // Receiving: what the socket delivered. Public so that tests and fuzzers
  // can drive the receive path directly.
  void Store(std::string_view bytes);
  void Decode(const Frame& frame);

  // Text parsers of the engine's replies.
  bool GetHeader(std::string_view text, MonitorHeader& out) { return tw::GetHeader(log_, text, out); }
  void ParsePort(std::string_view data);
  void ParseParam(int port, std::string_view data);
  void ParseHeard(int port, std::string_view data);

  // AX.25 addresses and raw frames.
  std::string FCallSign(std::string_view address) { return tw::FCallSign(log_, address); }
  std::string XCallSign(std::string_view callSign) { return tw::XCallSign(log_, callSign); }
  KissControl KissCtl(std::uint8_t control) { return tw::KissCtl(log_, control); }
  KissFrame KissDecode(std::string_view frame) { return tw::KissDecode(log_, port_, frame); }

  // Events.
  TOnRead OnRead;
  TOnRaw OnRaw;
  TOnNotify OnPort;
  TOnNotify OnParameter;
  TOnVersion OnVersion;
  TOnPortFrames OnPortFrames;
  TOnLinkFrames OnLinkFrames;
  TOnRegister OnRegister;
  TOnRegister OnUnRegister;
  TOnStation OnHisConnect;
  TOnStation OnMyConnect;
  TOnStation OnStationConnect;
  TOnLink OnConnect;
  TOnStation OnRetryOut;
  TOnStation OnHisDisconnect;
  TOnStation OnMyDisconnect;
  TOnStation OnStationDisconnect;
  TOnLink OnDisconnect;
  TOnData OnData;
  TOnData OnDataUI;
  TOnData OnMonitor;
  TOnIFrame OnIFrame;
  TOnUIFrame OnUIFrame;
  TOnSFrame OnSFrame;
  TOnNotify OnVOKUp;
  TOnNotify OnVOKDown;
  TOnNotify OnVOKError;
  TOnNotify OnDestroy;

 private:
  // The record of port 1..kPortRecords, to be written; marks the table.
  PortInfo& WritablePort(int port);
  void VOKConnect();
  void VOKDisc();
  void VOKError(const std::string& description);
  void VOKRead(std::string_view bytes);
  void Send(int port, std::uint8_t pid, char kind, std::string_view callFrom,
            std::string_view callTo, std::string_view data);
  void SendVOK(std::string_view bytes);
  void PollTick();
  bool SendRegistration(std::string_view name, char kind, const std::string& callSign);
  void ConnectionEnded();
  // Forgets what was read on the connection so far; frames of a read under
  // way are decoded only while the session they arrived in lasts.
  void EndSession();

  void DecodeConnect(const Frame& frame, const std::string& line, const std::string& callFrom,
                     const std::string& callTo);
  void DecodeDisconnect(const Frame& frame, const std::string& line, const std::string& callFrom,
                        const std::string& callTo);
  void DecodeUnproto(const Frame& frame);
  void DecodeMonitored(const Frame& frame, const std::string& callFrom, const std::string& callTo);

  // The slot keeps its handler alive for the call, so a handler that
  // replaces its own event (a container re-activating from inside it) does
  // not free itself mid-call.
  template <class Event, class... Args>
  void Raise(const Event& event, Args&&... args) {
    event(*this, std::forward<Args>(args)...);
  }

  // Runs `body`; an exception is logged as "{L2} Exception on module <name>".
  template <class Body>
  bool Trap(std::string_view name, Body&& body) {
    return RunTrapped(log_, std::forward<Body>(body),
                      [&] { return Cat("{L2} Exception on module ", name); });
  }

  EventLoop& loop_;
  std::unique_ptr<ClientSocket> socket_;
  std::unique_ptr<Timer> pollTimer_;
  TraceLog log_;

  std::string address_;
  int port_ = 8000;
  std::string callSign_;
  FrameReader reader_;
  std::uint64_t session_ = 0;  // changes whenever a connection starts or ends
  bool connected_ = false;
  bool registered_ = false;
  std::string monitorMask_ = "N";
  int versionMajor_ = 0;
  int versionMinor_ = 0;
  int portMax_ = kPortRecords;
  bool loopBack_ = false;
  int loopBackPort_ = 0;
  std::array<PortInfo, kPortRecords> ports_{};
  // Set by every write to a record, so that a new connection clears the
  // table only when an earlier one filled something in.
  bool portsWritten_ = false;
};

}  // namespace tw
