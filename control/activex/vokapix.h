/* The VOKAPIX control for hosts, in C (C11) and C++: its class id, ProgID,
 * interface ids, dispatch ids and the IVOKAPIX interface.
 *
 * Create it by ProgID through the COM runtime (platform/com/twcom.h) on a
 * thread that entered the apartment, then either call IDispatch::Invoke by
 * DISPID, or call IVOKAPIX's members directly: the interface is dual, its
 * table holding IDispatch's seven entries and then the 87 members below in
 * their order. Events come through a connection point
 * (IConnectionPointContainer, IID_IVOKAPIXEvents) as IDispatch::Invoke calls
 * on the host's sink, with the DISPIDs below and arguments right to left.
 *
 * Texts are BSTRs whose characters are the bytes of the control's byte
 * strings (byte b is U+00b, NUL included); a text holding a character above
 * U+00FF is refused (DISP_E_TYPEMISMATCH). Booleans are VARIANT_BOOL:
 * VARIANT_TRUE (-1) and VARIANT_FALSE (0); any non-zero value counts as true.
 */
#ifndef TIDEWIRE_CONTROL_ACTIVEX_VOKAPIX_H
#define TIDEWIRE_CONTROL_ACTIVEX_VOKAPIX_H

#include "platform/com/twcom.h"

#define VOKAPIX_PROGID "VOKAPIXControl.VOKAPIX"

/* {5440A16D-C3AC-11D4-A678-00E09805C1C0} */
TWCOM_DEFINE_GUID(CLSID_VOKAPIX, {0x5440A16D, 0xC3AC, 0x11D4, {0xA6, 0x78, 0x00, 0xE0, 0x98, 0x05, 0xC1, 0xC0}})
/* {5440A169-C3AC-11D4-A678-00E09805C1C0} */
TWCOM_DEFINE_GUID(IID_IVOKAPIX, {0x5440A169, 0xC3AC, 0x11D4, {0xA6, 0x78, 0x00, 0xE0, 0x98, 0x05, 0xC1, 0xC0}})
/* {5440A16B-C3AC-11D4-A678-00E09805C1C0} */
TWCOM_DEFINE_GUID(IID_IVOKAPIXEvents, {0x5440A16B, 0xC3AC, 0x11D4, {0xA6, 0x78, 0x00, 0xE0, 0x98, 0x05, 0xC1, 0xC0}})
/* The type library: {5440A168-C3AC-11D4-A678-00E09805C1C0}, version 1.0. */
TWCOM_DEFINE_GUID(LIBID_VOKAPIXControl, {0x5440A168, 0xC3AC, 0x11D4, {0xA6, 0x78, 0x00, 0xE0, 0x98, 0x05, 0xC1, 0xC0}})

/* Dispatch ids of IVOKAPIX: properties. */
#define DISPID_VOKAPIX_Log 20
#define DISPID_VOKAPIX_Debug 21
#define DISPID_VOKAPIX_Trace 22
#define DISPID_VOKAPIX_Port 23
#define DISPID_VOKAPIX_Address 24
#define DISPID_VOKAPIX_CallSign 25
#define DISPID_VOKAPIX_Kiss 26
#define DISPID_VOKAPIX_Monitor 27
#define DISPID_VOKAPIX_Poll 28
#define DISPID_VOKAPIX_Register 29
#define DISPID_VOKAPIX_MonitorMask 30
#define DISPID_VOKAPIX_Active 31
#define DISPID_VOKAPIX_Retry 32
#define DISPID_VOKAPIX_LoopBack 33
#define DISPID_VOKAPIX_LoopBackPort 34
#define DISPID_VOKAPIX_PortMax 35
#define DISPID_VOKAPIX_Beacon 36
#define DISPID_VOKAPIX_BeaconText 37
#define DISPID_VOKAPIX_BeaconId 38
#define DISPID_VOKAPIX_BeaconCall 39
#define DISPID_VOKAPIX_BeaconEvery 40
#define DISPID_VOKAPIX_BeaconPid 41
#define DISPID_VOKAPIX_BeaconAuto 42
#define DISPID_VOKAPIX_Digi 43
#define DISPID_VOKAPIX_DigiCall 44
#define DISPID_VOKAPIX_DigiAuto 45
#define DISPID_VOKAPIX_VOKAPIVersion 46
#define DISPID_VOKAPIX_VOKVersion 47
#define DISPID_VOKAPIX_AX25 48
#define DISPID_VOKAPIX_DoubleBuffered 49
#define DISPID_VOKAPIX_VisibleDockClientCount 50
#define DISPID_VOKAPIX_Enabled (-514)
#define DISPID_VOKAPIX_Visible 59
#define DISPID_VOKAPIX_Cursor 60
#define DISPID_VOKAPIX_TabStop 19
#define DISPID_VOKAPIX_TabOrder 51

/* Dispatch ids of IVOKAPIX: methods. */
#define DISPID_VOKAPIX_SendRaw 1
#define DISPID_VOKAPIX_SendUnproto 2
#define DISPID_VOKAPIX_SendData 3
#define DISPID_VOKAPIX_Disconnect 4
#define DISPID_VOKAPIX_Connect 5
#define DISPID_VOKAPIX_GetHeardInfo 6
#define DISPID_VOKAPIX_GetPortInfo 7
#define DISPID_VOKAPIX_VOKRegister 8
#define DISPID_VOKAPIX_VOKUnRegister 9
#define DISPID_VOKAPIX_BeaconPost 10
#define DISPID_VOKAPIX_DigiPost 11
#define DISPID_VOKAPIX_FCallSign 12
#define DISPID_VOKAPIX_XCallSign 13
#define DISPID_VOKAPIX_VOKWrite 14
#define DISPID_VOKAPIX_AX25Info 15
#define DISPID_VOKAPIX_AX25Connect 16
#define DISPID_VOKAPIX_AX25Disconnect 17
#define DISPID_VOKAPIX_AX25Send 18
#define DISPID_VOKAPIX_AX25Outstanding 61

/* The events of IVOKAPIXEvents, each declared here once and nowhere else:
 * E(name, dispid, parameters), the parameters left to right as A(kind, name),
 * kind being Long (VT_I4), Text (VT_BSTR) or Bool (VT_BOOL). The control's
 * component, its relay to the sink, its type description and the program's
 * sink are all made from this list. */
#define VOKAPIX_EVENTS(E, A)                                                                              \
  E(OnDebug, 1, A(Text, LogStr))                                                                           \
  E(OnConnect, 2, A(Long, dwPort) A(Text, szFrom) A(Text, szTo) A(Text, szData))                           \
  E(OnDisconnect, 3, A(Long, dwPort) A(Text, szFrom) A(Text, szTo) A(Text, szData))                        \
  E(OnData, 4, A(Long, dwPort) A(Text, szFrom) A(Text, szTo) A(Long, bPid) A(Text, szData))                \
  E(OnRaw, 5, A(Long, dwPort) A(Text, szData))                                                             \
  E(OnUnproto, 6, A(Long, dwPort) A(Text, szFrom) A(Text, szTo) A(Long, bPid) A(Text, szData))             \
  E(OnMonitor, 7, A(Long, dwPort) A(Text, szFrom) A(Text, szTo) A(Long, bPid) A(Text, szData))             \
  E(OnMonitorData, 8, A(Long, iPort) A(Text, szFrom) A(Text, szTo) A(Text, szVIA) A(Text, szType)          \
    A(Text, szPid) A(Long, iNR) A(Long, iNS) A(Text, szInfo))                                              \
  E(OnRetryOut, 9, A(Long, dwPort) A(Text, szFrom) A(Text, szTo) A(Text, szData))                          \
  E(OnPort, 10, )                                                                                          \
  E(OnRead, 11, A(Long, dwPort) A(Long, bPid) A(Text, szDataKind) A(Text, szFrom) A(Text, szTo)            \
    A(Text, szData))                                                                                       \
  E(OnRawDecode, 12, A(Long, dwPort) A(Text, szFrom) A(Text, szTo) A(Text, szVIA) A(Text, szType)          \
    A(Long, bNR) A(Long, bNS) A(Bool, fPF) A(Long, bPid) A(Text, szInfo))                                  \
  E(OnBeacon, 13, A(Long, dwPort) A(Text, szFrom) A(Text, szTo) A(Text, szVIA) A(Text, szMessage))         \
  E(OnDigi, 14, A(Long, dwPort) A(Text, szFrom) A(Text, szTo) A(Text, szDigiCall) A(Text, szData))         \
  E(OnError, 15, )                                                                                         \
  E(OnReady, 16, A(Bool, fReady))                                                                          \
  E(OnRegister, 17, A(Text, szCall) A(Bool, fFlags))                                                       \
  E(OnAX25Connect, 18, A(Long, iChannelId))                                                                \
  E(OnAX25Disconnect, 19, A(Long, iChannelId))                                                             \
  E(OnAX25Receive, 20, A(Long, iChannelId) A(Text, szData))

/* Dispatch ids of IVOKAPIXEvents: DISPID_VOKAPIXEvents_OnDebug and so on. */
#define VOKAPIX_EVENT_DISPID(name, dispid, parameters) DISPID_VOKAPIXEvents_##name = dispid,
/* For a use of the list that needs no parameters. */
#define VOKAPIX_EVENT_SKIP(kind, name)
enum { VOKAPIX_EVENTS(VOKAPIX_EVENT_DISPID, VOKAPIX_EVENT_SKIP) };
#undef VOKAPIX_EVENT_DISPID

/* IVOKAPIX's members in table order, after IDispatch's seven entries:
 * GET(name, type) is get_<name>(type* Value), PUT(name, type) is
 * put_<name>(type Value), METHOD(name, (parameters), (names)), the names
 * being those of the parameters, for implementations. Every member returns
 * an HRESULT; a method's result is its last parameter, Value. In-out
 * parameters keep the caller's values when the call is refused. */
#define VOKAPIX_MEMBERS(GET, PUT, METHOD)                                                         \
  GET(Log, BSTR) PUT(Log, BSTR)                                                                   \
  GET(Debug, VARIANT_BOOL) PUT(Debug, VARIANT_BOOL)                                               \
  GET(Trace, LONG) PUT(Trace, LONG)                                                               \
  GET(Port, LONG) PUT(Port, LONG)                                                                 \
  GET(Address, BSTR) PUT(Address, BSTR)                                                           \
  GET(CallSign, BSTR) PUT(CallSign, BSTR)                                                         \
  GET(Kiss, VARIANT_BOOL) PUT(Kiss, VARIANT_BOOL)                                                 \
  GET(Monitor, VARIANT_BOOL) PUT(Monitor, VARIANT_BOOL)                                           \
  GET(Poll, VARIANT_BOOL) PUT(Poll, VARIANT_BOOL)                                                 \
  GET(Register, VARIANT_BOOL) PUT(Register, VARIANT_BOOL)                                         \
  GET(MonitorMask, BSTR) PUT(MonitorMask, BSTR)                                                   \
  GET(Active, VARIANT_BOOL) PUT(Active, VARIANT_BOOL)                                             \
  GET(Retry, BYTE) PUT(Retry, BYTE)                                                               \
  GET(LoopBack, VARIANT_BOOL)                                                                     \
  GET(LoopBackPort, LONG)                                                                         \
  GET(PortMax, LONG)                                                                              \
  GET(Beacon, VARIANT_BOOL) PUT(Beacon, VARIANT_BOOL)                                             \
  GET(BeaconText, BSTR) PUT(BeaconText, BSTR)                                                     \
  GET(BeaconId, BSTR) PUT(BeaconId, BSTR)                                                         \
  GET(BeaconCall, BSTR) PUT(BeaconCall, BSTR)                                                     \
  GET(BeaconEvery, LONG) PUT(BeaconEvery, LONG)                                                   \
  GET(BeaconPid, LONG) PUT(BeaconPid, LONG)                                                       \
  GET(BeaconAuto, VARIANT_BOOL) PUT(BeaconAuto, VARIANT_BOOL)                                     \
  GET(Digi, VARIANT_BOOL) PUT(Digi, VARIANT_BOOL)                                                 \
  GET(DigiCall, BSTR) PUT(DigiCall, BSTR)                                                         \
  GET(DigiAuto, VARIANT_BOOL) PUT(DigiAuto, VARIANT_BOOL)                                         \
  GET(VOKAPIVersion, BSTR) PUT(VOKAPIVersion, BSTR)                                               \
  GET(VOKVersion, BSTR) PUT(VOKVersion, BSTR)                                                     \
  GET(AX25, VARIANT_BOOL) PUT(AX25, VARIANT_BOOL)                                                 \
  GET(DoubleBuffered, VARIANT_BOOL) PUT(DoubleBuffered, VARIANT_BOOL)                             \
  GET(VisibleDockClientCount, LONG)                                                               \
  GET(Enabled, VARIANT_BOOL) PUT(Enabled, VARIANT_BOOL)                                           \
  GET(Visible, VARIANT_BOOL) PUT(Visible, VARIANT_BOOL)                                           \
  GET(Cursor, SHORT) PUT(Cursor, SHORT)                                                           \
  METHOD(SendRaw, (LONG iPort, BSTR szData, VARIANT_BOOL* Value),                                 \
         (iPort, szData, Value))                                                                  \
  METHOD(SendUnproto, (LONG iPort, LONG bPid, BSTR szFrom, BSTR szTo, BSTR szVIA, BSTR szData,    \
          VARIANT_BOOL* Value),                                                                   \
         (iPort, bPid, szFrom, szTo, szVIA, szData, Value))                                       \
  METHOD(SendData, (LONG iPort, LONG bPid, BSTR szFrom, BSTR szTo, BSTR szData,                   \
          VARIANT_BOOL* Value),                                                                   \
         (iPort, bPid, szFrom, szTo, szData, Value))                                              \
  METHOD(Disconnect, (LONG iPort, BSTR szFrom, BSTR szTo, VARIANT_BOOL* Value),                   \
         (iPort, szFrom, szTo, Value))                                                            \
  METHOD(Connect, (LONG iPort, BSTR szFrom, BSTR szTo, BSTR szVIA, LONG bPid,                     \
          VARIANT_BOOL* Value),                                                                   \
         (iPort, szFrom, szTo, szVIA, bPid, Value))                                               \
  METHOD(GetHeardInfo, (LONG iPort, LONG iPos, BSTR* Value),                                      \
         (iPort, iPos, Value))                                                                    \
  METHOD(GetPortInfo, (LONG iPort, BSTR* szPortName, LONG* iOnAirBaud, LONG* iTrafficLevel,       \
          LONG* iTxDelay, LONG* iTxTail, LONG* iPersist, LONG* iSlotTime, LONG* iMaxFrame,        \
          LONG* iAX25Channel, LONG iHowManyBytes, LONG* iFrames, VARIANT_BOOL* Value),            \
         (iPort, szPortName, iOnAirBaud, iTrafficLevel, iTxDelay, iTxTail, iPersist, iSlotTime,   \
          iMaxFrame, iAX25Channel, iHowManyBytes, iFrames, Value))                                \
  METHOD(VOKRegister, (BSTR szCall),                                                              \
         (szCall))                                                                                \
  METHOD(VOKUnRegister, (BSTR szCall),                                                            \
         (szCall))                                                                                \
  METHOD(BeaconPost, (LONG iPort, BSTR szFrom, BSTR szTo, BSTR szVIA, BSTR szMessage),            \
         (iPort, szFrom, szTo, szVIA, szMessage))                                                 \
  METHOD(DigiPost, (LONG iPort, BSTR szFrom, BSTR szTo, BSTR szData),                             \
         (iPort, szFrom, szTo, szData))                                                           \
  METHOD(FCallSign, (BSTR szCall, BSTR* Value),                                                   \
         (szCall, Value))                                                                         \
  METHOD(XCallSign, (BSTR szCall, BSTR* Value),                                                   \
         (szCall, Value))                                                                         \
  METHOD(VOKWrite, (LONG iPort, LONG bPid, BSTR szDataKind, BSTR szFrom, BSTR szTo, BSTR szData), \
         (iPort, bPid, szDataKind, szFrom, szTo, szData))                                         \
  METHOD(AX25Info, (LONG iChannelId, LONG* iPort, BSTR* szFrom, BSTR* szTo, BSTR* szVIA,          \
          LONG* iLinkStatus, LONG* iRx, LONG* iTx, VARIANT_BOOL* Value),                          \
         (iChannelId, iPort, szFrom, szTo, szVIA, iLinkStatus, iRx, iTx, Value))                  \
  METHOD(AX25Connect, (LONG iPort, BSTR szFrom, BSTR szTo, BSTR szVIA, LONG* Value),              \
         (iPort, szFrom, szTo, szVIA, Value))                                                     \
  METHOD(AX25Disconnect, (LONG iChannelId, VARIANT_BOOL* Value),                                  \
         (iChannelId, Value))                                                                     \
  METHOD(AX25Send, (LONG iChannelId, BSTR szData, VARIANT_BOOL* Value),                           \
         (iChannelId, szData, Value))                                                             \
  GET(TabStop, VARIANT_BOOL) PUT(TabStop, VARIANT_BOOL)                                           \
  GET(TabOrder, LONG) PUT(TabOrder, LONG)                                                         \
  METHOD(AX25Outstanding, (LONG iChannelId, LONG* iFrames, LONG* iBytes, VARIANT_BOOL* Value),    \
         (iChannelId, iFrames, iBytes, Value))

#ifdef __cplusplus

#define VOKAPIX_CPP_GET(name, type) virtual HRESULT get_##name(type* Value) = 0;
#define VOKAPIX_CPP_PUT(name, type) virtual HRESULT put_##name(type Value) = 0;
#define VOKAPIX_CPP_METHOD(name, parameters, names) virtual HRESULT name parameters = 0;

struct IVOKAPIX : public IDispatch {
  VOKAPIX_MEMBERS(VOKAPIX_CPP_GET, VOKAPIX_CPP_PUT, VOKAPIX_CPP_METHOD)

 protected:
  ~IVOKAPIX() = default;
};

#undef VOKAPIX_CPP_GET
#undef VOKAPIX_CPP_PUT
#undef VOKAPIX_CPP_METHOD

#else /* C */

typedef struct IVOKAPIX IVOKAPIX;

#define VOKAPIX_THIS_AND(...) (IVOKAPIX * This, __VA_ARGS__)
#define VOKAPIX_C_GET(name, type) HRESULT (*get_##name)(IVOKAPIX * This, type * Value);
#define VOKAPIX_C_PUT(name, type) HRESULT (*put_##name)(IVOKAPIX * This, type Value);
#define VOKAPIX_C_METHOD(name, parameters, names) HRESULT(*name) VOKAPIX_THIS_AND parameters;

typedef struct IVOKAPIXVtbl {
  TWCOM_IUNKNOWN_METHODS(TWCOM_C_ENTRY, TWCOM_C_ENTRY0, IVOKAPIX)
  TWCOM_IDISPATCH_METHODS(TWCOM_C_ENTRY, TWCOM_C_ENTRY0, IVOKAPIX)
  VOKAPIX_MEMBERS(VOKAPIX_C_GET, VOKAPIX_C_PUT, VOKAPIX_C_METHOD)
} IVOKAPIXVtbl;

struct IVOKAPIX {
  const IVOKAPIXVtbl* lpVtbl;
};

#undef VOKAPIX_C_GET
#undef VOKAPIX_C_PUT
#undef VOKAPIX_C_METHOD

#endif /* __cplusplus */

#endif /* TIDEWIRE_CONTROL_ACTIVEX_VOKAPIX_H */
