// The program's side of the dispatch surface: the proxy's Invoke calls (ids,
// flags, argument types and order, results), bytes through BSTRs, refusals;
// and the events sink turning Invoke calls into the bridge's entry points.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "bridge/app/dispatch_control.h"
#include "bridge/app/event_sink.h"
#include "bridge/log_text.h"
#include "control/activex/vokapix.h"
#include "platform/text/text.h"

namespace tw {
namespace {

using namespace std::string_literals;

std::string AllBytes() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  return bytes;
}

std::string Bytes(BSTR text) {
  std::string bytes;
  return com::BytesFromBstr(text, &bytes) ? bytes : "(not bytes)";
}

VARIANT Long(LONG n) { VARIANT v{}; v.vt = VT_I4; v.lVal = n; return v; }
VARIANT Bool(bool b) { VARIANT v{}; v.vt = VT_BOOL; v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE; return v; }
VARIANT Text(const std::string& s) { VARIANT v{}; v.vt = VT_BSTR; v.bstrVal = com::BstrFromBytes(s); return v; }
// Replaces a by-reference text, as the control does.
void Replace(VARIANT& slot, BSTR text) {
  SysFreeString(*slot.pbstrVal);
  *slot.pbstrVal = text;
}

std::string Describe(const VARIANT& v) {
  switch (v.vt) {
    case VT_I4: return Cat("I4 ", v.lVal);
    case VT_BOOL: return Cat("BOOL ", v.boolVal);
    case VT_BSTR: return "BSTR " + LogBytes(Bytes(v.bstrVal), 256);
    case VT_BYREF | VT_I4: return Cat("I4& ", *v.plVal);
    case VT_BYREF | VT_BSTR: return "BSTR& " + LogBytes(Bytes(*v.pbstrVal));
    default: return Cat("vt ", v.vt);
  }
}

// Records each Invoke as "id flags: arguments left to right"; `answer` plays
// the control.
class FakeDispatch final : public IDispatch {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* p, VARIANT* result, EXCEPINFO*, UINT*) override {
    std::string call = Cat(id, flags == DISPATCH_PROPERTYPUT ? " put" : flags == DISPATCH_METHOD ? " call" : " get");
    if (flags == DISPATCH_PROPERTYPUT && (p->cNamedArgs != 1 || p->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)) {
      call += " (no DISPID_PROPERTYPUT)";
    }
    for (UINT i = 0; i < p->cArgs; ++i) call += (i == 0 ? ": " : ", ") + Describe(p->rgvarg[p->cArgs - 1 - i]);
    calls.push_back(call);
    return answer ? answer(*p, result) : S_OK;
  }

  std::vector<std::string> calls;
  std::function<HRESULT(DISPPARAMS&, VARIANT*)> answer;
};

struct ProxyRig {
  FakeDispatch fake;
  std::vector<std::string> failures;
  DispatchControl control{&fake, [this](std::string_view line) { failures.emplace_back(line); }};
};

TEST(DispatchControl, EachMemberIsOneInvokeWithItsIdAndArgumentsInOrder) {
  const std::string all = AllBytes();
  const struct {
    std::function<void(BridgeControl&)> call;
    std::string invoke;
  } cases[] = {
      {[](BridgeControl& c) { c.SetPort(8000); }, "23 put: I4 8000"},
      {[](BridgeControl& c) { c.SetAddress("10.1.2.3"); }, "24 put: BSTR 10.1.2.3"},
      {[](BridgeControl& c) { c.SetEnabled(true); }, "-514 put: BOOL -1"},
      {[](BridgeControl& c) { c.SetActive(false); }, "31 put: BOOL 0"},
      {[](BridgeControl& c) { c.SetAX25(true); }, "48 put: BOOL -1"},
      {[](BridgeControl& c) { c.VOKVersion(); }, "47 get"},
      {[](BridgeControl& c) { c.VOKRegister("N0CALL"); }, "8 call: BSTR N0CALL"},
      {[](BridgeControl& c) { c.VOKUnRegister("N0CALL"); }, "9 call: BSTR N0CALL"},
      {[](BridgeControl& c) { c.AX25Connect(2, "N0CALL", "ECHO", "A,B"); },
       "16 call: I4 2, BSTR N0CALL, BSTR ECHO, BSTR A,B"},
      {[](BridgeControl& c) { c.AX25Disconnect(7); }, "17 call: I4 7"},
      {[&](BridgeControl& c) { c.AX25Send(7, all); }, "18 call: I4 7, BSTR " + LogBytes(all, 256)},
      {[](BridgeControl& c) {
         BridgeControl::LinkInfo info{3, "A", "B", "C", 4, 5, 6};
         c.AX25Info(7, info);
       },
       "15 call: I4 7, I4& 3, BSTR& A, BSTR& B, BSTR& C, I4& 4, I4& 5, I4& 6"},
      {[](BridgeControl& c) {
         std::int32_t frames = 2;
         std::int32_t bytes = 9;
         c.AX25Outstanding(7, frames, bytes);
       },
       "61 call: I4 7, I4& 2, I4& 9"},
  };
  for (const auto& c : cases) {
    ProxyRig rig;
    c.call(rig.control);
    EXPECT_EQ(rig.fake.calls, std::vector<std::string>{c.invoke});
  }
}

TEST(DispatchControl, ResultsAndByReferenceFieldsComeBackAsBytes) {
  ProxyRig rig;
  const std::string all = AllBytes();
  rig.fake.answer = [&](DISPPARAMS& p, VARIANT* result) {
    if (p.cArgs == 8) {  // AX25Info: id, then the seven fields
      *p.rgvarg[6].plVal = 2;
      Replace(p.rgvarg[5], com::BstrFromBytes("N0CALL"));
      Replace(p.rgvarg[4], com::BstrFromBytes(all));
      *p.rgvarg[2].plVal = 4;
    }
    *result = p.cArgs == 8 ? Bool(true) : p.cArgs == 0 ? Text("2005.127") : Long(41);
    return S_OK;
  };
  BridgeControl::LinkInfo info{9, "old", "old", "old", 9, 9, 9};
  EXPECT_TRUE(rig.control.AX25Info(7, info));
  EXPECT_EQ(info.iPort, 2);
  EXPECT_EQ(info.szFrom, "N0CALL");
  EXPECT_EQ(info.szTo, all);
  EXPECT_EQ(info.szVIA, "old");  // left as it was by the control
  EXPECT_EQ(info.iLinkStatus, 4);
  EXPECT_EQ(rig.control.VOKVersion(), "2005.127");
  EXPECT_EQ(rig.control.AX25Connect(1, "N0CALL", "ECHO", ""), 41);
  EXPECT_TRUE(rig.failures.empty());
}

TEST(DispatchControl, TheOutstandingCountsComeBackOnlyWhenTheControlKnowsTheLink) {
  for (const bool known : {true, false}) {
    SCOPED_TRACE(known ? "known" : "unknown");
    ProxyRig rig;
    rig.fake.answer = [&](DISPPARAMS& p, VARIANT* result) {
      *p.rgvarg[1].plVal = 12;   // frames
      *p.rgvarg[0].plVal = 1145;  // bytes
      *result = Bool(known);
      return S_OK;
    };
    std::int32_t frames = -1;
    std::int32_t bytes = -1;
    EXPECT_EQ(rig.control.AX25Outstanding(7, frames, bytes), known);
    EXPECT_EQ(frames, known ? 12 : -1);
    EXPECT_EQ(bytes, known ? 1145 : -1);
    EXPECT_TRUE(rig.failures.empty());
  }
  ProxyRig refused;
  refused.fake.answer = [](DISPPARAMS&, VARIANT* result) {
    *result = Long(1);  // not a boolean
    return S_OK;
  };
  std::int32_t frames = 0;
  std::int32_t bytes = 0;
  EXPECT_FALSE(refused.control.AX25Outstanding(7, frames, bytes));
  ASSERT_EQ(refused.failures.size(), 1u);
  EXPECT_EQ(refused.failures[0], "ERROR control call AX25Outstanding failed: DISP_E_TYPEMISMATCH (0x80020005)");
}

TEST(DispatchControl, ARefusedCallReadsAsARefusalAndIsLogged) {
  for (const bool wrongType : {false, true}) {
    ProxyRig rig;
    rig.fake.answer = [&](DISPPARAMS& p, VARIANT* result) -> HRESULT {
      if (!wrongType) return DISP_E_EXCEPTION;
      // AX25Info: a text the byte mapping cannot carry; AX25Send: a number
      // for a boolean; VOKVersion: a text beyond U+00FF.
      if (p.cArgs == 8) Replace(p.rgvarg[5], SysAllocString(u"\u20AC"));
      *result = p.cArgs == 8 ? Bool(true) : p.cArgs == 2 ? Long(1) : VARIANT{};
      if (p.cArgs == 0) {
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocString(u"\u20AC");
      }
      return S_OK;
    };
    BridgeControl::LinkInfo info{3, "A", "B", "C", 4, 5, 6};
    EXPECT_FALSE(rig.control.AX25Info(7, info));
    EXPECT_EQ(info.szFrom, "A");
    EXPECT_FALSE(rig.control.AX25Send(7, "data"));
    EXPECT_EQ(rig.control.VOKVersion(), "");
    if (!wrongType) {
      EXPECT_EQ(rig.control.AX25Connect(1, "N0CALL", "ECHO", ""), 0);
      rig.control.SetActive(true);
    }
    ASSERT_EQ(rig.failures.size(), wrongType ? 3u : 5u);
    EXPECT_EQ(rig.failures[1], wrongType ? "ERROR control call AX25Send failed: DISP_E_TYPEMISMATCH (0x80020005)"
                                         : "ERROR control call AX25Send failed: DISP_E_EXCEPTION (0x80020009)");
  }
}

struct RecordingEvents : ControlEvents {
  void OnError() override { seen.push_back("OnError"); }
  void OnReady(bool r) override { seen.push_back(Cat("OnReady ", r ? 1 : 0)); }
  void OnRegister(const std::string& call, bool ok) override { seen.push_back(Cat("OnRegister ", call, " ", ok ? 1 : 0)); }
  void OnAX25Connect(std::int32_t id) override { seen.push_back(Cat("OnAX25Connect ", id)); }
  void OnAX25Disconnect(std::int32_t id) override { seen.push_back(Cat("OnAX25Disconnect ", id)); }
  void OnAX25Receive(std::int32_t id, const std::string& data) override {
    seen.push_back(Cat("OnAX25Receive ", id, " ", LogBytes(data, 256)));
  }
  void OnDisconnect(std::int32_t port, const std::string& from, const std::string& to,
                    const std::string& text) override {
    seen.push_back(Cat("OnDisconnect ", port, " ", from, " ", to, " ", LogBytes(text)));
  }
  void OnRetryOut(std::int32_t port, const std::string& from, const std::string& to,
                  const std::string& text) override {
    seen.push_back(Cat("OnRetryOut ", port, " ", from, " ", to, " ", LogBytes(text)));
  }
  void OnPort() override { seen.push_back("OnPort"); }
  std::vector<std::string> seen;
};


TEST(EventSink, TheBridgesEventsArePassedOnAndTheRestIgnored) {
  const std::string all = AllBytes();
  const struct {
    DISPID id;
    std::vector<VARIANT> args;  // left to right
    HRESULT hr;
    std::string seen;
  } cases[] = {
      {DISPID_VOKAPIXEvents_OnError, {}, S_OK, "OnError"},
      {DISPID_VOKAPIXEvents_OnReady, {Bool(false)}, S_OK, "OnReady 0"},
      {DISPID_VOKAPIXEvents_OnRegister, {Text("N0CALL"), Bool(true)}, S_OK, "OnRegister N0CALL 1"},
      {DISPID_VOKAPIXEvents_OnAX25Connect, {Long(3)}, S_OK, "OnAX25Connect 3"},
      {DISPID_VOKAPIXEvents_OnAX25Disconnect, {Long(3)}, S_OK, "OnAX25Disconnect 3"},
      {DISPID_VOKAPIXEvents_OnAX25Receive, {Long(3), Text(all)}, S_OK, "OnAX25Receive 3 " + LogBytes(all, 256)},
      {DISPID_VOKAPIXEvents_OnAX25Receive, {Text("x"), Long(3)}, DISP_E_TYPEMISMATCH, ""},
      {DISPID_VOKAPIXEvents_OnAX25Connect, {}, DISP_E_BADPARAMCOUNT, ""},
      {DISPID_VOKAPIXEvents_OnReady, {Long(1)}, DISP_E_TYPEMISMATCH, ""},
      {DISPID_VOKAPIXEvents_OnDebug, {Text("{VOK} line")}, S_OK, ""},
      {DISPID_VOKAPIXEvents_OnConnect, {Long(1), Text("A"), Text("B"), Text("")}, S_OK, ""},
      {DISPID_VOKAPIXEvents_OnRetryOut, {Long(2), Text("W1AW"), Text("N0CALL"), Text("*** RETRYOUT\r")}, S_OK,
       "OnRetryOut 2 W1AW N0CALL *** RETRYOUT\\x0D"},
      {DISPID_VOKAPIXEvents_OnDisconnect, {Long(1), Text("W1AW"), Text("N0CALL"), Text("bye")}, S_OK,
       "OnDisconnect 1 W1AW N0CALL bye"},
      {DISPID_VOKAPIXEvents_OnDisconnect, {Long(1), Text("W1AW"), Text("N0CALL")}, DISP_E_BADPARAMCOUNT, ""},
      {DISPID_VOKAPIXEvents_OnRetryOut, {Text("W1AW"), Long(1), Text("N0CALL"), Text("x")}, DISP_E_TYPEMISMATCH, ""},
      {DISPID_VOKAPIXEvents_OnPort, {}, S_OK, "OnPort"},
  };
  com::ComPtr<EventSink> sink = EventSink::Create();
  RecordingEvents events;
  sink->SetTarget(&events);
  for (const auto& c : cases) {
    std::vector<VARIANT> args(c.args.rbegin(), c.args.rend());
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    events.seen.clear();
    EXPECT_EQ(sink->Invoke(c.id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), c.hr) << c.id;
    EXPECT_EQ(events.seen, c.seen.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.seen}) << c.id;
    for (VARIANT& v : args) VariantClear(&v);
  }

  void* events_interface = nullptr;
  EXPECT_EQ(sink->QueryInterface(IID_IVOKAPIXEvents, &events_interface), S_OK);
  if (events_interface != nullptr) static_cast<IDispatch*>(events_interface)->Release();
  EXPECT_EQ(sink->QueryInterface(IID_IVOKAPIX, &events_interface), E_NOINTERFACE);

  sink->SetTarget(nullptr);  // the bridge is gone; the control may still call
  events.seen.clear();
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXPECT_EQ(sink->Invoke(DISPID_VOKAPIXEvents_OnError, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
            S_OK);
  EXPECT_TRUE(events.seen.empty());
}

// Every event of the list is read and checked, also one the target has no
// method for; an id outside the list is answered S_OK, logged once, and
// stops a debug build.
TEST(EventSink, EveryListedEventIsCheckedAndAnUnknownIdIsLoggedOnce) {
  struct NoMethods {} nothing;
  std::vector<std::string> lines;
  com::ComPtr<EventSink> sink = EventSink::Create([&](std::string_view line) { lines.emplace_back(line); });
  sink->SetTarget(&nothing);
  const auto invoke = [&](DISPID id, std::vector<VARIANT> leftToRight) {
    std::vector<VARIANT> args(leftToRight.rbegin(), leftToRight.rend());
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    const HRESULT hr = sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    for (VARIANT& v : args) VariantClear(&v);
    return hr;
  };
  const auto decode = [](VARIANT pf) {
    return std::vector<VARIANT>{Long(1), Text("A"), Text("B"), Text(""), Text("I"), Long(0), Long(1), pf, Long(240),
                                Text("x")};
  };
  const struct {
    DISPID id;
    std::vector<VARIANT> args;  // left to right
    HRESULT hr;
  } cases[] = {
      {DISPID_VOKAPIXEvents_OnDebug, {Text("{VOK} line")}, S_OK},
      {DISPID_VOKAPIXEvents_OnDebug, {Long(1)}, DISP_E_TYPEMISMATCH},
      {DISPID_VOKAPIXEvents_OnPort, {}, S_OK},
      {DISPID_VOKAPIXEvents_OnPort, {Long(1)}, DISP_E_BADPARAMCOUNT},
      {DISPID_VOKAPIXEvents_OnRawDecode, decode(Bool(true)), S_OK},
      {DISPID_VOKAPIXEvents_OnRawDecode, decode(Long(1)), DISP_E_TYPEMISMATCH},
      {DISPID_VOKAPIXEvents_OnMonitorData, {Long(1), Text("A"), Text("B")}, DISP_E_BADPARAMCOUNT},
      {DISPID_VOKAPIXEvents_OnReady, {Bool(true)}, S_OK},
  };
  for (const auto& c : cases) EXPECT_EQ(invoke(c.id, c.args), c.hr) << c.id;
  EXPECT_TRUE(lines.empty());

  HRESULT unknown = E_FAIL;
  EXPECT_DEBUG_DEATH(unknown = invoke(99, {Long(1)}), "not in its list");
#ifdef NDEBUG
  EXPECT_EQ(unknown, S_OK);
  EXPECT_EQ(invoke(99, {}), S_OK);
  EXPECT_EQ(invoke(0, {}), S_OK);
  EXPECT_EQ(lines, (std::vector<std::string>{"ERROR control raised an unknown event, DISPID 99",
                                             "ERROR control raised an unknown event, DISPID 0"}));
#endif
}

}  // namespace
}  // namespace tw
