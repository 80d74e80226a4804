// The control as a host meets it: created by ProgID in the test thread's
// apartment (side by side: the test programs sit beside the library and its
// manifest), a registry of the test's own, a sink that records the events,
// Invoke with arguments written left to right, and a loopback engine in a
// child process.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "control/activex/vokapix.h"
#include "platform/com/event_sink_base.h"
#include "tests/activex/engine_process.h"
#include "tests/com/com_test_support.h"

namespace tw::activex::testing {

using com::Bstr;
using com::ComPtr;

inline VARIANT Long(LONG n) { VARIANT v{}; v.vt = VT_I4; v.lVal = n; return v; }
inline VARIANT Bool(VARIANT_BOOL b) { VARIANT v{}; v.vt = VT_BOOL; v.boolVal = b; return v; }
inline VARIANT Text(std::string_view s) { VARIANT v{}; v.vt = VT_BSTR; v.bstrVal = com::BstrFromBytes(s); return v; }
inline VARIANT Ref(LONG* n) { VARIANT v{}; v.vt = VT_BYREF | VT_I4; v.plVal = n; return v; }
inline VARIANT Ref(BSTR* s) { VARIANT v{}; v.vt = VT_BYREF | VT_BSTR; v.pbstrVal = s; return v; }

inline std::string Bytes(BSTR text) {
  std::string bytes;
  EXPECT_TRUE(com::BytesFromBstr(text, &bytes));
  return bytes;
}

struct Result : VARIANT {
  Result() { VariantInit(this); }
  ~Result() { VariantClear(this); }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
};

// Invoke owns and clears `leftToRight` (not what a by-reference one points
// at). A put names its value DISPID_PROPERTYPUT unless `names` says else.
inline HRESULT Invoke(IDispatch* control, DISPID id, WORD flags, std::vector<VARIANT> leftToRight,
                      VARIANT* result = nullptr, UINT* argError = nullptr,
                      std::optional<std::vector<DISPID>> names = std::nullopt) {
  std::reverse(leftToRight.begin(), leftToRight.end());
  std::vector<DISPID> named = names.value_or(
      flags == DISPATCH_PROPERTYPUT ? std::vector<DISPID>{DISPID_PROPERTYPUT} : std::vector<DISPID>{});
  DISPPARAMS params{leftToRight.data(), named.data(), static_cast<UINT>(leftToRight.size()),
                    static_cast<UINT>(named.size())};
  const HRESULT hr = control->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, argError);
  for (VARIANT& v : leftToRight) VariantClear(&v);
  return hr;
}
inline HRESULT Put(IDispatch* control, DISPID id, VARIANT value) {
  return Invoke(control, id, DISPATCH_PROPERTYPUT, {value});
}
inline HRESULT Get(IDispatch* control, DISPID id, Result& result) {
  return Invoke(control, id, DISPATCH_PROPERTYGET, {}, &result);
}

// One event as it arrived; numbers are the VT_I4 and VT_BOOL arguments,
// texts the VT_BSTR ones, each left to right.
struct Arrived {
  DISPID id;
  std::vector<VARTYPE> types;
  std::vector<long long> numbers;
  std::vector<std::string> texts;
};

// The container's sink, on the test's stack (its count only counts). It
// answers `failure` to every event but the five a bridge handles (16-20).
class RecordingSink final : public com::EventSinkBase {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    const bool known = riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IVOKAPIXEvents;
    *ppv = known ? static_cast<IDispatch*>(this) : nullptr;
    return known ? (AddRef(), S_OK) : E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++references; }
  ULONG Release() override { return --references; }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
    EXPECT_EQ(flags, DISPATCH_METHOD);
    Arrived event{id, {}, {}, {}};
    for (UINT i = params->cArgs; i-- > 0;) {
      const VARIANT& v = params->rgvarg[i];
      event.types.push_back(v.vt);
      if (v.vt == VT_BSTR) event.texts.push_back(Bytes(v.bstrVal));
      if (v.vt == VT_I4 || v.vt == VT_BOOL) event.numbers.push_back(v.vt == VT_I4 ? v.lVal : v.boolVal);
    }
    events.push_back(event);
    if (handler) handler(event);
    return id >= DISPID_VOKAPIXEvents_OnReady ? S_OK : failure;
  }

  // The first number of each event `id`, in arrival order.
  std::vector<long long> Firsts(DISPID id) const {
    std::vector<long long> firsts;
    for (const Arrived& e : events) {
      if (e.id == id) firsts.push_back(e.numbers.empty() ? -999 : e.numbers[0]);
    }
    return firsts;
  }

  ULONG references = 1;
  HRESULT failure = S_OK;
  std::vector<Arrived> events;
  std::function<void(const Arrived&)> handler;
};

// The control library's own entry points.
class ControlLibrary {
 public:
  ControlLibrary() : handle_(::dlopen(TW_CONTROL_LIBRARY, RTLD_NOW)) {}
  ~ControlLibrary() { ::dlclose(handle_); }
  template <class Function = LPFNREGISTERSERVER>
  Function Entry(const char* name) const {
    Function function = nullptr;
    void* address = ::dlsym(handle_, name);
    std::memcpy(&function, &address, sizeof function);
    return function;
  }
  HRESULT GetClassObject(const CLSID* clsid, const IID* iid, void** object) const {
    return Entry<HRESULT (*)(const CLSID*, const IID*, void**)>("DllGetClassObject")(clsid, iid, object);
  }
  HRESULT CanUnloadNow() const { return Entry("DllCanUnloadNow")(); }

 private:
  void* handle_;
};

// A control created by ProgID, under a UTF-8 locale (which must change
// nothing of the bytes).
class ControlTest : public ::testing::Test {
 protected:
  ControlTest() {
    std::setlocale(LC_ALL, "C.UTF-8");
    EXPECT_EQ(com::CreateInstanceByProgId(VOKAPIX_PROGID, IID_IVOKAPIX, control_.PutVoid()), S_OK);
  }
  ~ControlTest() override { std::setlocale(LC_ALL, "C"); }

  IDispatch* Dispatch() const { return control_.Get(); }
  ComPtr<IConnectionPoint> Point() {
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(control_.As(IID_IConnectionPointContainer, &container), S_OK);
    EXPECT_EQ(container->FindConnectionPoint(IID_IVOKAPIXEvents, point.Put()), S_OK);
    return point;
  }
  bool RunUntil(const std::function<bool()>& done) { return com::RunUntil(done, std::chrono::seconds(20)) == S_OK; }

  // The bridge's start-up order, by DISPID; waits for OnReady(true).
  void Start(LONG enginePort) {
    for (auto [id, value] : {std::pair{DISPID_VOKAPIX_Port, Long(enginePort)}, {DISPID_VOKAPIX_Enabled, Bool(-1)},
                             {DISPID_VOKAPIX_Active, Bool(-1)}, {DISPID_VOKAPIX_AX25, Bool(-1)}}) {
      EXPECT_EQ(Put(Dispatch(), id, value), S_OK) << id;
    }
    ASSERT_TRUE(RunUntil([&] { return !sink_.Firsts(DISPID_VOKAPIXEvents_OnReady).empty(); }));
    EXPECT_EQ(sink_.Firsts(DISPID_VOKAPIXEvents_OnReady), std::vector<long long>{VARIANT_TRUE});
  }
  LONG ConnectEcho(LONG port = 1) {
    Bstr from = Bstr::FromBytes("N0CALL"), to = Bstr::FromBytes("ECHO");
    LONG id = -1;
    EXPECT_EQ(control_->AX25Connect(port, from.Get(), to.Get(), nullptr, &id), S_OK);
    return id;
  }
  bool WaitFor(DISPID event, LONG id) {
    return RunUntil([&] {
      const auto ids = sink_.Firsts(event);
      return std::find(ids.begin(), ids.end(), id) != ids.end();
    });
  }

  com::testing::ScopedRegistry registry_;
  com::testing::ScopedApartment apartment_;
  RecordingSink sink_;  // before the control, which holds it
  ComPtr<IVOKAPIX> control_;
};

}  // namespace tw::activex::testing
