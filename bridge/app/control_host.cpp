#include "bridge/app/control_host.h"

#include "bridge/app/hresult_text.h"
#include "control/activex/vokapix.h"

namespace tw {

namespace {

// What the runtime reported while looking for the control's class.
struct Activation {
  bool found = false;
  int source = 0;
  std::string library;
  std::string detail;
};

void Record(void* context, const TW_ACTIVATION_INFO* info) {
  if (info->event != TW_ACTIVATION_CLASS_OBJECT || !IsEqualCLSID(info->clsid, CLSID_VOKAPIX)) return;
  auto& activation = *static_cast<Activation*>(context);
  activation.found = true;
  activation.source = info->source;
  activation.library = info->library != nullptr ? info->library : "";
  activation.detail = info->detail != nullptr ? info->detail : "";
}

std::string WhyNot(HRESULT hr, const Activation& activation) {
  const std::string what = "cannot create the control " VOKAPIX_PROGID ": ";
  switch (hr) {
    case CO_E_CLASSSTRING:
    case REGDB_E_CLASSNOTREG:
      return what + "it is not registered, and no VOKAPIXControl.comclass lies beside the program (" +
             HresultText(hr) + ")";
    case CO_E_DLLNOTFOUND:
    case CO_E_ERRORINDLL:
      return what + "its library " + activation.library + " does not load: " +
             (activation.detail.empty() ? HresultText(hr) : activation.detail);
    default:
      return what + HresultText(hr);
  }
}

}  // namespace

std::string ControlHost::Create(IDispatch* sink) {
  Release();
  Activation activation;
  TwSetActivationHook(Record, &activation);
  const HRESULT hr = com::CreateInstanceByProgId(VOKAPIX_PROGID, IID_IDispatch, control_.PutVoid());
  TwSetActivationHook(nullptr, nullptr);
  if (FAILED(hr)) return WhyNot(hr, activation);
  if (activation.found && activation.source == TW_SOURCE_SIDE_BY_SIDE) sideBySide_ = activation.library;
  if (activation.found && activation.source == TW_SOURCE_REGISTRY) registered_ = activation.library;

  com::ComPtr<IConnectionPointContainer> container;
  HRESULT connected = control_.As(IID_IConnectionPointContainer, &container);
  if (SUCCEEDED(connected)) connected = container->FindConnectionPoint(IID_IVOKAPIXEvents, events_.Put());
  if (SUCCEEDED(connected)) connected = events_->Advise(sink, &cookie_);
  if (FAILED(connected)) {
    events_.Reset();
    control_.Reset();
    return "cannot receive the events of the control " VOKAPIX_PROGID ": " + HresultText(connected);
  }
  return {};
}

void ControlHost::Release() {
  if (events_) events_->Unadvise(cookie_);
  events_.Reset();
  cookie_ = 0;
  control_.Reset();
  sideBySide_.clear();
  registered_.clear();
}

}  // namespace tw
