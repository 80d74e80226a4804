// IDispatch::Invoke on the control with whatever a container might pass:
// DISPIDs of members and of nothing, any flags, argument counts, named
// arguments, variant types (by value with random contents, by reference
// pointing at valid storage of any type), texts with characters inside and
// outside ISO-8859-1, null texts, and result, exception and argument-error
// pointers present or not. A sink is connected, so trace lines go out as
// events. The control comes from the activex static library (TVOKAPIX::
// Create), built into the target and instrumented, in an apartment entered
// once.
//
// No put reaches Active, Address or Log: the control would connect to
// whatever address and port the input names, or write trace files.
//
// Invariants: a refused call leaves every by-reference value as it was and
// the result empty; an argument error names an argument; the control is
// gone once released and the loop has run.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "control/activex/member_table.h"
#include "control/activex/vokapix_control.h"
#include "fuzz/fuzz_check.h"

namespace {

using tw::fuzz::Require;

constexpr VARTYPE kTypes[] = {VT_EMPTY, VT_NULL, VT_I2,  VT_I4,  VT_R8,  VT_BSTR, VT_ERROR, VT_BOOL,
                              VT_I1,    VT_UI1,  VT_UI2, VT_UI4, VT_I8,  VT_INT,  VT_UINT,  VT_UNKNOWN};
// The types the members take, picked more often.
constexpr VARTYPE kMemberTypes[] = {VT_I4, VT_BSTR, VT_I2, VT_UI1, VT_BOOL};

// A sink that answers some events with a failure.
struct Sink final : public IDispatch {
  bool fail = false;
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    *ppv = riid == IID_IVOKAPIXEvents || riid == IID_IDispatch || riid == IID_IUnknown ? this : nullptr;
    return *ppv != nullptr ? S_OK : E_NOINTERFACE;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    fail = !fail;
    return fail ? E_FAIL : S_OK;
  }
};

// Where a by-reference argument points: room for any of the types, and a
// BSTR of ours when it says VT_BSTR.
struct Slot {
  alignas(8) std::array<std::uint8_t, 16> bytes{};
  bool text = false;
  BSTR Text() const {
    BSTR value;
    std::memcpy(&value, bytes.data(), sizeof value);
    return value;
  }
};

BSTR RandomText(FuzzedDataProvider& in) {
  if (in.ConsumeIntegralInRange(0, 7) == 0) return nullptr;
  const auto length = in.ConsumeIntegralInRange<UINT>(0, 40);
  const bool wide = in.ConsumeIntegralInRange(0, 5) == 0;
  std::u16string text;
  for (UINT i = 0; i < length && in.remaining_bytes() > 0; ++i) {
    text.push_back(wide ? in.ConsumeIntegral<char16_t>() : static_cast<char16_t>(in.ConsumeIntegral<std::uint8_t>()));
  }
  return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

DISPID PickDispid(FuzzedDataProvider& in) {
  const auto members = tw::activex::Members();
  if (in.ConsumeIntegralInRange(0, 9) == 0) return in.ConsumeIntegral<DISPID>();
  return members[in.ConsumeIntegralInRange<std::size_t>(0, members.size() - 1)].dispid;
}

void OneCall(FuzzedDataProvider& in, IDispatch& control) {
  const DISPID dispid = PickDispid(in);
  WORD flags = in.ConsumeIntegralInRange<WORD>(0, 15);
  if ((dispid == DISPID_VOKAPIX_Active || dispid == DISPID_VOKAPIX_Address || dispid == DISPID_VOKAPIX_Log) &&
      (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
    flags = DISPATCH_PROPERTYGET;
  }
  const auto count = in.ConsumeIntegralInRange<UINT>(0, 14);
  std::vector<VARIANT> args(count);
  std::vector<Slot> slots(count);
  for (UINT i = 0; i < count; ++i) {
    VARIANT& v = args[i];
    VariantInit(&v);
    VARTYPE type = in.ConsumeBool() ? VT_I4 : in.PickValueInArray(kTypes);
    if (in.ConsumeIntegralInRange(0, 3) == 0) type = in.PickValueInArray(kMemberTypes);
    const bool byRef = in.ConsumeIntegralInRange(0, 3) == 0;
    if (byRef) {
      v.vt = static_cast<VARTYPE>(VT_BYREF | type);
      if (type == VT_BSTR) {
        const BSTR text = RandomText(in);
        std::memcpy(slots[i].bytes.data(), &text, sizeof text);
        slots[i].text = true;
      } else {
        const auto raw = in.ConsumeBytes<std::uint8_t>(8);
        if (!raw.empty()) std::memcpy(slots[i].bytes.data(), raw.data(), raw.size());
      }
      v.byref = in.ConsumeIntegralInRange(0, 15) == 0 ? nullptr : slots[i].bytes.data();
    } else if (type == VT_BSTR) {
      v.vt = VT_BSTR;
      v.bstrVal = RandomText(in);
    } else {
      v.vt = type == VT_UNKNOWN ? VT_ERROR : type;  // never an interface pointer of nothing
      v.llVal = in.ConsumeIntegral<std::int64_t>();
    }
  }
  const std::vector<Slot> before = slots;
  std::vector<DISPID> named;
  const auto namedCount = in.ConsumeIntegralInRange<UINT>(0, 2);
  for (UINT i = 0; i < namedCount; ++i) {
    named.push_back(in.ConsumeBool() ? DISPID_PROPERTYPUT : in.ConsumeIntegralInRange<DISPID>(-4, 12));
  }
  DISPPARAMS params{args.empty() ? nullptr : args.data(), named.empty() ? nullptr : named.data(), count,
                    in.ConsumeIntegralInRange(0, 7) == 0 ? namedCount : std::min(namedCount, count)};
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO exception{};
  UINT argError = 0xDEAD;
  const bool wantResult = in.ConsumeIntegralInRange(0, 7) != 0;
  const HRESULT hr = control.Invoke(dispid, in.ConsumeIntegralInRange(0, 31) == 0 ? IID_IDispatch : IID_NULL,
                                    LOCALE_USER_DEFAULT, flags, in.ConsumeIntegralInRange(0, 31) == 0 ? nullptr : &params,
                                    wantResult ? &result : nullptr, in.ConsumeBool() ? &exception : nullptr,
                                    in.ConsumeBool() ? &argError : nullptr);
  if (FAILED(hr)) {
    Require(result.vt == VT_EMPTY, "a refused call gives no result");
    for (UINT i = 0; i < count; ++i) {
      Require(slots[i].bytes == before[i].bytes, "a refused call leaves by-reference values alone");
    }
  }
  Require(argError == 0xDEAD || argError < count, "an argument error names an argument");
  VariantClear(&result);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  for (UINT i = 0; i < count; ++i) {
    if (args[i].vt == VT_BSTR) SysFreeString(args[i].bstrVal);
    if (slots[i].text) SysFreeString(slots[i].Text());
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // One apartment for the whole run, left at exit.
  return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED) == S_OK ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  IDispatch* control = nullptr;
  Require(tw::activex::TVOKAPIX::Create(IID_IDispatch, reinterpret_cast<void**>(&control)) == S_OK, "created");
  Sink sink;
  IConnectionPointContainer* container = nullptr;
  IConnectionPoint* point = nullptr;
  DWORD cookie = 0;
  control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container));
  container->FindConnectionPoint(IID_IVOKAPIXEvents, &point);
  if (in.ConsumeBool()) point->Advise(&sink, &cookie);
  point->Release();
  container->Release();
  while (in.remaining_bytes() > 0) OneCall(in, *control);
  control->Release();
  TwLoopRunOnce();
  Require(tw::activex::TVOKAPIX::LiveObjects() == 0, "the control is gone");
  return 0;
}
