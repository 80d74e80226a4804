// libtwcom_test_server.so: a tiny in-process server for the runtime's
// tests. One class, "TwComTest.Widget", whose object offers IDispatch with
// one property, Value (DISPID 1, VT_I4), and refuses calls from any
// apartment but its own.
#include <atomic>
#include <string>

#include "platform/com/twcom.hpp"
#include "tests/com/test_server.h"

namespace {

std::atomic<int> gObjects{0};
std::atomic<int> gFactories{0};
std::atomic<int> gLocks{0};

bool SameName(const OLECHAR* name, std::u16string_view wanted) {
  std::size_t i = 0;
  for (; name[i] != 0; ++i) {
    if (i >= wanted.size()) return false;
    char16_t c = name[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + (u'a' - u'A'));
    char16_t w = wanted[i];
    if (w >= u'A' && w <= u'Z') w = static_cast<char16_t>(w + (u'a' - u'A'));
    if (c != w) return false;
  }
  return i == wanted.size();
}

class Widget final : public IDispatch {
 public:
  Widget() { ++gObjects; }
  Widget(const Widget&) = delete;
  Widget& operator=(const Widget&) = delete;

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    if (names[0] == nullptr || !SameName(names[0], u"Value")) return DISP_E_UNKNOWNNAME;
    ids[0] = kTestValueDispid;
    return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
  }
  HRESULT Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                 UINT*) override {
    if (const HRESULT hr = TwCheckApartment(apartment_); FAILED(hr)) return hr;
    if (member != kTestValueDispid) return DISP_E_MEMBERNOTFOUND;
    if (params == nullptr) return E_INVALIDARG;
    if ((flags & DISPATCH_PROPERTYPUT) != 0) {
      if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
      if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) return DISP_E_PARAMNOTFOUND;
      if (params->rgvarg[0].vt != VT_I4) return DISP_E_TYPEMISMATCH;
      value_ = params->rgvarg[0].lVal;
      return S_OK;
    }
    if ((flags & DISPATCH_PROPERTYGET) != 0) {
      if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
      if (result == nullptr) return E_POINTER;
      VariantClear(result);
      result->vt = VT_I4;
      result->lVal = value_;
      return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  ~Widget() { --gObjects; }

  std::atomic<ULONG> refs_{1};
  const TW_APARTMENT apartment_ = TwCurrentApartment();
  LONG value_ = 0;
};

class Factory final : public IClassFactory {
 public:
  Factory() { ++gFactories; }
  Factory(const Factory&) = delete;
  Factory& operator=(const Factory&) = delete;

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* widget = new Widget;
    const HRESULT hr = widget->QueryInterface(riid, ppv);
    widget->Release();  // an unknown interface destroys it here
    return hr;
  }
  HRESULT LockServer(int lock) override {
    gLocks += lock != 0 ? 1 : -1;
    return S_OK;
  }

 private:
  ~Factory() { --gFactories; }
  std::atomic<ULONG> refs_{1};
};

}  // namespace

TWCOM_SERVER_ENTRY HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) noexcept {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualCLSID(clsid, kTestClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new Factory;
  const HRESULT hr = factory->QueryInterface(riid, ppv);
  factory->Release();
  return hr;
}

TWCOM_SERVER_ENTRY HRESULT DllCanUnloadNow() noexcept {
  return gObjects == 0 && gFactories == 0 && gLocks == 0 ? S_OK : S_FALSE;
}

TWCOM_SERVER_ENTRY HRESULT DllRegisterServer() noexcept {
  try {
    const std::string library = tw::com::ModulePath(reinterpret_cast<const void*>(&DllRegisterServer));
    if (library.empty()) return E_FAIL;
    tw::com::RegistryUpdate update;
    update.removeTrees = {tw::com::ClassKey(kTestClsid), kTestProgId};
    update.set = {
        {tw::com::ClassKey(kTestClsid), "Tidewire COM test widget"},
        {tw::com::InprocServerKey(kTestClsid), library},
        {tw::com::InprocServerKey(kTestClsid) + "\\ThreadingModel", "Apartment"},
        {tw::com::ClassKey(kTestClsid) + "\\ProgID", kTestProgId},
        {tw::com::ProgIdClassKey(kTestProgId), tw::com::GuidToString(kTestClsid)},
    };
    return tw::com::RegistryApply(update) == S_OK ? S_OK : E_FAIL;
  } catch (...) {
    return E_FAIL;
  }
}

TWCOM_SERVER_ENTRY HRESULT DllUnregisterServer() noexcept {
  try {
    tw::com::RegistryUpdate update;
    update.removeTrees = {tw::com::ClassKey(kTestClsid), kTestProgId};
    return tw::com::RegistryApply(update) == S_OK ? S_OK : E_FAIL;
  } catch (...) {
    return E_FAIL;
  }
}
