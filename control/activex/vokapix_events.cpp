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
  // Every event goes to the sink with its arguments as the component raised
  // them; the list gives the DISPID.
#define TW_EVENT_RELAY(name, dispid, parameters) \
  api_->name = [this](const auto&... args) { Fire(DISPID_VOKAPIXEvents_##name, args...); };
  VOKAPIX_EVENTS(TW_EVENT_RELAY, VOKAPIX_EVENT_SKIP)
#undef TW_EVENT_RELAY
}

}  // namespace tw::activex
