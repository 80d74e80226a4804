// TVOKAPIX: the component's events, relayed to the container's sink as
// IDispatch::Invoke calls with the events interface's DISPIDs.
#include <array>
#include <string>

#include "control/activex/vokapix_control.h"
#include "platform/com/variants.hpp"

namespace tw::activex {

namespace {

void Put(VARIANT& v, int value) { com::SetLong(&v, value); }
void Put(VARIANT& v, bool value) { com::SetBool(&v, value); }
// Out of memory leaves the argument empty, which reads as an empty text.
void Put(VARIANT& v, const std::string& value) { com::SetText(&v, value); }

}  // namespace

template <class... Args>
void TVOKAPIX::Fire(DISPID dispid, const Args&... args) {
  com::ComPtr<IDispatch> sink = Sink();
  if (!sink) return;
  // The container may release the control or its sink from its handler.
  // The hold goes before the mark: a last release at the end of this call
  // then still finds the control busy and waits for the loop, because the
  // component that raised the event is on the stack below.
  Busy busy(*this);
  com::ComPtr<IVOKAPIX> hold(this);
  constexpr std::size_t kCount = sizeof...(Args);
  std::array<VARIANT, kCount> values{};
  [[maybe_unused]] std::size_t slot = kCount;  // arguments go right to left
  ((VariantInit(&values[--slot]), Put(values[slot], args)), ...);
  DISPPARAMS params{kCount == 0 ? nullptr : values.data(), nullptr, static_cast<UINT>(kCount), 0};
  try {
    // What the sink answers does not matter: a sink that handles only some
    // events must not stop what follows an event.
    sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  } catch (...) {
    // Nothing of a container's failure goes back into the component.
  }
  for (VARIANT& v : values) VariantClear(&v);
}

void TVOKAPIX::RelayEvents() {
  TVOKAPI& api = *api_;
  using Text = TVOKAPI::Text;
  api.OnDebug = [this](const Text& line) { Fire(DISPID_VOKAPIXEvents_OnDebug, line); };
  api.OnConnect = [this](int port, const Text& from, const Text& to, const Text& data) {
    Fire(DISPID_VOKAPIXEvents_OnConnect, port, from, to, data);
  };
  api.OnDisconnect = [this](int port, const Text& from, const Text& to, const Text& data) {
    Fire(DISPID_VOKAPIXEvents_OnDisconnect, port, from, to, data);
  };
  api.OnData = [this](int port, const Text& from, const Text& to, int pid, const Text& data) {
    Fire(DISPID_VOKAPIXEvents_OnData, port, from, to, pid, data);
  };
  api.OnRaw = [this](int port, const Text& data) { Fire(DISPID_VOKAPIXEvents_OnRaw, port, data); };
  api.OnUnproto = [this](int port, const Text& from, const Text& to, int pid, const Text& data) {
    Fire(DISPID_VOKAPIXEvents_OnUnproto, port, from, to, pid, data);
  };
  api.OnMonitor = [this](int port, const Text& from, const Text& to, int pid, const Text& data) {
    Fire(DISPID_VOKAPIXEvents_OnMonitor, port, from, to, pid, data);
  };
  api.OnMonitorData = [this](int port, const Text& from, const Text& to, const Text& via, const Text& type,
                             const Text& pid, int nr, int ns, const Text& info) {
    Fire(DISPID_VOKAPIXEvents_OnMonitorData, port, from, to, via, type, pid, nr, ns, info);
  };
  api.OnRetryOut = [this](int port, const Text& from, const Text& to, const Text& data) {
    Fire(DISPID_VOKAPIXEvents_OnRetryOut, port, from, to, data);
  };
  api.OnPort = [this] { Fire(DISPID_VOKAPIXEvents_OnPort); };
  api.OnRead = [this](int port, int pid, const Text& kind, const Text& from, const Text& to, const Text& data) {
    Fire(DISPID_VOKAPIXEvents_OnRead, port, pid, kind, from, to, data);
  };
  api.OnRawDecode = [this](int port, const Text& from, const Text& to, const Text& via, const Text& type, int nr,
                           int ns, bool pf, int pid, const Text& info) {
    Fire(DISPID_VOKAPIXEvents_OnRawDecode, port, from, to, via, type, nr, ns, pf, pid, info);
  };
  api.OnBeacon = [this](int port, const Text& from, const Text& to, const Text& via, const Text& message) {
    Fire(DISPID_VOKAPIXEvents_OnBeacon, port, from, to, via, message);
  };
  api.OnDigi = [this](int port, const Text& from, const Text& to, const Text& digi, const Text& data) {
    Fire(DISPID_VOKAPIXEvents_OnDigi, port, from, to, digi, data);
  };
  api.OnError = [this] { Fire(DISPID_VOKAPIXEvents_OnError); };
  api.OnReady = [this](bool ready) { Fire(DISPID_VOKAPIXEvents_OnReady, ready); };
  api.OnRegister = [this](const Text& call, bool ok) { Fire(DISPID_VOKAPIXEvents_OnRegister, call, ok); };
  api.OnAX25Connect = [this](int id) { Fire(DISPID_VOKAPIXEvents_OnAX25Connect, id); };
  api.OnAX25Disconnect = [this](int id) { Fire(DISPID_VOKAPIXEvents_OnAX25Disconnect, id); };
  api.OnAX25Receive = [this](int id, const Text& data) { Fire(DISPID_VOKAPIXEvents_OnAX25Receive, id, data); };
}

}  // namespace tw::activex
