#include "bridge/app/event_sink.h"

#include <exception>
#include <new>

#include "control/activex/vokapix.h"

namespace tw {

namespace {

// The event's arguments, read left to right (DISPPARAMS holds them right to
// left).
class EventArguments {
 public:
  explicit EventArguments(const DISPPARAMS& params) : params_(params) {}

  UINT Count() const { return params_.cArgs; }

  HRESULT Long(UINT i, std::int32_t* out) const {
    const VARIANT& v = At(i);
    switch (v.vt) {
      case VT_I4: *out = v.lVal; return S_OK;
      case VT_I2: *out = v.iVal; return S_OK;
      case VT_UI1: *out = v.bVal; return S_OK;
      default: return DISP_E_TYPEMISMATCH;
    }
  }
  HRESULT Bool(UINT i, bool* out) const {
    const VARIANT& v = At(i);
    if (v.vt != VT_BOOL) return DISP_E_TYPEMISMATCH;
    *out = v.boolVal != VARIANT_FALSE;
    return S_OK;
  }
  HRESULT Text(UINT i, std::string* out) const {
    const VARIANT& v = At(i);
    if (v.vt == VT_EMPTY) {
      out->clear();
      return S_OK;
    }
    if (v.vt != VT_BSTR || !com::BytesFromBstr(v.bstrVal, out)) return DISP_E_TYPEMISMATCH;
    return S_OK;
  }

 private:
  const VARIANT& At(UINT i) const { return params_.rgvarg[params_.cArgs - 1 - i]; }
  const DISPPARAMS& params_;
};

HRESULT Deliver(ControlEvents& target, DISPID id, const EventArguments& args) {
  auto expect = [&](UINT count) { return args.Count() == count ? S_OK : DISP_E_BADPARAMCOUNT; };
  HRESULT hr = S_OK;
  switch (id) {
    case DISPID_VOKAPIXEvents_OnError:
      if (FAILED(hr = expect(0))) return hr;
      target.OnError();
      return S_OK;
    case DISPID_VOKAPIXEvents_OnReady: {
      bool ready = false;
      if (FAILED(hr = expect(1)) || FAILED(hr = args.Bool(0, &ready))) return hr;
      target.OnReady(ready);
      return S_OK;
    }
    case DISPID_VOKAPIXEvents_OnRegister: {
      std::string call;
      bool accepted = false;
      if (FAILED(hr = expect(2)) || FAILED(hr = args.Text(0, &call)) || FAILED(hr = args.Bool(1, &accepted))) {
        return hr;
      }
      target.OnRegister(call, accepted);
      return S_OK;
    }
    case DISPID_VOKAPIXEvents_OnAX25Connect:
    case DISPID_VOKAPIXEvents_OnAX25Disconnect: {
      std::int32_t channel = 0;
      if (FAILED(hr = expect(1)) || FAILED(hr = args.Long(0, &channel))) return hr;
      if (id == DISPID_VOKAPIXEvents_OnAX25Connect) {
        target.OnAX25Connect(channel);
      } else {
        target.OnAX25Disconnect(channel);
      }
      return S_OK;
    }
    case DISPID_VOKAPIXEvents_OnAX25Receive: {
      std::int32_t channel = 0;
      std::string data;
      if (FAILED(hr = expect(2)) || FAILED(hr = args.Long(0, &channel)) || FAILED(hr = args.Text(1, &data))) {
        return hr;
      }
      target.OnAX25Receive(channel, data);
      return S_OK;
    }
    case DISPID_VOKAPIXEvents_OnDisconnect:
    case DISPID_VOKAPIXEvents_OnRetryOut: {
      std::int32_t port = 0;
      std::string from;
      std::string to;
      std::string text;
      if (FAILED(hr = expect(4)) || FAILED(hr = args.Long(0, &port)) || FAILED(hr = args.Text(1, &from)) ||
          FAILED(hr = args.Text(2, &to)) || FAILED(hr = args.Text(3, &text))) {
        return hr;
      }
      target.OnLinkNotice(port, from, to, text);
      return S_OK;
    }
    case DISPID_VOKAPIXEvents_OnPort:
      if (FAILED(hr = expect(0))) return hr;
      target.OnPort();
      return S_OK;
    default:
      return S_OK;  // an event the bridge does not use
  }
}

}  // namespace

com::ComPtr<EventSink> EventSink::Create() {
  com::ComPtr<EventSink> sink;
  sink.Attach(new EventSink());
  return sink;
}

HRESULT EventSink::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (riid != IID_IUnknown && riid != IID_IDispatch && riid != IID_IVOKAPIXEvents) return E_NOINTERFACE;
  *object = static_cast<IDispatch*>(this);
  AddRef();
  return S_OK;
}

ULONG EventSink::AddRef() { return ++references_; }

ULONG EventSink::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT EventSink::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT EventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT EventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT EventSink::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO*, UINT*) {
  if (result != nullptr) VariantInit(result);
  if ((flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
  if (params == nullptr || (params->cArgs > 0 && params->rgvarg == nullptr)) return E_INVALIDARG;
  if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  if (target_ == nullptr) return S_OK;
  // Nothing of the bridge's failure may unwind into the control.
  try {
    return Deliver(*target_, id, EventArguments(*params));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

}  // namespace tw
