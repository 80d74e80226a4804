// A host in C++ that uses the VOKAPIX control by ProgID: it connects a
// channel to the engine's echo station, sends a line, prints the events it
// receives and what comes back, and ends cleanly.
//   vokapix-cpp-host [engine port, default 8000] [call-sign, default N0CALL]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "control/activex/vokapix.h"
#include "platform/com/event_sink_base.h"
#include "platform/com/twcom.hpp"

namespace {

using tw::com::Bstr;
using tw::com::ComPtr;

const char* kLine = "Hello from the C++ host\r";

// The events sink: an IDispatch the control calls with the events' DISPIDs.
class Sink final : public tw::com::EventSinkBase {
 public:
  Sink(IVOKAPIX* control, std::string call) : call_(std::move(call)), control_(control) {}

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch && riid != IID_IVOKAPIXEvents) return E_NOINTERFACE;
    *ppv = static_cast<IDispatch*>(this);
    return S_OK;
  }
  ULONG AddRef() override { return 2; }  // lives on main's stack
  ULONG Release() override { return 1; }

  HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override {
    auto arg = [&](UINT i) -> const VARIANT& { return p->rgvarg[p->cArgs - 1 - i]; };  // left to right
    switch (id) {
      case DISPID_VOKAPIXEvents_OnReady:
        std::printf("event OnReady(%s)\n", arg(0).boolVal ? "true" : "false");
        if (arg(0).boolVal && channel_ == 0) Connect();
        break;
      case DISPID_VOKAPIXEvents_OnAX25Connect: {
        std::printf("event OnAX25Connect(%d)\n", static_cast<int>(arg(0).lVal));
        Bstr line = Bstr::FromBytes(kLine);
        VARIANT_BOOL sent = VARIANT_FALSE;
        control_->AX25Send(arg(0).lVal, line.Get(), &sent);
        std::printf("sent %s\n", sent ? "a line" : "nothing: refused");
        break;
      }
      case DISPID_VOKAPIXEvents_OnAX25Receive: {
        std::string bytes;
        tw::com::BytesFromBstr(arg(1).bstrVal, &bytes);
        std::printf("event OnAX25Receive(%d) \"%s\"\n", static_cast<int>(arg(0).lVal), bytes.c_str());
        echoed += bytes;
        if (echoed.size() >= std::string(kLine).size()) {
          VARIANT_BOOL asked = VARIANT_FALSE;
          control_->AX25Disconnect(arg(0).lVal, &asked);
        }
        break;
      }
      case DISPID_VOKAPIXEvents_OnAX25Disconnect:
        std::printf("event OnAX25Disconnect(%d)\n", static_cast<int>(arg(0).lVal));
        done = true;
        TwLoopStop();
        break;
      case DISPID_VOKAPIXEvents_OnError:
        std::printf("event OnError: the engine cannot be reached\n");
        done = true;
        TwLoopStop();
        break;
      default:
        break;  // events this host does not use
    }
    return S_OK;
  }

  std::string echoed;
  bool done = false;

 private:
  void Connect() {
    Bstr from = Bstr::FromBytes(call_);
    Bstr to = Bstr::FromBytes("ECHO");
    control_->AX25Connect(1, from.Get(), to.Get(), nullptr, &channel_);
    std::printf("AX25Connect gave channel %d\n", static_cast<int>(channel_));
  }

  std::string call_;
  IVOKAPIX* control_;
  LONG channel_ = 0;
};

int Run(int enginePort, const std::string& call) {
  ComPtr<IVOKAPIX> control;
  HRESULT hr = tw::com::CreateInstanceByProgId(VOKAPIX_PROGID, IID_IVOKAPIX, control.PutVoid());
  if (FAILED(hr)) {
    std::fprintf(stderr, "cannot create %s: 0x%08X\n", VOKAPIX_PROGID, static_cast<unsigned>(hr));
    return 1;
  }
  Sink sink(control.Get(), call);
  ComPtr<IConnectionPointContainer> container;
  ComPtr<IConnectionPoint> point;
  DWORD cookie = 0;
  if (FAILED(control.As(IID_IConnectionPointContainer, &container)) ||
      FAILED(container->FindConnectionPoint(IID_IVOKAPIXEvents, point.Put())) ||
      FAILED(point->Advise(&sink, &cookie))) {
    std::fprintf(stderr, "cannot connect the events sink\n");
    return 1;
  }
  Bstr callText = Bstr::FromBytes(call);
  control->put_Port(enginePort);
  control->put_CallSign(callText.Get());
  control->put_Active(VARIANT_TRUE);
  control->put_AX25(VARIANT_TRUE);
  TwLoopRunFor(15000);
  Bstr version;
  control->get_VOKVersion(version.Put());
  std::string versionText;
  version.ToBytes(&versionText);
  std::printf("engine version %s\n", versionText.c_str());
  control->put_Active(VARIANT_FALSE);
  point->Unadvise(cookie);
  const bool echoed = sink.echoed == kLine;
  std::printf(echoed ? "the line came back\n" : "the line did not come back\n");
  return echoed && sink.done ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const int port = argc > 1 ? std::atoi(argv[1]) : 8000;
  const std::string call = argc > 2 ? argv[2] : "N0CALL";
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  const int status = Run(port, call);
  CoUninitialize();
  return status;
}
