// TVOKAPI: the one object through which a container uses the packet engine.
// It owns the engine link (TL2), the beacon and the digipeater, keeps the
// configuration as properties and pushes it into the link on activation,
// tracks AX.25 links in a channel table, turns the link's notifications into
// its own 20 events and offers the engine requests as methods.
//
// Everything runs on the loop's thread. Events are raised synchronously and
// may re-enter the component (a handler may send, disconnect, switch the
// table or the activation off, even throw: the exception is logged and the
// component carries on). A handler must not destroy the component.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "control/activex/vokapix.h"
#include "control/beacon/l2_beacon.h"
#include "control/beacon/l2_digi.h"
#include "control/component/channel_table.h"
#include "control/component/link_cb.h"
#include "control/link/event_slot.h"
#include "control/link/tl2.h"
#include "control/link/trace_log.h"
#include "platform/loop/event_loop.h"
#include "platform/loop/timer.h"

namespace tw {

// What GetPortInfo reports of one engine port.
struct PortInfoResult {
  std::string szPortName;
  int iOnAirBaud = 0;
  int iTrafficLevel = 0;
  int iTxDelay = 0;
  int iTxTail = 0;
  int iPersist = 0;
  int iSlotTime = 0;
  int iMaxFrame = 0;
  int iAX25Channel = 0;
  int iHowManyBytes = 0;
  int iFrames = 0;
};

// What AX25Info reports of one channel.
struct LinkInfoResult {
  int iPort = 0;
  std::string szFrom;
  std::string szTo;
  std::string szVIA;
  int iLinkStatus = 0;
  int iRx = 0;
  int iTx = 0;
};

class TVOKAPI {
 public:
  using Text = std::string;

  static constexpr const char* kVOKAPIVersion = "0.1 Build(04)";
  static constexpr std::uint8_t kRetries = 8;
  static constexpr unsigned kRetryIntervalMs = 5000;
  static constexpr unsigned kDrainPollMs = 1000;
  static constexpr unsigned kDrainQuickPollMs = 200;  // between answers while a link drains
  static constexpr int kDrainStallTicks = 60;   // no progress for this many polls: disconnect
  static constexpr int kDrainSilentTicks = 5;   // no answer at all for this many polls: disconnect

  explicit TVOKAPI(EventLoop& loop);
  ~TVOKAPI();
  TVOKAPI(const TVOKAPI&) = delete;
  TVOKAPI& operator=(const TVOKAPI&) = delete;

  // Properties, in declaration order.
  const Text& Log() const { return trace_.FileName(); }
  void SetLog(const Text& value) { trace_.SetFileName(value); }
  bool Debug() const { return trace_.On(); }
  void SetDebug(bool value);
  int Trace() const { return trace_.Level(); }
  void SetTrace(int value) { trace_.SetLevel(value); }
  int Port() const { return port_; }
  void SetPort(int value) { port_ = value; }
  const Text& Address() const { return address_; }
  void SetAddress(const Text& value) { address_ = value; }
  const Text& CallSign() const { return callSign_; }
  void SetCallSign(const Text& value);
  bool Kiss() const { return kiss_; }
  void SetKiss(bool value);
  bool Monitor() const { return monitor_; }
  void SetMonitor(bool value);
  bool Poll() const { return poll_; }
  void SetPoll(bool value);
  bool Register() const { return register_; }
  void SetRegister(bool value);
  const Text& MonitorMask() const { return monitorMask_; }
  void SetMonitorMask(const Text& value);
  bool Active() const { return active_; }
  void SetActive(bool value);
  std::uint8_t Retry() const { return retry_; }
  void SetRetry(std::uint8_t value) { retry_ = value; }
  bool LoopBack() const { return loopBack_; }
  int LoopBackPort() const { return loopBackPort_; }
  int PortMax() const { return portMax_; }
  bool Beacon() const { return beacon_; }
  void SetBeacon(bool value) { beacon_ = value; }
  const Text& BeaconText() const { return beaconText_; }
  void SetBeaconText(const Text& value) { beaconText_ = value; }
  const Text& BeaconId() const { return beaconId_; }
  void SetBeaconId(const Text& value) { beaconId_ = value; }
  const Text& BeaconCall() const { return beaconCall_; }
  void SetBeaconCall(const Text& value);
  int BeaconEvery() const { return beaconEvery_; }
  void SetBeaconEvery(int value);
  int BeaconPid() const { return beaconPid_; }
  void SetBeaconPid(int value) { beaconPid_ = value; }
  bool BeaconAuto() const { return beaconAuto_; }
  void SetBeaconAuto(bool value) { beaconAuto_ = value; }
  bool Digi() const { return digi_; }
  void SetDigi(bool value) { digi_ = value; }
  const Text& DigiCall() const { return digiCall_; }
  void SetDigiCall(const Text& value);
  bool DigiAuto() const { return digiAuto_; }
  void SetDigiAuto(bool value) { digiAuto_ = value; }
  Text VOKAPIVersion() const { return kVOKAPIVersion; }
  void SetVOKAPIVersion(const Text&) {}
  const Text& VOKVersion() const { return vokVersion_; }
  void SetVOKVersion(const Text&) {}
  bool AX25() const { return ax25Open_; }
  void SetAX25(bool value);

  // The trace: written when Debug is on and the level is at most Trace, to
  // the Log file and to OnDebug.
  void LogLine(int level, std::string_view message) { trace_.LogLine(level, message); }
  template <class Make>
    requires std::invocable<Make&>
  void LogLine(int level, Make&& make) {
    trace_.LogLine(level, std::forward<Make>(make));
  }
  void LogHex(int level, std::string_view data) { trace_.LogHex(level, data); }

  // The channel table.
  bool AX25Open();
  bool AX25Close();
  int AX25Connect(int iPort, const Text& szFrom, const Text& szTo, const Text& szVIA);
  bool AX25Disconnect(int iChannelId);
  bool AX25Send(int iChannelId, const Text& szData);
  // False leaves `info` as it was when the table is closed, and reports
  // port 0 and empty texts for an id that names no channel.
  bool AX25Info(int iChannelId, LinkInfoResult& info);
  // The frames and bytes of a channel's data that the engine still holds,
  // as last learnt: the engine is asked once a second while any is
  // outstanding. False, and both left as they were, for an unknown id or a
  // closed table.
  bool AX25Outstanding(int iChannelId, int& iFrames, int& iBytes);

  // Requests.
  bool Connect(int iPort, const Text& szFrom, const Text& szTo, const Text& szVIA, int bPid);
  bool Disconnect(int iPort, const Text& szFrom, const Text& szTo);
  bool SendData(int iPort, int bPid, const Text& szFrom, const Text& szTo, const Text& szData);
  bool SendUnproto(int iPort, int bPid, const Text& szFrom, const Text& szTo, const Text& szVIA,
                   const Text& szData);
  bool SendRaw(int iPort, const Text& szData);
  // A refusal leaves `info` as it was.
  bool GetPortInfo(int iPort, PortInfoResult& info);
  Text GetHeardInfo(int iPort, int iPos);
  void VOKRegister(const Text& szCall);
  void VOKUnRegister(const Text& szCall);
  void VOKWrite(int iPort, int bPid, const Text& szDataKind, const Text& szFrom, const Text& szTo,
                const Text& szData);
  Text FCallSign(const Text& szCall);
  Text XCallSign(const Text& szCall);
  void BeaconPost(int iPort, const Text& szFrom, const Text& szTo, const Text& szVIA, const Text& szMessage);
  void DigiPost(int iPort, const Text& szFrom, const Text& szTo, const Text& szData);

  // Events, one slot each as the control's list declares them, with that
  // list's parameters (Long as int, Text as a byte string, Bool as bool).
  // Each slot holds one handler: assign a callable or nullptr.
  using LongArgument = int;
  using TextArgument = const Text&;
  using BoolArgument = bool;
  template <class Result, class... Arguments>
  using Signature = Result(Arguments...);
#define TW_EVENT_ARGUMENT(kind, name) , kind##Argument
#define TW_EVENT_SLOT(name, dispid, parameters) EventSlot<Signature<void parameters>> name;
  VOKAPIX_EVENTS(TW_EVENT_SLOT, TW_EVENT_ARGUMENT)
#undef TW_EVENT_SLOT
#undef TW_EVENT_ARGUMENT
  // Forgets every handler.
  void ClearEvents();

  // The parts, for tests and for containers that want more than the
  // properties give.
  TL2& Link() { return *link_; }
  TL2Beacon& BeaconObject() { return *beaconObject_; }
  TL2Digi& DigiObject() { return *digiObject_; }
  std::size_t ChannelCount() const { return links_.Size(); }
  bool ReconnectPending() const { return retryTimer_ && retryTimer_->Enabled(); }

  // Tasks this library has posted to a loop that have not run yet, over
  // every component: the library's code must stay loaded until they ran.
  static int PostedWork();

 private:
  // Activation and reconnection.
  void Activate();
  // The settings the engine link and the beacon take from the component's
  // properties.
  void CopyLinkSettings();
  void CopyBeaconSettings();
  void Deactivate();
  void ScheduleRetry();
  void RetryTick();
  void LinkLost();

  // Handlers of the link layer, the beacon and the digipeater.
  void HandleConnect(int port, const Text& from, const Text& to, const Text& message);
  void HandleDisconnect(int port, const Text& from, const Text& to, const Text& message);
  void HandleData(int port, const Text& from, const Text& to, std::uint8_t pid, const Text& data);
  void HandleUnproto(int port, const Text& from, const Text& to, std::uint8_t pid, const Text& data);
  void HandleMonitor(TL2& link, int port, const Text& from, const Text& to, std::uint8_t pid, const Text& text);
  void HandleRaw(TL2& link, int port, const Text& frame);
  void HandleRead(int port, std::uint8_t pid, char kind, const Text& from, const Text& to, const Text& data);
  void HandleRegister(const Text& call, const Text& reply);
  void HandleVersion(int major, int minor);
  void HandlePortFrames(int port, int count);
  void HandlePortList();
  void HandleLinkFrames(int port, const Text& from, const Text& to, std::uint32_t count);
  void HandleReady();
  void HandleDown();
  void HandleError();
  void HandleBeacon(int port, const Text& from, const Text& to, const Text& via, const Text& message);
  void HandleDigi(int port, const Text& from, const Text& to, const Text& digiCall, const Text& data);
  void AttachAlwaysWanted();

  // The channel table.
  void AX25Conn(int port, const Text& from, const Text& to);
  void AX25Get(int port, const Text& from, const Text& to, const Text& data);
  void AX25Disc(int port, const Text& from, const Text& to);
  // The table's insert and delete, with their lines in the trace.
  LinkCB* Isrt(int port, const Text& from, const Text& to);
  void Dlte(int channelId);
  void EndEveryChannel();
  void PostDisconnected(int channelId);
  bool SendDisconnect(const LinkCB& link);

  // Holding a disconnect until the engine has sent the link's data.
  void StartDrain(LinkCB& link);
  void DrainTick();
  void QuickDrainTick();
  void FinishDrain(int channelId);
  // The once-a-second question about a link's outstanding frames, shared by
  // the drain and the meter.
  void StartFrameTimer();
  bool AskFrames(LinkCB& link);
  // Metering the data the engine still holds (vokapi_meter.cpp).
  void NoteSent(int channelId, std::size_t bytes);
  static bool Metered(const LinkCB& link);
  void MeterTick();
  void CountOut(LinkCB& link, std::uint32_t frames);

  // The checks of a property setter, with their lines in the trace
  // (vokapi_properties.cpp).
  struct SetterRule;
  template <class T>
  bool MayChange(const SetterRule& rule, T& stored, const T& value);

  // Registration of calls on every engine port.
  void RegisterEverywhere(const Text& call);
  void RegisterOnOtherPorts(const Text& call);
  int* AwaitedAnswers(const Text& call);
  bool RequestAllowed(std::string_view tag);

  // Raises a container event through a copy of its handler; an exception the
  // handler throws is logged and goes no further.
  template <class Event, class... Args>
  void Raise(std::string_view name, const Event& event, Args&&... args);
  void DebugSink(const std::string& line);
  void Post(std::function<void()> task);

  EventLoop& loop_;
  // The trace; its switch is Debug, its level Trace, its file Log.
  TraceLog trace_;
  bool inDebugEvent_ = false;

  std::unique_ptr<TL2> link_;
  Text vokVersion_ = "0.0";
  Text address_ = "127.0.0.1";
  int port_ = 8000;
  Text callSign_ = "NOBODY-0";
  bool monitor_ = false;
  Text monitorMask_ = "IUSC";
  bool kiss_ = false;
  bool poll_ = false;
  bool active_ = false;
  bool register_ = false;
  std::uint8_t retry_ = kRetries;
  bool loopBack_ = false;
  int loopBackPort_ = 0;
  int portMax_ = 0;
  bool portInfo_ = false;

  std::unique_ptr<TL2Beacon> beaconObject_;
  bool beacon_ = false;
  Text beaconText_ = "*** Beacon ***";
  Text beaconId_ = "ID";
  Text beaconCall_ = "NOBODY-0";
  int beaconEvery_ = 600000;
  int beaconPid_ = 240;
  Text beaconPath_;
  bool beaconAuto_ = true;

  std::unique_ptr<TL2Digi> digiObject_;
  bool digi_ = false;
  Text digiCall_ = "NOBODY-1";
  bool digiAuto_ = true;

  ChannelTable links_;
  bool ax25Open_ = false;  // the AX25 property: the table is in use

  // Activation as the container last asked for it; the engine's answer
  // makes `active_`.
  bool wanted_ = false;
  std::unique_ptr<Timer> retryTimer_;
  std::unique_ptr<Timer> drainTimer_;
  std::unique_ptr<Timer> quickDrainTimer_;
  // Calls registered on this connection, for the ports the engine lists
  // after the first registration went out, and whose answer was raised.
  std::vector<Text> registeredCalls_;
  std::vector<Text> reportedCalls_;
  // Per call registered and not yet reported: how many ports have still to
  // answer. A refusal is reported only when no port is left to accept.
  std::vector<std::pair<Text, int>> awaitedAnswers_;
  bool portList_ = false;  // the engine listed its ports on this connection

  // Posted tasks check it: the component may be gone when they run.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace tw
