#include "bridge/app/event_sink.h"

#include <algorithm>
#include <cassert>
#include <exception>
#include <new>
#include <string>
#include <utility>

#include "platform/com/variants.hpp"

namespace tw {

const VARIANT* EventArguments::Next() {
  const UINT i = next_++;
  if (i >= params_.cArgs) return nullptr;
  return &params_.rgvarg[params_.cArgs - 1 - i];
}

std::int32_t EventArguments::Long() {
  const VARIANT* v = Next();
  std::int32_t value = 0;
  if (v == nullptr) return value;
  const HRESULT hr = com::ReadInteger(*v, &value);
  if (FAILED(hr)) result_ = hr;
  return value;
}

bool EventArguments::Bool() {
  const VARIANT* v = Next();
  bool value = false;
  if (v == nullptr) return value;
  const HRESULT hr = com::ReadBool(*v, &value);
  if (FAILED(hr)) result_ = hr;
  return value;
}

std::string EventArguments::Text() {
  const VARIANT* v = Next();
  std::string text;
  if (v == nullptr) return text;
  const HRESULT hr = com::ReadText(*v, &text);
  if (FAILED(hr)) result_ = hr;
  return text;
}

com::ComPtr<EventSink> EventSink::Create(Log log) {
  com::ComPtr<EventSink> sink;
  sink.Attach(new EventSink(std::move(log)));
  return sink;
}

HRESULT EventSink::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO*, UINT*) {
  if (result != nullptr) VariantInit(result);
  if ((flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
  if (params == nullptr || (params->cArgs > 0 && params->rgvarg == nullptr)) return E_INVALIDARG;
  if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  if (!deliver_) return S_OK;
  // Nothing of the bridge's failure may unwind into the control.
  try {
    HRESULT hr = S_OK;
    if (!deliver_(id, *params, hr)) Unknown(id);
    return hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

// The control raised an event the program was not built with: a list was
// changed on one side only. Answered S_OK, as a sink answers events it does
// not use, but said once per id.
void EventSink::Unknown(DISPID id) {
  constexpr std::size_t kRemembered = 32;
  if (std::find(unknown_.begin(), unknown_.end(), id) != unknown_.end() || unknown_.size() >= kRemembered) return;
  unknown_.push_back(id);
  if (log_) log_("ERROR control raised an unknown event, DISPID " + std::to_string(id));
  assert(!"the control raised an event that is not in its list");
}

}  // namespace tw
