/* The COM runtime stand-in (libtwcom.so): types, codes, interfaces and entry
 * points, usable from C (C11) and C++.
 *
 * One shared library that the program, the control and any host link
 * dynamically, as the system's COM runtime is on the original platform: it
 * owns the apartment (one event loop per apartment thread), the BSTR
 * allocator, the VARIANT helpers, the registry file and creation by class id
 * and ProgID. Layouts, numeric values and method orders are those of Windows
 * on a 64-bit target, with these differences:
 *   - OLECHAR is char16_t (UTF-16), never wchar_t (32-bit here);
 *   - ULONG and LONG are 32-bit (uint32_t, int32_t) as on Windows;
 *   - there is no BOOL type (IClassFactory::LockServer takes an int);
 *   - REFIID and friends are references in C++ and pointers in C, as on
 *     Windows; calls across the two languages pass the same address.
 * C++-only helpers (smart pointers, byte strings, the registry, the thread's
 * event loop) are in platform/com/twcom.hpp.
 */
#ifndef TIDEWIRE_PLATFORM_COM_TWCOM_H
#define TIDEWIRE_PLATFORM_COM_TWCOM_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

/* Marks the runtime's exported functions and data (everything else in
 * libtwcom.so is hidden). An in-process server marks its four entry points
 * with TWCOM_SERVER_ENTRY. */
#define TWCOM_API __attribute__((visibility("default")))
#ifdef __cplusplus
#define TWCOM_SERVER_ENTRY extern "C" __attribute__((visibility("default")))
#define TWCOM_CAST(type, value) static_cast<type>(value)
#define TWCOM_BEGIN_C extern "C" {
#define TWCOM_END_C }
#else
#define TWCOM_SERVER_ENTRY __attribute__((visibility("default")))
#define TWCOM_CAST(type, value) ((type)(value))
#define TWCOM_BEGIN_C
#define TWCOM_END_C
#endif

TWCOM_BEGIN_C

/* ---------------------------------------------------------------- scalars */

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef unsigned int UINT;
typedef int32_t HRESULT;
typedef int32_t SCODE;
typedef DWORD LCID;
typedef LONG DISPID;
typedef char16_t OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;
/* A BSTR points at UTF-16 text that is preceded by a 4-byte byte count and
 * followed by a NUL; it may hold NULs itself. A null BSTR is an empty string. */
typedef OLECHAR* BSTR;
typedef USHORT VARTYPE;
typedef SHORT VARIANT_BOOL;

#define VARIANT_TRUE TWCOM_CAST(VARIANT_BOOL, -1)
#define VARIANT_FALSE TWCOM_CAST(VARIANT_BOOL, 0)

/* ------------------------------------------------------------- HRESULTs */

#define SUCCEEDED(hr) ((hr) >= 0)
#define FAILED(hr) ((hr) < 0)
#define TWCOM_HR(value) TWCOM_CAST(HRESULT, value##u)

#define S_OK TWCOM_CAST(HRESULT, 0)
#define S_FALSE TWCOM_CAST(HRESULT, 1)
#define E_NOTIMPL TWCOM_HR(0x80004001)
#define E_NOINTERFACE TWCOM_HR(0x80004002)
#define E_POINTER TWCOM_HR(0x80004003)
#define E_ABORT TWCOM_HR(0x80004004)
#define E_FAIL TWCOM_HR(0x80004005)
#define E_UNEXPECTED TWCOM_HR(0x8000FFFF)
#define E_ACCESSDENIED TWCOM_HR(0x80070005)
#define E_OUTOFMEMORY TWCOM_HR(0x8007000E)
#define E_INVALIDARG TWCOM_HR(0x80070057)
#define E_NOT_SUFFICIENT_BUFFER TWCOM_HR(0x8007007A)
#define CLASS_E_NOAGGREGATION TWCOM_HR(0x80040110)
#define CLASS_E_CLASSNOTAVAILABLE TWCOM_HR(0x80040111)
#define REGDB_E_READREGDB TWCOM_HR(0x80040150)
#define REGDB_E_WRITEREGDB TWCOM_HR(0x80040151)
#define REGDB_E_CLASSNOTREG TWCOM_HR(0x80040154)
#define CO_E_NOTINITIALIZED TWCOM_HR(0x800401F0)
#define CO_E_ALREADYINITIALIZED TWCOM_HR(0x800401F1)
#define CO_E_CLASSSTRING TWCOM_HR(0x800401F3)
#define CO_E_DLLNOTFOUND TWCOM_HR(0x800401F8)
#define CO_E_ERRORINDLL TWCOM_HR(0x800401F9)
#define RPC_E_CHANGED_MODE TWCOM_HR(0x80010106)
#define RPC_E_DISCONNECTED TWCOM_HR(0x80010108)
#define RPC_E_WRONG_THREAD TWCOM_HR(0x8001010E)
#define DISP_E_UNKNOWNINTERFACE TWCOM_HR(0x80020001)
#define DISP_E_MEMBERNOTFOUND TWCOM_HR(0x80020003)
#define DISP_E_PARAMNOTFOUND TWCOM_HR(0x80020004)
#define DISP_E_TYPEMISMATCH TWCOM_HR(0x80020005)
#define DISP_E_UNKNOWNNAME TWCOM_HR(0x80020006)
#define DISP_E_NONAMEDARGS TWCOM_HR(0x80020007)
#define DISP_E_BADVARTYPE TWCOM_HR(0x80020008)
#define DISP_E_EXCEPTION TWCOM_HR(0x80020009)
#define DISP_E_OVERFLOW TWCOM_HR(0x8002000A)
#define DISP_E_BADINDEX TWCOM_HR(0x8002000B)
#define DISP_E_UNKNOWNLCID TWCOM_HR(0x8002000C)
#define DISP_E_BADPARAMCOUNT TWCOM_HR(0x8002000E)
#define DISP_E_PARAMNOTOPTIONAL TWCOM_HR(0x8002000F)
#define TYPE_E_ELEMENTNOTFOUND TWCOM_HR(0x8002802B)
#define CONNECT_E_NOCONNECTION TWCOM_HR(0x80040200)
#define CONNECT_E_ADVISELIMIT TWCOM_HR(0x80040201)
#define CONNECT_E_CANNOTCONNECT TWCOM_HR(0x80040202)
#define CONNECT_E_OVERRIDDEN TWCOM_HR(0x80040203)
/* Same values as CONNECT_E_NOCONNECTION and CONNECT_E_ADVISELIMIT, as on
 * Windows (both are interface-specific codes). */
#define SELFREG_E_TYPELIB TWCOM_HR(0x80040200)
#define SELFREG_E_CLASS TWCOM_HR(0x80040201)

/* The symbolic name of a code above ("E_FAIL"), or NULL for any other value.
 * For codes that share a value the CONNECT_E_ name is given. */
TWCOM_API const char* TwHresultName(HRESULT hr);

/* ------------------------------------------------------------------ GUIDs */

typedef struct _GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;
#ifdef __cplusplus
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;
#else
typedef const GUID* REFGUID;
typedef const IID* REFIID;
typedef const CLSID* REFCLSID;
#endif

/* Defines a GUID constant in a header, for both languages: one object for
 * the whole program in C++ (so that it may name an interface id to
 * platform/com/unknown.hpp), one per file in C.
 *   TWCOM_DEFINE_GUID(IID_IMine, {0x5440A169, 0xC3AC, 0x11D4, {0xA6, ...}}) */
#ifdef __cplusplus
#define TWCOM_DEFINE_GUID(name, ...) inline constexpr GUID name = __VA_ARGS__;
#else
#define TWCOM_DEFINE_GUID(name, ...) static const GUID name = __VA_ARGS__;
#endif

/* The all-zero GUID. */
TWCOM_API extern const GUID GUID_NULL;
#define IID_NULL GUID_NULL
#define CLSID_NULL GUID_NULL

/* "{5440A16D-C3AC-11D4-A678-00E09805C1C0}": 38 characters, braces required,
 * hex digits in either case. S_OK; CO_E_CLASSSTRING for any other text (the
 * GUID is then left as it was); E_INVALIDARG for a null text; E_POINTER for a
 * null result. */
TWCOM_API HRESULT TwGuidFromString(const char* text, GUID* guid);
/* Writes the 38-character upper-case form and a NUL; `size` must be at least
 * TW_GUID_STRING_SIZE (else E_NOT_SUFFICIENT_BUFFER and nothing written). */
#define TW_GUID_STRING_SIZE 39
TWCOM_API HRESULT TwGuidToString(REFGUID guid, char* buffer, size_t size);
/* The same two in UTF-16, with the Windows signatures: CLSIDFromString gives
 * S_OK or CO_E_CLASSSTRING (E_INVALIDARG/E_POINTER for null pointers);
 * StringFromGUID2 returns the characters written including the NUL (39), or 0
 * when `cchMax` is below 39. */
TWCOM_API HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid);
TWCOM_API int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int cchMax);

/* ------------------------------------------------------------------ BSTRs
 * One allocator for every module: a BSTR made here may be freed by any
 * module linking the runtime, and the other way round. */

/* A new BSTR of `length` characters copied from `text` (zero-filled when
 * `text` is NULL), NUL-terminated. NULL when out of memory or when `length`
 * is too large for the 32-bit byte count. */
TWCOM_API BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
/* A copy of the NUL-terminated `text`; NULL for a NULL text. */
TWCOM_API BSTR SysAllocString(const OLECHAR* text);
/* Frees a BSTR from this allocator; NULL is ignored. */
TWCOM_API void SysFreeString(BSTR text);
/* Characters (not counting the final NUL); 0 for NULL. */
TWCOM_API UINT SysStringLen(BSTR text);
/* Bytes (twice the characters); 0 for NULL. */
TWCOM_API UINT SysStringByteLen(BSTR text);

/* Byte strings <-> BSTR, by the ISO-8859-1 mapping, always, whatever the
 * locale: byte b is character U+00b and back, by length, NUL included.
 * TwBstrFromBytes: a new BSTR of `length` characters (`bytes` may be NULL
 * when `length` is 0); NULL only when out of memory or `bytes` is NULL with a
 * non-zero length.
 * TwBstrToBytes: a null BSTR reads as empty. Checks every character first: a
 * character above U+00FF gives DISP_E_TYPEMISMATCH and writes nothing. Then,
 * when `buffer` holds `*length` + 1 bytes, writes the bytes and a NUL and
 * gives S_OK; otherwise E_NOT_SUFFICIENT_BUFFER (nothing written). `*length`
 * (when `length` is not NULL) receives the byte count in every case but
 * DISP_E_TYPEMISMATCH. */
TWCOM_API BSTR TwBstrFromBytes(const char* bytes, UINT length);
TWCOM_API HRESULT TwBstrToBytes(BSTR text, char* buffer, UINT size, UINT* length);

/* -------------------------------------------------------------- VARIANTs */

enum VARENUM {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12, /* only with VT_BYREF */
  VT_UNKNOWN = 13,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_ARRAY = 0x2000, /* not supported: DISP_E_BADVARTYPE */
  VT_BYREF = 0x4000,
  VT_TYPEMASK = 0x0FFF
};

#ifdef __cplusplus
struct IUnknown;
struct IDispatch;
#else
typedef struct IUnknown IUnknown;
typedef struct IDispatch IDispatch;
#endif

/* Keeps VARIANT at its Windows size (the record member of the union). */
typedef struct TW_VARIANT_RECORD {
  void* pvRecord;
  void* pRecInfo;
} TW_VARIANT_RECORD;

/* 16-bit vt, three reserved words, then the value (offset 8); 24 bytes. */
typedef struct tagVARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONGLONG llVal;          /* VT_I8 */
    LONG lVal;               /* VT_I4 */
    BYTE bVal;               /* VT_UI1 */
    SHORT iVal;              /* VT_I2 */
    float fltVal;            /* VT_R4 */
    double dblVal;           /* VT_R8 */
    VARIANT_BOOL boolVal;    /* VT_BOOL: VARIANT_TRUE or VARIANT_FALSE */
    SCODE scode;             /* VT_ERROR */
    BSTR bstrVal;            /* VT_BSTR (owned) */
    IUnknown* punkVal;       /* VT_UNKNOWN (owned reference) */
    IDispatch* pdispVal;     /* VT_DISPATCH (owned reference) */
    char cVal;               /* VT_I1 */
    USHORT uiVal;            /* VT_UI2 */
    ULONG ulVal;             /* VT_UI4 */
    ULONGLONG ullVal;        /* VT_UI8 */
    int intVal;              /* VT_INT */
    unsigned int uintVal;    /* VT_UINT */
    BYTE* pbVal;             /* VT_BYREF|VT_UI1, and so on: never owned */
    SHORT* piVal;
    LONG* plVal;
    LONGLONG* pllVal;
    float* pfltVal;
    double* pdblVal;
    VARIANT_BOOL* pboolVal;
    SCODE* pscode;
    BSTR* pbstrVal;
    IUnknown** ppunkVal;
    IDispatch** ppdispVal;
    struct tagVARIANT* pvarVal;
    char* pcVal;
    USHORT* puiVal;
    ULONG* pulVal;
    ULONGLONG* pullVal;
    int* pintVal;
    unsigned int* puintVal;
    void* byref;
    TW_VARIANT_RECORD brecVal;
  };
} VARIANT;
typedef VARIANT VARIANTARG;

#define V_VT(v) ((v)->vt)
#define V_I2(v) ((v)->iVal)
#define V_I4(v) ((v)->lVal)
#define V_UI1(v) ((v)->bVal)
#define V_BOOL(v) ((v)->boolVal)
#define V_BSTR(v) ((v)->bstrVal)
#define V_ERROR(v) ((v)->scode)
#define V_UNKNOWN(v) ((v)->punkVal)
#define V_DISPATCH(v) ((v)->pdispVal)
#define V_I2REF(v) ((v)->piVal)
#define V_I4REF(v) ((v)->plVal)
#define V_UI1REF(v) ((v)->pbVal)
#define V_BOOLREF(v) ((v)->pboolVal)
#define V_BSTRREF(v) ((v)->pbstrVal)
#define V_VARIANTREF(v) ((v)->pvarVal)

/* Sets vt to VT_EMPTY and clears the reserved words and the value. */
TWCOM_API void VariantInit(VARIANTARG* variant);
/* Frees what the variant owns (a VT_BSTR's string, a VT_UNKNOWN's or
 * VT_DISPATCH's reference) and leaves it VT_EMPTY with a cleared value.
 * Never touches what a VT_BYREF variant points at. S_OK; E_INVALIDARG for
 * NULL; DISP_E_BADVARTYPE for a type it does not know (left unchanged). */
TWCOM_API HRESULT VariantClear(VARIANTARG* variant);
/* Makes `dest` a copy of `source`: a BSTR is duplicated, an interface gets a
 * reference of its own, a by-reference variant copies the pointer. The copy
 * is made before `dest` is cleared, so on failure `dest` is unchanged. S_OK
 * (also when both are the same variant); E_INVALIDARG for NULL;
 * DISP_E_BADVARTYPE for an unknown type in `source` (or in `dest`, which
 * then stays as it was); E_OUTOFMEMORY. */
TWCOM_API HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* source);

/* ------------------------------------------------------ dispatch records */

#define DISPATCH_METHOD 0x1
#define DISPATCH_PROPERTYGET 0x2
#define DISPATCH_PROPERTYPUT 0x4
#define DISPATCH_PROPERTYPUTREF 0x8

#define DISPID_VALUE TWCOM_CAST(DISPID, 0)
#define DISPID_UNKNOWN TWCOM_CAST(DISPID, -1)
#define DISPID_PROPERTYPUT TWCOM_CAST(DISPID, -3)

#define LOCALE_SYSTEM_DEFAULT TWCOM_CAST(LCID, 0x0800)
#define LOCALE_USER_DEFAULT TWCOM_CAST(LCID, 0x0400)

/* Arguments right to left: rgvarg[0] is the last one. A property put passes
 * its value as rgvarg[0] with one named argument, DISPID_PROPERTYPUT. */
typedef struct tagDISPPARAMS {
  VARIANTARG* rgvarg;
  DISPID* rgdispidNamedArgs;
  UINT cArgs;
  UINT cNamedArgs;
} DISPPARAMS;

typedef struct tagEXCEPINFO {
  WORD wCode;
  WORD wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  DWORD dwHelpContext;
  void* pvReserved;
  HRESULT (*pfnDeferredFillIn)(struct tagEXCEPINFO*);
  SCODE scode;
} EXCEPINFO;

/* ------------------------------------------------------------ interfaces
 * Each interface is, in C++, an abstract class of pure virtual functions
 * (no virtual destructor, no data, no standard-library types) and, in C, a
 * struct whose only member points at a table of function pointers taking the
 * object first. Both have the same layout: an object pointer of either
 * language can be handed to code of the other. The tables (IUnknownVtbl and
 * so on) are declared in both languages. */

#ifdef __cplusplus
struct ITypeInfo; /* opaque: GetTypeInfo is not supported */
struct IClassFactory;
struct IConnectionPoint;
struct IConnectionPointContainer;
struct IEnumConnections;
struct IEnumConnectionPoints;
#else
typedef struct ITypeInfo ITypeInfo;
typedef struct IClassFactory IClassFactory;
typedef struct IConnectionPoint IConnectionPoint;
typedef struct IConnectionPointContainer IConnectionPointContainer;
typedef struct IEnumConnections IEnumConnections;
typedef struct IEnumConnectionPoints IEnumConnectionPoints;
#endif

typedef struct tagCONNECTDATA {
  IUnknown* pUnk;
  DWORD dwCookie;
} CONNECTDATA;

/* The standard interface ids. */
TWCOM_API extern const IID IID_IUnknown;                 /* {00000000-0000-0000-C000-000000000046} */
TWCOM_API extern const IID IID_IDispatch;                /* {00020400-0000-0000-C000-000000000046} */
TWCOM_API extern const IID IID_ITypeInfo;                /* {00020401-0000-0000-C000-000000000046} */
TWCOM_API extern const IID IID_IClassFactory;            /* {00000001-0000-0000-C000-000000000046} */
TWCOM_API extern const IID IID_IConnectionPointContainer; /* {B196B284-BAB4-101A-B69C-00AA00341D07} */
TWCOM_API extern const IID IID_IEnumConnectionPoints;    /* {B196B285-BAB4-101A-B69C-00AA00341D07} */
TWCOM_API extern const IID IID_IConnectionPoint;         /* {B196B286-BAB4-101A-B69C-00AA00341D07} */
TWCOM_API extern const IID IID_IEnumConnections;         /* {B196B287-BAB4-101A-B69C-00AA00341D07} */

/* Each interface's own methods, in table order (after IUnknown's):
 * M(I, result, name, (parameters)) for a method with parameters and
 * M0(I, result, name) for one without; I is the interface whose table is
 * made (This, in C). The tables, the C structs and the C++ classes below are
 * all made from these lists, so a method is written once. */
#define TWCOM_IUNKNOWN_METHODS(M, M0, I)                                                            \
  M(I, HRESULT, QueryInterface, (REFIID riid, void** ppvObject))                                    \
  M0(I, ULONG, AddRef)                                                                              \
  M0(I, ULONG, Release)
#define TWCOM_IDISPATCH_METHODS(M, M0, I)                                                           \
  M(I, HRESULT, GetTypeInfoCount, (UINT* pctinfo))                                                  \
  M(I, HRESULT, GetTypeInfo, (UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo))                         \
  M(I, HRESULT, GetIDsOfNames, (REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,           \
                                DISPID* rgDispId))                                                  \
  M(I, HRESULT, Invoke, (DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,                  \
                         DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,       \
                         UINT* puArgErr))
#define TWCOM_ICLASSFACTORY_METHODS(M, M0, I)                                                       \
  M(I, HRESULT, CreateInstance, (IUnknown* pUnkOuter, REFIID riid, void** ppvObject))               \
  M(I, HRESULT, LockServer, (int fLock))
#define TWCOM_ICONNECTIONPOINTCONTAINER_METHODS(M, M0, I)                                           \
  M(I, HRESULT, EnumConnectionPoints, (IEnumConnectionPoints** ppEnum))                             \
  M(I, HRESULT, FindConnectionPoint, (REFIID riid, IConnectionPoint** ppCP))
#define TWCOM_ICONNECTIONPOINT_METHODS(M, M0, I)                                                    \
  M(I, HRESULT, GetConnectionInterface, (IID* pIID))                                                \
  M(I, HRESULT, GetConnectionPointContainer, (IConnectionPointContainer** ppCPC))                   \
  M(I, HRESULT, Advise, (IUnknown* pUnkSink, DWORD* pdwCookie))                                     \
  M(I, HRESULT, Unadvise, (DWORD dwCookie))                                                         \
  M(I, HRESULT, EnumConnections, (IEnumConnections** ppEnum))
#define TWCOM_IENUMCONNECTIONS_METHODS(M, M0, I)                                                    \
  M(I, HRESULT, Next, (ULONG cConnections, CONNECTDATA* rgcd, ULONG* pcFetched))                    \
  M(I, HRESULT, Skip, (ULONG cConnections))                                                         \
  M0(I, HRESULT, Reset)                                                                             \
  M(I, HRESULT, Clone, (IEnumConnections** ppEnum))
#define TWCOM_IENUMCONNECTIONPOINTS_METHODS(M, M0, I)                                               \
  M(I, HRESULT, Next, (ULONG cConnections, IConnectionPoint** ppCP, ULONG* pcFetched))              \
  M(I, HRESULT, Skip, (ULONG cConnections))                                                         \
  M0(I, HRESULT, Reset)                                                                             \
  M(I, HRESULT, Clone, (IEnumConnectionPoints** ppEnum))
#define TWCOM_NO_METHODS(M, M0, I)

/* The interfaces of the runtime below IUnknown: X(name, base, methods). */
#define TWCOM_INTERFACES(X)                                                                         \
  X(IDispatch, IUnknown, TWCOM_IDISPATCH_METHODS)                                                   \
  X(IClassFactory, IUnknown, TWCOM_ICLASSFACTORY_METHODS)                                           \
  X(IConnectionPointContainer, IUnknown, TWCOM_ICONNECTIONPOINTCONTAINER_METHODS)                   \
  X(IConnectionPoint, IUnknown, TWCOM_ICONNECTIONPOINT_METHODS)                                     \
  X(IEnumConnections, IUnknown, TWCOM_IENUMCONNECTIONS_METHODS)                                     \
  X(IEnumConnectionPoints, IUnknown, TWCOM_IENUMCONNECTIONPOINTS_METHODS)

/* A table entry: a function pointer taking the object first. */
#define TWCOM_UNPAREN(...) __VA_ARGS__
#define TWCOM_C_ENTRY(I, result, name, parameters) result (*name)(I* This, TWCOM_UNPAREN parameters);
#define TWCOM_C_ENTRY0(I, result, name) result (*name)(I* This);
/* The table of interface I: IUnknown's entries, then its own. (A table
 * below IDispatch, IVOKAPIX's in vokapix.h, is made the same way from
 * IUnknown's, IDispatch's and its own lists.) */
#define TWCOM_C_TABLE(I, base, methods)                                                             \
  typedef struct I##Vtbl {                                                                          \
    TWCOM_IUNKNOWN_METHODS(TWCOM_C_ENTRY, TWCOM_C_ENTRY0, I)                                        \
    methods(TWCOM_C_ENTRY, TWCOM_C_ENTRY0, I)                                                       \
  } I##Vtbl;

TWCOM_C_TABLE(IUnknown, IUnknown, TWCOM_NO_METHODS)
TWCOM_INTERFACES(TWCOM_C_TABLE)

TWCOM_END_C

#ifdef __cplusplus

/* Each destructor is protected and non-virtual: an object is never deleted
 * through an interface pointer (Release does that), and the table holds the
 * methods only, in the order written. */
#define TWCOM_CPP_ENTRY(I, result, name, parameters) virtual result name parameters = 0;
#define TWCOM_CPP_ENTRY0(I, result, name) virtual result name() = 0;
#define TWCOM_CPP_CLASS(I, base, methods)                                                           \
  struct I : public base {                                                                          \
    methods(TWCOM_CPP_ENTRY, TWCOM_CPP_ENTRY0, I)                                                   \
                                                                                                    \
   protected:                                                                                       \
    ~I() = default;                                                                                 \
  };

struct IUnknown {
  TWCOM_IUNKNOWN_METHODS(TWCOM_CPP_ENTRY, TWCOM_CPP_ENTRY0, IUnknown)

 protected:
  ~IUnknown() = default;
};
TWCOM_INTERFACES(TWCOM_CPP_CLASS)

inline bool IsEqualGUID(REFGUID a, REFGUID b) { return memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator==(const GUID& a, const GUID& b) { return IsEqualGUID(a, b); }

#else /* C */

#define TWCOM_C_STRUCT(I, base, methods)                                                            \
  struct I {                                                                                        \
    const I##Vtbl* lpVtbl;                                                                          \
  };
TWCOM_C_STRUCT(IUnknown, IUnknown, TWCOM_NO_METHODS)
TWCOM_INTERFACES(TWCOM_C_STRUCT)

static inline int IsEqualGUID(REFGUID a, REFGUID b) { return memcmp(a, b, sizeof(GUID)) == 0; }

/* Calls in C: IDispatch_Invoke(p, ...) is p->lpVtbl->Invoke(p, ...). */
#define IUnknown_QueryInterface(p, riid, ppv) ((p)->lpVtbl->QueryInterface(p, riid, ppv))
#define IUnknown_AddRef(p) ((p)->lpVtbl->AddRef(p))
#define IUnknown_Release(p) ((p)->lpVtbl->Release(p))
#define IDispatch_QueryInterface(p, riid, ppv) ((p)->lpVtbl->QueryInterface(p, riid, ppv))
#define IDispatch_AddRef(p) ((p)->lpVtbl->AddRef(p))
#define IDispatch_Release(p) ((p)->lpVtbl->Release(p))
#define IDispatch_GetTypeInfoCount(p, pctinfo) ((p)->lpVtbl->GetTypeInfoCount(p, pctinfo))
#define IDispatch_GetTypeInfo(p, i, lcid, pp) ((p)->lpVtbl->GetTypeInfo(p, i, lcid, pp))
#define IDispatch_GetIDsOfNames(p, riid, names, n, lcid, ids) ((p)->lpVtbl->GetIDsOfNames(p, riid, names, n, lcid, ids))
#define IDispatch_Invoke(p, id, riid, lcid, flags, params, result, excep, argerr) \
  ((p)->lpVtbl->Invoke(p, id, riid, lcid, flags, params, result, excep, argerr))
#define IClassFactory_QueryInterface(p, riid, ppv) ((p)->lpVtbl->QueryInterface(p, riid, ppv))
#define IClassFactory_AddRef(p) ((p)->lpVtbl->AddRef(p))
#define IClassFactory_Release(p) ((p)->lpVtbl->Release(p))
#define IClassFactory_CreateInstance(p, outer, riid, ppv) ((p)->lpVtbl->CreateInstance(p, outer, riid, ppv))
#define IClassFactory_LockServer(p, lock) ((p)->lpVtbl->LockServer(p, lock))
#define IConnectionPointContainer_QueryInterface(p, riid, ppv) ((p)->lpVtbl->QueryInterface(p, riid, ppv))
#define IConnectionPointContainer_AddRef(p) ((p)->lpVtbl->AddRef(p))
#define IConnectionPointContainer_Release(p) ((p)->lpVtbl->Release(p))
#define IConnectionPointContainer_EnumConnectionPoints(p, ppEnum) ((p)->lpVtbl->EnumConnectionPoints(p, ppEnum))
#define IConnectionPointContainer_FindConnectionPoint(p, riid, ppCP) ((p)->lpVtbl->FindConnectionPoint(p, riid, ppCP))
#define IConnectionPoint_QueryInterface(p, riid, ppv) ((p)->lpVtbl->QueryInterface(p, riid, ppv))
#define IConnectionPoint_AddRef(p) ((p)->lpVtbl->AddRef(p))
#define IConnectionPoint_Release(p) ((p)->lpVtbl->Release(p))
#define IConnectionPoint_GetConnectionInterface(p, piid) ((p)->lpVtbl->GetConnectionInterface(p, piid))
#define IConnectionPoint_GetConnectionPointContainer(p, pp) ((p)->lpVtbl->GetConnectionPointContainer(p, pp))
#define IConnectionPoint_Advise(p, sink, cookie) ((p)->lpVtbl->Advise(p, sink, cookie))
#define IConnectionPoint_Unadvise(p, cookie) ((p)->lpVtbl->Unadvise(p, cookie))
#define IConnectionPoint_EnumConnections(p, ppEnum) ((p)->lpVtbl->EnumConnections(p, ppEnum))

#endif /* __cplusplus */

#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)

TWCOM_BEGIN_C

/* ------------------------------------------------------------- apartment
 * Entering the apartment on a thread creates that thread's event loop; every
 * object created on the thread belongs to it, runs its notifications from
 * that loop, and refuses calls from other threads (RPC_E_WRONG_THREAD, see
 * TwCheckApartment). Only the single-threaded apartment exists. */

#define COINIT_MULTITHREADED 0x0
#define COINIT_APARTMENTTHREADED 0x2
#define COINIT_DISABLE_OLE1DDE 0x4
#define COINIT_SPEED_OVER_MEMORY 0x8

/* Enters the apartment: S_OK the first time on a thread (the loop is made),
 * S_FALSE when the thread is already in it (the calls nest and count);
 * E_INVALIDARG for a non-NULL `reserved` or unknown flags; E_NOTIMPL for
 * COINIT_MULTITHREADED (RPC_E_CHANGED_MODE when the thread is already in
 * the apartment); E_UNEXPECTED while the thread's apartment is being ended;
 * E_OUTOFMEMORY. Each success (S_OK or S_FALSE) needs one CoUninitialize,
 * before the thread exits (an apartment never left stays allocated, and its
 * loop with it). */
TWCOM_API HRESULT CoInitializeEx(void* reserved, DWORD coInit);
/* CoInitializeEx(reserved, COINIT_APARTMENTTHREADED). */
TWCOM_API HRESULT CoInitialize(void* reserved);
/* Leaves one level. The last one ends the apartment: it unloads the
 * libraries whose DllCanUnloadNow says S_OK, destroys the loop (handlers
 * still pending are destroyed without running: a TwApartmentPost's `drop`
 * is called, a posted C++ task releases what it captured), then asks the
 * libraries again. Called from a handler of a run under way, the end waits
 * until that run returns (the run is stopped at once). Everything made from
 * the loop (sockets, timers) must be released before. Without an apartment,
 * nothing happens. */
TWCOM_API void CoUninitialize(void);

/* An apartment's identity: never 0, never reused within a process. */
typedef uint64_t TW_APARTMENT;
/* The calling thread's apartment, or 0 outside any. */
TWCOM_API TW_APARTMENT TwCurrentApartment(void);
/* S_OK when called on `owner`'s thread while it is in that apartment;
 * RPC_E_WRONG_THREAD otherwise (another thread, no apartment, or an
 * apartment since ended and re-entered). Objects keep TwCurrentApartment()
 * from their creation and check it on entry to each call. */
TWCOM_API HRESULT TwCheckApartment(TW_APARTMENT owner);

/* The calling thread's loop. Each gives CO_E_NOTINITIALIZED outside an
 * apartment, E_UNEXPECTED if a handler threw an exception (the loop is still
 * usable; the exception is dropped). */
/* Runs handlers until TwLoopStop or TwApartmentStop: S_OK. */
TWCOM_API HRESULT TwLoopRun(void);
/* Runs handlers for `milliseconds` or until stopped: S_OK when the time ran
 * out, S_FALSE when a stop ended it. */
TWCOM_API HRESULT TwLoopRunFor(DWORD milliseconds);
/* Runs the handlers that are ready now, without waiting, at most
 * TW_LOOP_RUN_ONCE_LIMIT of them (for a host with its own waiting): S_OK, or
 * S_FALSE when a stop (pending or made by a handler) ended it. */
#define TW_LOOP_RUN_ONCE_LIMIT 1000
TWCOM_API HRESULT TwLoopRunOnce(void);
/* Runs handlers until done(context) is non-zero (checked before the first
 * and after each handler), `timeoutMilliseconds` have passed, or a stop:
 * S_OK when done, S_FALSE otherwise; E_INVALIDARG for a NULL `done`. */
TWCOM_API HRESULT TwLoopRunUntil(int (*done)(void* context), void* context, DWORD timeoutMilliseconds);
/* Stops the calling thread's run under way, or its next run if none is (a
 * stop is consumed by the run it ends). */
TWCOM_API HRESULT TwLoopStop(void);

/* From any thread (not from a signal handler: it takes a lock). A stop ends
 * the apartment's run under way or its next one. RPC_E_DISCONNECTED when the
 * apartment has ended (or never existed). */
TWCOM_API HRESULT TwApartmentStop(TW_APARTMENT apartment);
/* Runs run(context) on the apartment's thread, from its loop, after the
 * handler under way, in the order posted. When the apartment ends before
 * running it, drop(context) is called instead (on the ending thread; NULL
 * for nothing): exactly one of the two is called once the post succeeded.
 * S_OK; E_INVALIDARG for a NULL `run`; RPC_E_DISCONNECTED when the apartment
 * has ended (neither is called); E_OUTOFMEMORY. */
typedef void (*TW_CALLBACK)(void* context);
TWCOM_API HRESULT TwApartmentPost(TW_APARTMENT apartment, TW_CALLBACK run, TW_CALLBACK drop, void* context);

/* -------------------------------------------------------------- creation */

#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_INPROC_HANDLER 0x2
#define CLSCTX_LOCAL_SERVER 0x4
#define CLSCTX_REMOTE_SERVER 0x10
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

/* The exports of an in-process server, all with C linkage:
 *   HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv);
 *   HRESULT DllCanUnloadNow(void);      S_OK when nothing of it may run
 *   HRESULT DllRegisterServer(void);
 *   HRESULT DllUnregisterServer(void); */
typedef HRESULT (*LPFNGETCLASSOBJECT)(REFCLSID clsid, REFIID riid, void** ppv);
typedef HRESULT (*LPFNCANUNLOADNOW)(void);
typedef HRESULT (*LPFNREGISTERSERVER)(void);

/* The class object (factory) of `clsid`, asked for `riid`. The class is
 * looked up in the registry first (key CLSID\{clsid}\InprocServer32 = the
 * library's path), then, when not registered there, side by side: the
 * *.comclass manifests in the directory of the running executable
 * (/proc/self/exe), each a text of lines
 *     clsid {5440A16D-C3AC-11D4-A678-00E09805C1C0}
 *     progid VOKAPIXControl.VOKAPIX
 *     library libVOKAPIXControl.so      (a file name in that directory)
 *     threading Apartment
 * ('#' starts a comment), whose library is then loaded from that directory.
 * Each library is loaded once (dlopen, RTLD_NOW | RTLD_LOCAL) and kept until
 * CoFreeUnusedLibraries or the end of an apartment finds its DllCanUnloadNow
 * saying S_OK; its DllGetClassObject gives the result. Every attempt that
 * found the class is reported to the activation hook.
 * Results: S_OK; E_POINTER for a NULL `ppv` (else *ppv is cleared first);
 * E_INVALIDARG for a non-NULL `serverInfo`; CO_E_NOTINITIALIZED outside an
 * apartment; REGDB_E_CLASSNOTREG when the class is found nowhere or
 * `clsContext` lacks CLSCTX_INPROC_SERVER; CO_E_DLLNOTFOUND when its library
 * will not load; CO_E_ERRORINDLL when it lacks DllGetClassObject; otherwise
 * what DllGetClassObject returns (CLASS_E_CLASSNOTAVAILABLE, E_NOINTERFACE
 * ...). */
TWCOM_API HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsContext, void* serverInfo, REFIID riid, void** ppv);
/* CoGetClassObject for IID_IClassFactory, then its CreateInstance(outer,
 * riid, ppv), then the factory is released. Same results, plus those of
 * CreateInstance (CLASS_E_NOAGGREGATION, E_NOINTERFACE ...). */
TWCOM_API HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsContext, REFIID riid, void** ppv);
/* The class id of a ProgID (UTF-16; in C write u"VOKAPIXControl.VOKAPIX"):
 * the registry's key <progid>\CLSID first, then the side-by-side manifests'
 * `progid` lines (without regard to ASCII case). S_OK; E_INVALIDARG for a
 * NULL `progid`; E_POINTER for a NULL `clsid`; CO_E_CLASSSTRING for a ProgID
 * that is empty, longer than 255, holds anything but ASCII letters, digits,
 * '.', '_' and '-', is registered nowhere, or is registered with a class id
 * that is not a GUID. Needs no apartment. */
TWCOM_API HRESULT CLSIDFromProgID(LPCOLESTR progid, CLSID* clsid);
/* Asks each loaded library's DllCanUnloadNow and unloads those saying S_OK
 * (a library without DllCanUnloadNow stays). Never unloads one while it says
 * S_FALSE, or while a call into its DllGetClassObject is under way. */
TWCOM_API void CoFreeUnusedLibraries(void);

/* What creation reports, for the host's log. */
#define TW_ACTIVATION_CLASS_OBJECT 1 /* a CoGetClassObject found the class */
#define TW_ACTIVATION_UNLOADED 2     /* a library was unloaded */
#define TW_SOURCE_REGISTRY 1         /* found by the registry */
#define TW_SOURCE_SIDE_BY_SIDE 2     /* found by a manifest beside the executable */
typedef struct TW_ACTIVATION_INFO {
  int event;           /* TW_ACTIVATION_... */
  int source;          /* TW_SOURCE_... (that loaded the library, for TW_ACTIVATION_UNLOADED) */
  CLSID clsid;         /* the class asked for (GUID_NULL for TW_ACTIVATION_UNLOADED) */
  const char* library; /* the library's path as loaded */
  const char* manifest; /* the manifest's path (side by side), else NULL */
  HRESULT result;      /* the result of CoGetClassObject; S_OK for TW_ACTIVATION_UNLOADED */
  const char* detail;  /* the loader's message on CO_E_DLLNOTFOUND / CO_E_ERRORINDLL, else NULL */
} TW_ACTIVATION_INFO;
/* Called on the thread that creates (or unloads), with no lock held; the
 * strings live for the call only. */
typedef void (*TW_ACTIVATION_HOOK)(void* context, const TW_ACTIVATION_INFO* info);
/* Sets the process's one hook (NULL for none), replacing the previous one. */
TWCOM_API void TwSetActivationHook(TW_ACTIVATION_HOOK hook, void* context);

/* ---------------------------------------------------------- the registry
 * A text file of `key = value` lines: location TIDEWIRE_COM_REGISTRY, else
 * $XDG_DATA_HOME/tidewire/com-registry, else ~/.local/share/tidewire/com-registry.
 * Keys are compared without regard to ASCII case. The keys the runtime
 * reads:
 *   CLSID\{clsid}\InprocServer32 = absolute path of the library
 *   <ProgID>\CLSID               = {clsid}
 * Reading and writing it is in twcom.hpp (C++). */

TWCOM_END_C

#ifdef __cplusplus
static_assert(sizeof(GUID) == 16, "GUID is 16 bytes");
static_assert(sizeof(VARIANT) == (sizeof(void*) == 8 ? 24 : 16), "VARIANT has the Windows size");
static_assert(offsetof(VARIANT, lVal) == 8, "the value follows vt and three reserved words");
static_assert(sizeof(DISPPARAMS) == 2 * sizeof(void*) + 8, "DISPPARAMS has the Windows layout");
static_assert(sizeof(IUnknown) == sizeof(void*) && sizeof(IDispatch) == sizeof(void*),
              "an interface object is one table pointer");
static_assert(sizeof(IDispatchVtbl) == 7 * sizeof(void*), "IDispatch has seven entries");
#else
_Static_assert(sizeof(GUID) == 16, "GUID is 16 bytes");
_Static_assert(sizeof(VARIANT) == (sizeof(void*) == 8 ? 24 : 16), "VARIANT has the Windows size");
_Static_assert(offsetof(VARIANT, lVal) == 8, "the value follows vt and three reserved words");
_Static_assert(sizeof(IDispatchVtbl) == 7 * sizeof(void*), "IDispatch has seven entries");
#endif

#endif /* TIDEWIRE_PLATFORM_COM_TWCOM_H */
