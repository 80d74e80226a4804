/* A host in C that uses the VOKAPIX control by ProgID: it connects a channel
 * to the engine's echo station, sends a line, prints the events it receives
 * and what comes back, and ends cleanly.
 *   vokapix-c-host [engine port, default 8000] [call-sign, default N0CALL] */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "control/activex/vokapix.h"

static const char kLine[] = "Hello from the C host\r";
/* The events' names by DISPID, for printing, from the control's list. */
#define EVENT_NAME(name, dispid, parameters) [dispid] = #name,
static const char* const kEventNames[] = {VOKAPIX_EVENTS(EVENT_NAME, VOKAPIX_EVENT_SKIP)};
#undef EVENT_NAME
#define EVENT_COUNT (sizeof kEventNames / sizeof kEventNames[0])

/* The events sink: an IDispatch the control calls with the events' DISPIDs.
 * It lives on main's stack, so its reference count only counts. */
typedef struct Sink {
  IDispatch base; /* first: an IDispatch* is a Sink* */
  IVOKAPIX* control;
  const char* call;
  LONG channel;
  char echoed[sizeof kLine];
  size_t echoedLength;
  int done;
} Sink;

static HRESULT Sink_QueryInterface(IDispatch* This, REFIID riid, void** ppv) {
  if (ppv == NULL) return E_POINTER;
  *ppv = NULL;
  if (!IsEqualIID(riid, &IID_IUnknown) && !IsEqualIID(riid, &IID_IDispatch) && !IsEqualIID(riid, &IID_IVOKAPIXEvents))
    return E_NOINTERFACE;
  *ppv = This;
  return S_OK;
}
static ULONG Sink_AddRef(IDispatch* This) { (void)This; return 2; }
static ULONG Sink_Release(IDispatch* This) { (void)This; return 1; }
static HRESULT Sink_GetTypeInfoCount(IDispatch* This, UINT* count) {
  (void)This;
  if (count == NULL) return E_POINTER;
  *count = 0;
  return S_OK;
}
static HRESULT Sink_GetTypeInfo(IDispatch* This, UINT index, LCID lcid, ITypeInfo** info) {
  (void)This, (void)index, (void)lcid, (void)info;
  return E_NOTIMPL;
}
static HRESULT Sink_GetIDsOfNames(IDispatch* This, REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
  (void)This, (void)riid, (void)names, (void)count, (void)lcid, (void)ids;
  return E_NOTIMPL;
}

static HRESULT Sink_Invoke(IDispatch* This, DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* p,
                           VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
  Sink* sink = (Sink*)This;
  const VARIANT* first = p->cArgs > 0 ? &p->rgvarg[p->cArgs - 1] : NULL; /* arguments come right to left */
  VARIANT_BOOL ok = VARIANT_FALSE;
  (void)riid, (void)lcid, (void)flags, (void)result, (void)excepInfo, (void)argErr;
  if (id < 1 || (size_t)id >= EVENT_COUNT || kEventNames[id] == NULL) return DISP_E_MEMBERNOTFOUND;
  if (id == DISPID_VOKAPIXEvents_OnDebug) return S_OK; /* the trace is off anyway */
  printf("event %s", kEventNames[id]);
  if (first != NULL && first->vt == VT_BOOL) printf("(%s)", first->boolVal ? "true" : "false");
  if (first != NULL && first->vt == VT_I4) printf("(%d)", (int)first->lVal);
  printf("\n");
  if (id == DISPID_VOKAPIXEvents_OnReady && first->boolVal && sink->channel == 0) {
    BSTR from = TwBstrFromBytes(sink->call, (UINT)strlen(sink->call));
    BSTR to = TwBstrFromBytes("ECHO", 4);
    sink->control->lpVtbl->AX25Connect(sink->control, 1, from, to, NULL, &sink->channel);
    printf("AX25Connect gave channel %d\n", (int)sink->channel);
    SysFreeString(from);
    SysFreeString(to);
  } else if (id == DISPID_VOKAPIXEvents_OnAX25Connect) {
    BSTR line = TwBstrFromBytes(kLine, (UINT)strlen(kLine));
    sink->control->lpVtbl->AX25Send(sink->control, first->lVal, line, &ok);
    printf("sent %s\n", ok ? "a line" : "nothing: refused");
    SysFreeString(line);
  } else if (id == DISPID_VOKAPIXEvents_OnAX25Receive) {
    char bytes[256];
    UINT length = 0;
    if (TwBstrToBytes(p->rgvarg[0].bstrVal, bytes, sizeof bytes, &length) != S_OK) return S_OK;
    printf("came back: \"%s\"\n", bytes);
    if (sink->echoedLength + length < sizeof sink->echoed) {
      memcpy(sink->echoed + sink->echoedLength, bytes, length + 1);
      sink->echoedLength += length;
    }
    if (sink->echoedLength >= strlen(kLine)) sink->control->lpVtbl->AX25Disconnect(sink->control, first->lVal, &ok);
  } else if (id == DISPID_VOKAPIXEvents_OnAX25Disconnect || id == DISPID_VOKAPIXEvents_OnError) {
    sink->done = 1;
    TwLoopStop();
  }
  return S_OK;
}

static const IDispatchVtbl kSinkVtbl = {Sink_QueryInterface,   Sink_AddRef,       Sink_Release, Sink_GetTypeInfoCount,
                                        Sink_GetTypeInfo,      Sink_GetIDsOfNames, Sink_Invoke};

static int Run(LONG enginePort, const char* call) {
  CLSID clsid;
  IVOKAPIX* control = NULL;
  IConnectionPointContainer* container = NULL;
  IConnectionPoint* point = NULL;
  DWORD cookie = 0;
  BSTR callText = NULL;
  int status = 1;
  Sink sink;
  memset(&sink, 0, sizeof sink);
  sink.base.lpVtbl = &kSinkVtbl;
  sink.call = call;
  if (FAILED(CLSIDFromProgID(u"" VOKAPIX_PROGID, &clsid)) ||
      FAILED(CoCreateInstance(&clsid, NULL, CLSCTX_INPROC_SERVER, &IID_IVOKAPIX, (void**)&control))) {
    fprintf(stderr, "cannot create %s\n", VOKAPIX_PROGID);
    return 1;
  }
  sink.control = control;
  if (FAILED(control->lpVtbl->QueryInterface(control, &IID_IConnectionPointContainer, (void**)&container)) ||
      FAILED(IConnectionPointContainer_FindConnectionPoint(container, &IID_IVOKAPIXEvents, &point)) ||
      FAILED(IConnectionPoint_Advise(point, (IUnknown*)&sink.base, &cookie))) {
    fprintf(stderr, "cannot connect the events sink\n");
  } else {
    callText = TwBstrFromBytes(call, (UINT)strlen(call));
    control->lpVtbl->put_Port(control, enginePort);
    control->lpVtbl->put_CallSign(control, callText);
    control->lpVtbl->put_Active(control, VARIANT_TRUE);
    control->lpVtbl->put_AX25(control, VARIANT_TRUE);
    TwLoopRunFor(15000);
    control->lpVtbl->put_Active(control, VARIANT_FALSE);
    IConnectionPoint_Unadvise(point, cookie);
    SysFreeString(callText);
    status = sink.done && strcmp(sink.echoed, kLine) == 0 ? 0 : 1;
    printf(status == 0 ? "the line came back\n" : "the line did not come back\n");
  }
  if (point != NULL) IConnectionPoint_Release(point);
  if (container != NULL) IConnectionPointContainer_Release(container);
  control->lpVtbl->Release(control);
  return status;
}

int main(int argc, char** argv) {
  const LONG port = argc > 1 ? (LONG)atol(argv[1]) : 8000;
  const char* call = argc > 2 ? argv[2] : "N0CALL";
  int status;
  if (FAILED(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED))) return 1;
  status = Run(port, call);
  CoUninitialize();
  return status;
}
