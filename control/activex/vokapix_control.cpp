// TVOKAPIX: identity, lifetime, IDispatch and the connection point.
#include "control/activex/vokapix_control.h"

#include <new>
#include <utility>

#include "control/activex/dispatch.h"
#include "platform/loop/event_loop.h"

namespace tw::activex {

namespace {

std::atomic<int> liveObjects{0};

// Member and parameter names as the container spells them (UTF-16); a
// character outside ASCII matches nothing.
bool AsciiName(LPOLESTR name, std::string& out) {
  out.clear();
  if (name == nullptr) return false;
  for (const OLECHAR* c = name; *c != 0; ++c) {
    if (*c > 0x7F || out.size() > 64) return false;
    out.push_back(static_cast<char>(*c));
  }
  return true;
}

bool SameAsciiName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

// The control's one connection point: the container's events sink.
// It lives and dies with its control: its references are the control's.
class TVOKAPIX::Events final : public com::Part<com::Answer<IConnectionPoint, IID_IConnectionPoint>> {
 public:
  explicit Events(TVOKAPIX& owner) : Part(static_cast<IVOKAPIX&>(owner)), owner_(owner) {}

  HRESULT GetConnectionInterface(IID* pIID) override {
    if (pIID == nullptr) return E_POINTER;
    *pIID = IID_IVOKAPIXEvents;
    return S_OK;
  }
  HRESULT GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override {
    if (ppCPC == nullptr) return E_POINTER;
    *ppCPC = &owner_;
    owner_.AddRef();
    return S_OK;
  }
  HRESULT Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override {
    if (pdwCookie == nullptr) return E_POINTER;
    *pdwCookie = 0;
    if (pUnkSink == nullptr) return E_POINTER;
    if (!com::InApartment(owner_.apartment_)) return RPC_E_WRONG_THREAD;
    if (sink_) return CONNECT_E_ADVISELIMIT;
    com::ComPtr<IDispatch> sink;
    if (FAILED(pUnkSink->QueryInterface(IID_IVOKAPIXEvents, sink.PutVoid())) || !sink) {
      return CONNECT_E_CANNOTCONNECT;
    }
    sink_ = std::move(sink);
    cookie_ = ++lastCookie_;
    *pdwCookie = cookie_;
    return S_OK;
  }
  HRESULT Unadvise(DWORD dwCookie) override {
    if (!com::InApartment(owner_.apartment_)) return RPC_E_WRONG_THREAD;
    if (!sink_ || dwCookie != cookie_) return CONNECT_E_NOCONNECTION;
    Drop();
    return S_OK;
  }
  HRESULT EnumConnections(IEnumConnections** ppEnum) override {
    if (ppEnum == nullptr) return E_POINTER;
    *ppEnum = nullptr;
    return E_NOTIMPL;
  }

  // A counted reference for one call into the container.
  com::ComPtr<IDispatch> Sink() const { return sink_; }
  // Out of the slot first: the sink's Release may come back here.
  void Drop() {
    cookie_ = 0;
    com::ComPtr<IDispatch> old = std::move(sink_);
  }

 private:
  TVOKAPIX& owner_;
  com::ComPtr<IDispatch> sink_;
  DWORD cookie_ = 0;
  DWORD lastCookie_ = 0;
};

int TVOKAPIX::LiveObjects() { return liveObjects.load(); }

HRESULT TVOKAPIX::Create(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  const TW_APARTMENT apartment = TwCurrentApartment();
  EventLoop* loop = com::CurrentLoop();
  if (apartment == 0 || loop == nullptr) return CO_E_NOTINITIALIZED;
  TVOKAPIX* control = nullptr;
  try {
    control = new TVOKAPIX(apartment, *loop);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  // An interface it does not have leaves nothing behind: the one
  // reference it was made with goes, and with it the control.
  const HRESULT hr = control->QueryInterface(iid, object);
  control->Release();
  return hr;
}

TVOKAPIX::TVOKAPIX(TW_APARTMENT apartment, EventLoop& loop)
    : apartment_(apartment), loop_(loop), api_(std::make_unique<TVOKAPI>(loop)),
      events_(std::make_unique<Events>(*this)) {
  ++liveObjects;
  RelayEvents();
}

TVOKAPIX::~TVOKAPIX() {
  // Nothing of the component's own ending may reach the container.
  Detach();
  api_.reset();
  --liveObjects;
}

void TVOKAPIX::Detach() {
  if (!api_) return;
  api_->ClearEvents();
  events_->Drop();
}

void TVOKAPIX::Destroy() {
  if (busy_ > 0) {
    // Released from inside a call or an event: the component is still on
    // the stack. It stops talking to the container now and goes once the
    // loop is back.
    Detach();
    loop_.Post([this] { delete this; });
    return;
  }
  delete this;
}

TVOKAPIX::Busy::Busy(TVOKAPIX& control) : control_(control) { ++control_.busy_; }
TVOKAPIX::Busy::~Busy() { --control_.busy_; }

HRESULT TVOKAPIX::GetTypeInfoCount(UINT* pctinfo) {
  if (pctinfo == nullptr) return E_POINTER;
  *pctinfo = 0;
  return S_OK;
}

HRESULT TVOKAPIX::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
  if (ppTInfo == nullptr) return E_POINTER;
  *ppTInfo = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT TVOKAPIX::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (rgszNames == nullptr || rgDispId == nullptr) return E_POINTER;
  if (cNames == 0) return E_INVALIDARG;
  for (UINT i = 0; i < cNames; ++i) rgDispId[i] = DISPID_UNKNOWN;
  std::string name;
  const Member* member = AsciiName(rgszNames[0], name) ? FindMember(name) : nullptr;
  if (member == nullptr) return DISP_E_UNKNOWNNAME;
  rgDispId[0] = member->dispid;
  HRESULT hr = S_OK;
  // Further names are the member's parameters, numbered from 0.
  for (UINT i = 1; i < cNames; ++i) {
    hr = DISP_E_UNKNOWNNAME;
    if (!AsciiName(rgszNames[i], name)) continue;
    for (std::size_t p = 0; p < member->parameters.size(); ++p) {
      if (SameAsciiName(member->parameters[p].name, name)) rgDispId[i] = static_cast<DISPID>(p);
    }
    if (rgDispId[i] != DISPID_UNKNOWN) hr = S_OK;
  }
  for (UINT i = 1; i < cNames; ++i) {
    if (rgDispId[i] == DISPID_UNKNOWN) return DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT TVOKAPIX::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                         VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
  if (!com::InApartment(apartment_)) return RPC_E_WRONG_THREAD;
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (!api_) return E_UNEXPECTED;
  com::ComPtr<IVOKAPIX> hold(this);
  Busy busy(*this);
  Target target{*api_, container_};
  return InvokeMember(target, dispIdMember, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
}

HRESULT TVOKAPIX::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
  if (ppEnum == nullptr) return E_POINTER;
  *ppEnum = nullptr;
  return E_NOTIMPL;
}

HRESULT TVOKAPIX::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
  if (ppCP == nullptr) return E_POINTER;
  *ppCP = nullptr;
  if (riid != IID_IVOKAPIXEvents) return CONNECT_E_NOCONNECTION;
  *ppCP = events_.get();
  AddRef();
  return S_OK;
}

com::ComPtr<IDispatch> TVOKAPIX::Sink() const { return events_->Sink(); }

}  // namespace tw::activex
