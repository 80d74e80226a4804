/* The C side of the layout test: an IDispatch object written in C against
 * the header's C tables only. (The other direction, C calling an object
 * written in C++, is com_c_usage.) */
#include <stdlib.h>

#include "platform/com/twcom.h"

typedef struct CValue {
  IDispatch base; /* first: an IDispatch* is a CValue* */
  ULONG refs;
  LONG value;
} CValue;

static HRESULT CValue_QueryInterface(IDispatch* This, REFIID riid, void** ppv) {
  if (ppv == NULL) return E_POINTER;
  if (IsEqualIID(riid, &IID_IUnknown) || IsEqualIID(riid, &IID_IDispatch)) {
    *ppv = This;
    IDispatch_AddRef(This);
    return S_OK;
  }
  *ppv = NULL;
  return E_NOINTERFACE;
}
static ULONG CValue_AddRef(IDispatch* This) { return ++((CValue*)This)->refs; }
static ULONG CValue_Release(IDispatch* This) {
  CValue* self = (CValue*)This;
  ULONG left = --self->refs;
  if (left == 0) free(self);
  return left;
}
static HRESULT CValue_GetTypeInfoCount(IDispatch* This, UINT* count) {
  (void)This;
  *count = 0;
  return S_OK;
}
static HRESULT CValue_GetTypeInfo(IDispatch* This, UINT index, LCID lcid, ITypeInfo** info) {
  (void)This, (void)index, (void)lcid;
  *info = NULL;
  return DISP_E_BADINDEX;
}
static HRESULT CValue_GetIDsOfNames(IDispatch* This, REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                    DISPID* ids) {
  static const OLECHAR value[] = u"Value";
  UINT i = 0;
  (void)This, (void)riid, (void)lcid;
  if (count != 1) return DISP_E_UNKNOWNNAME;
  while (value[i] != 0 && names[0][i] == value[i]) ++i;
  ids[0] = value[i] == 0 && names[0][i] == 0 ? 1 : DISPID_UNKNOWN;
  return ids[0] == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}
static HRESULT CValue_Invoke(IDispatch* This, DISPID member, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
  CValue* self = (CValue*)This;
  (void)riid, (void)lcid, (void)excepInfo, (void)argErr;
  if (member != 1) return DISP_E_MEMBERNOTFOUND;
  if (flags & DISPATCH_PROPERTYPUT) {
    if (params->cArgs != 1 || params->rgvarg[0].vt != VT_I4) return DISP_E_TYPEMISMATCH;
    self->value = params->rgvarg[0].lVal;
    return S_OK;
  }
  VariantClear(result);
  result->vt = VT_I4;
  result->lVal = self->value;
  return S_OK;
}

static const IDispatchVtbl kCValueVtbl = {
    CValue_QueryInterface, CValue_AddRef,        CValue_Release, CValue_GetTypeInfoCount,
    CValue_GetTypeInfo,    CValue_GetIDsOfNames, CValue_Invoke,
};

IDispatch* tw_test_make_c_object(void) {
  CValue* self = (CValue*)calloc(1, sizeof *self);
  if (self == NULL) return NULL;
  self->base.lpVtbl = &kCValueVtbl;
  self->refs = 1;
  return &self->base;
}
