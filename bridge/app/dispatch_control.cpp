#include "bridge/app/dispatch_control.h"

#include <utility>
#include <vector>

#include "bridge/app/hresult_text.h"
#include "control/activex/vokapix.h"
#include "platform/com/variants.hpp"
#include "platform/text/text.h"

namespace tw {

namespace {

// The arguments of one call, owned until it returns. Added left to right as
// the member declares them; DISPPARAMS wants them right to left.
class Arguments {
 public:
  Arguments() = default;
  ~Arguments() {
    for (VARIANT& v : values_) VariantClear(&v);
  }
  Arguments(const Arguments&) = delete;
  Arguments& operator=(const Arguments&) = delete;

  Arguments& Long(LONG n) {
    com::SetLong(&Next(), n);
    return *this;
  }
  Arguments& Bool(bool b) {
    com::SetBool(&Next(), b);
    return *this;
  }
  Arguments& Text(std::string_view bytes) {
    // Out of memory: an empty argument would read as "", so the call fails.
    if (FAILED(com::SetText(&Next(), bytes))) complete_ = false;
    return *this;
  }
  Arguments& LongRef(LONG* slot) {
    com::SetRef(&Next(), slot);
    return *this;
  }
  Arguments& TextRef(BSTR* slot) {
    com::SetRef(&Next(), slot);
    return *this;
  }

  bool Complete() const { return complete_; }

  DISPPARAMS ForMethod() {
    return {values_.empty() ? nullptr : values_.data(), nullptr, static_cast<UINT>(values_.size()), 0};
  }
  DISPPARAMS ForPut() { return {values_.data(), &putId_, static_cast<UINT>(values_.size()), 1}; }

 private:
  VARIANT& Next() {
    VARIANT fresh;
    VariantInit(&fresh);
    values_.insert(values_.begin(), fresh);
    return values_.front();
  }

  std::vector<VARIANT> values_;
  DISPID putId_ = DISPID_PROPERTYPUT;
  bool complete_ = true;
};

struct Result {
  Result() { VariantInit(&value); }
  ~Result() { VariantClear(&value); }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  VARIANT value;
};

// A BSTR the caller owns, handed to the control by reference: the control
// may free it and put another in its place.
struct BstrSlot {
  explicit BstrSlot(std::string_view bytes) : text(com::BstrFromBytes(bytes)), complete(text != nullptr || bytes.empty()) {}
  ~BstrSlot() { SysFreeString(text); }
  BstrSlot(const BstrSlot&) = delete;
  BstrSlot& operator=(const BstrSlot&) = delete;
  BSTR text;
  bool complete;
};

HRESULT Call(IDispatch& control, DISPID id, WORD flags, DISPPARAMS params, VARIANT* result) {
  EXCEPINFO exception{};
  UINT argError = 0;
  const HRESULT hr =
      control.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception, &argError);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  return hr;
}

}  // namespace

DispatchControl::DispatchControl(IDispatch* control, FailureLog failed)
    : control_(control), failed_(std::move(failed)) {}

void DispatchControl::Report(const char* member, HRESULT hr) {
  if (failed_) failed_(Cat("ERROR control call ", member, " failed: ", HresultText(hr)));
}

namespace {

// A property put of one value; reports a refusal.
template <class Fill>
HRESULT Put(IDispatch& control, DISPID id, Fill fill) {
  Arguments args;
  fill(args);
  if (!args.Complete()) return E_OUTOFMEMORY;
  return Call(control, id, DISPATCH_PROPERTYPUT, args.ForPut(), nullptr);
}

HRESULT Method(IDispatch& control, DISPID id, Arguments& args, VARIANT* result) {
  if (!args.Complete()) return E_OUTOFMEMORY;
  return Call(control, id, DISPATCH_METHOD, args.ForMethod(), result);
}

}  // namespace

void DispatchControl::SetPort(int port) {
  const HRESULT hr = Put(*control_.Get(), DISPID_VOKAPIX_Port, [&](Arguments& a) { a.Long(port); });
  if (FAILED(hr)) Report("Port", hr);
}

void DispatchControl::SetAddress(const std::string& address) {
  const HRESULT hr = Put(*control_.Get(), DISPID_VOKAPIX_Address, [&](Arguments& a) { a.Text(address); });
  if (FAILED(hr)) Report("Address", hr);
}

void DispatchControl::SetEnabled(bool enabled) {
  const HRESULT hr = Put(*control_.Get(), DISPID_VOKAPIX_Enabled, [&](Arguments& a) { a.Bool(enabled); });
  if (FAILED(hr)) Report("Enabled", hr);
}

void DispatchControl::SetActive(bool active) {
  const HRESULT hr = Put(*control_.Get(), DISPID_VOKAPIX_Active, [&](Arguments& a) { a.Bool(active); });
  if (FAILED(hr)) Report("Active", hr);
}

void DispatchControl::SetAX25(bool on) {
  const HRESULT hr = Put(*control_.Get(), DISPID_VOKAPIX_AX25, [&](Arguments& a) { a.Bool(on); });
  if (FAILED(hr)) Report("AX25", hr);
}

std::string DispatchControl::VOKVersion() {
  Arguments none;
  Result result;
  HRESULT hr =
      Call(*control_.Get(), DISPID_VOKAPIX_VOKVersion, DISPATCH_PROPERTYGET, none.ForMethod(), &result.value);
  std::string version;
  if (SUCCEEDED(hr)) hr = com::ReadText(result.value, &version);
  if (FAILED(hr)) Report("VOKVersion", hr);
  return version;
}

int DispatchControl::PortMax() {
  Arguments none;
  Result result;
  HRESULT hr = Call(*control_.Get(), DISPID_VOKAPIX_PortMax, DISPATCH_PROPERTYGET, none.ForMethod(), &result.value);
  LONG ports = 0;
  if (SUCCEEDED(hr)) hr = com::ReadInteger(result.value, &ports);
  if (FAILED(hr)) {
    Report("PortMax", hr);
    return 0;
  }
  return static_cast<int>(ports);
}

std::vector<std::string> DispatchControl::PortNames() {
  const int ports = PortMax();
  std::vector<std::string> names;
  // The engine's own limit is 16 ports; a larger count is not believed.
  for (int port = 1; port <= ports && port <= 16; ++port) {
    BstrSlot name("");
    LONG numbers[9] = {};
    // iHowManyBytes, by value, sits between the last two by-reference numbers.
    Arguments full;
    full.Long(port).TextRef(&name.text);
    for (int i = 0; i < 8; ++i) full.LongRef(&numbers[i]);
    full.Long(0).LongRef(&numbers[8]);
    Result result;
    HRESULT hr = Method(*control_.Get(), DISPID_VOKAPIX_GetPortInfo, full, &result.value);
    std::string text;
    if (SUCCEEDED(hr) && (result.value.vt != VT_BOOL || !com::BytesFromBstr(name.text, &text))) {
      hr = DISP_E_TYPEMISMATCH;
    }
    if (FAILED(hr)) {
      Report("GetPortInfo", hr);
      return names;
    }
    names.push_back(result.value.boolVal != VARIANT_FALSE ? text : std::string());
  }
  return names;
}

void DispatchControl::VOKRegister(const std::string& callSign) {
  Arguments args;
  args.Text(callSign);
  const HRESULT hr = Method(*control_.Get(), DISPID_VOKAPIX_VOKRegister, args, nullptr);
  if (FAILED(hr)) Report("VOKRegister", hr);
}

void DispatchControl::VOKUnRegister(const std::string& callSign) {
  Arguments args;
  args.Text(callSign);
  const HRESULT hr = Method(*control_.Get(), DISPID_VOKAPIX_VOKUnRegister, args, nullptr);
  if (FAILED(hr)) Report("VOKUnRegister", hr);
}

std::int32_t DispatchControl::AX25Connect(int port, const std::string& from, const std::string& to,
                                          const std::string& via) {
  Arguments args;
  args.Long(port).Text(from).Text(to).Text(via);
  Result result;
  HRESULT hr = Method(*control_.Get(), DISPID_VOKAPIX_AX25Connect, args, &result.value);
  LONG id = 0;
  if (SUCCEEDED(hr)) hr = com::ReadInteger(result.value, &id);
  if (FAILED(hr)) {
    Report("AX25Connect", hr);
    return 0;
  }
  return id;
}

bool DispatchControl::AX25Disconnect(std::int32_t channelId) {
  Arguments args;
  args.Long(channelId);
  Result result;
  HRESULT hr = Method(*control_.Get(), DISPID_VOKAPIX_AX25Disconnect, args, &result.value);
  bool asked = false;
  if (SUCCEEDED(hr)) hr = com::ReadBool(result.value, &asked);
  if (FAILED(hr)) Report("AX25Disconnect", hr);
  return asked;
}

bool DispatchControl::AX25Send(std::int32_t channelId, const std::string& data) {
  Arguments args;
  args.Long(channelId).Text(data);
  Result result;
  HRESULT hr = Method(*control_.Get(), DISPID_VOKAPIX_AX25Send, args, &result.value);
  bool sent = false;
  if (SUCCEEDED(hr)) hr = com::ReadBool(result.value, &sent);
  if (FAILED(hr)) Report("AX25Send", hr);
  return sent;
}

// The fields go in as they are and come back as the control left them, so
// a caller that resets them first sees exactly what the control reported.
bool DispatchControl::AX25Info(std::int32_t channelId, LinkInfo& info) {
  LONG port = info.iPort;
  LONG status = info.iLinkStatus;
  LONG rx = info.iRx;
  LONG tx = info.iTx;
  BstrSlot from(info.szFrom);
  BstrSlot to(info.szTo);
  BstrSlot via(info.szVIA);
  Arguments args;
  args.Long(channelId).LongRef(&port).TextRef(&from.text).TextRef(&to.text).TextRef(&via.text);
  args.LongRef(&status).LongRef(&rx).LongRef(&tx);
  Result result;
  HRESULT hr = from.complete && to.complete && via.complete
                   ? Method(*control_.Get(), DISPID_VOKAPIX_AX25Info, args, &result.value)
                   : E_OUTOFMEMORY;
  LinkInfo out;
  bool known = false;
  if (SUCCEEDED(hr)) hr = com::ReadBool(result.value, &known);
  if (SUCCEEDED(hr) && (!com::BytesFromBstr(from.text, &out.szFrom) || !com::BytesFromBstr(to.text, &out.szTo) ||
                        !com::BytesFromBstr(via.text, &out.szVIA))) {
    hr = DISP_E_TYPEMISMATCH;
  }
  if (FAILED(hr)) {
    Report("AX25Info", hr);
    return false;
  }
  out.iPort = port;
  out.iLinkStatus = status;
  out.iRx = rx;
  out.iTx = tx;
  info = std::move(out);
  return known;
}

bool DispatchControl::AX25Outstanding(std::int32_t channelId, std::int32_t& frames, std::int32_t& bytes) {
  LONG outFrames = frames;
  LONG outBytes = bytes;
  Arguments args;
  args.Long(channelId).LongRef(&outFrames).LongRef(&outBytes);
  Result result;
  HRESULT hr = Method(*control_.Get(), DISPID_VOKAPIX_AX25Outstanding, args, &result.value);
  bool known = false;
  if (SUCCEEDED(hr)) hr = com::ReadBool(result.value, &known);
  if (FAILED(hr)) Report("AX25Outstanding", hr);
  if (!known) return false;
  frames = outFrames;
  bytes = outBytes;
  return true;
}

}  // namespace tw
