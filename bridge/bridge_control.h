// What the bridge uses of the control: the members of its contract with the
// control plus Address and AX25Outstanding. The program's real implementation calls the control
// by dispatch id; tests use a fake. Every member runs on the loop's thread.
//
// The control's events reach the bridge as calls of BridgeCore's On...
// methods (OnReady, OnRegister, OnAX25Connect, OnAX25Disconnect,
// OnAX25Receive, OnError), raised synchronously on the same thread.
//
// Texts are byte strings: every byte 0-255 passes unchanged both ways.
// Channel ids are 32-bit, from 1 upward, never reused; 0 means none.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tw {

class BridgeControl {
 public:
  virtual ~BridgeControl() = default;

  // `Port` put (DISPID 23): TCP port of the packet engine.
  virtual void SetPort(int port) = 0;
  // `Address` put (DISPID 24): host of the packet engine ("127.0.0.1" when
  // never set).
  virtual void SetAddress(const std::string& address) = 0;
  // The container's `Enabled` for the control it holds.
  virtual void SetEnabled(bool enabled) = 0;
  // `Active` put (DISPID 31): true connects to the engine; false disconnects,
  // raising OnAX25Disconnect for every channel (possibly from inside this
  // call). After OnError, true starts a fresh cycle of attempts; while
  // attempts are under way it hurries the next one.
  virtual void SetActive(bool active) = 0;
  // `AX25` put (DISPID 48): true opens the channel table.
  virtual void SetAX25(bool on) = 0;

  // `VOKVersion` get (DISPID 47): "major.minor" of the engine, "0.0" before
  // it has answered.
  virtual std::string VOKVersion() = 0;
  // `PortMax` get (DISPID 35): how many radio ports the engine has, 0 before
  // it has answered.
  virtual int PortMax() = 0;

  // The engine's radio ports by name, 1 upward (`PortMax` and each port's
  // `GetPortInfo`); empty while the control has not had the list.
  virtual std::vector<std::string> PortNames() = 0;

  // `VOKRegister` / `VOKUnRegister` (DISPIDs 8, 9): (un)registers a call-sign
  // with the engine; the answer comes later as OnRegister.
  virtual void VOKRegister(const std::string& callSign) = 0;
  virtual void VOKUnRegister(const std::string& callSign) = 0;

  // `AX25Connect` (DISPID 16): asks for a link from the own call `from` to
  // `to` through `via` (calls separated by commas, or empty) on radio port
  // `port` (1-16). Returns a new channel id, or 0 when refused at once (an
  // empty or invalid call, a link that already exists, the table closed).
  // Raises no event from inside the call. With the engine down it still
  // returns an id, whose OnAX25Disconnect follows after the call returned.
  // Otherwise OnAX25Connect(id) once the link is up. Calls compare without
  // regard to letter case; the radio port is part of a link's identity.
  virtual std::int32_t AX25Connect(int port, const std::string& from, const std::string& to,
                                   const std::string& via) = 0;
  // `AX25Disconnect` (DISPID 17): true when the id names a recorded link in
  // any state; its OnAX25Disconnect follows (after the engine has sent what
  // the link still holds). A second call on an ending link returns true and
  // changes nothing. False for an unknown id or a closed table.
  virtual bool AX25Disconnect(std::int32_t channelId) = 0;
  // `AX25Send` (DISPID 18): true only when the data was really handed on to
  // the engine for a connected link; false when it could not be sent.
  virtual bool AX25Send(std::int32_t channelId, const std::string& data) = 0;

  // The seven by-reference results of `AX25Info`.
  struct LinkInfo {
    std::int32_t iPort = 0;
    std::string szFrom;  // own call-sign, for both directions
    std::string szTo;    // remote station, for both directions
    std::string szVIA;
    std::int32_t iLinkStatus = 0;  // 0 created, 1 connecting, 4 connected
    std::int32_t iRx = 0;
    std::int32_t iTx = 0;
  };
  // `AX25Info` (DISPID 15): true and `info` filled for a recorded id. False
  // otherwise; the fields may then be left as they were, so callers reset
  // them before each call.
  virtual bool AX25Info(std::int32_t channelId, LinkInfo& info) = 0;

  // `AX25Outstanding` (DISPID 61): true and the frames and bytes of the
  // link's data that the engine still holds, as last learnt, for a recorded
  // id; false otherwise, both then left as they were.
  virtual bool AX25Outstanding(std::int32_t channelId, std::int32_t& frames, std::int32_t& bytes) = 0;
};

}  // namespace tw
