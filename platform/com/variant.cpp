// VARIANT initialisation, clearing and copying: a variant owns its BSTR and
// its interface reference, never what a by-reference variant points at.
#include <cstring>

#include "platform/com/twcom.h"

namespace {

bool KnownType(VARTYPE vt) {
  const bool byref = (vt & VT_BYREF) != 0;
  const unsigned base = vt & ~static_cast<unsigned>(VT_BYREF);
  switch (base) {
    case VT_EMPTY:
    case VT_NULL:
      return !byref;
    case VT_VARIANT:
      return byref;
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_UNKNOWN:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
      return true;
    default:
      return false;
  }
}

}  // namespace

extern "C" {

TWCOM_API void VariantInit(VARIANTARG* variant) {
  if (variant != nullptr) std::memset(static_cast<void*>(variant), 0, sizeof *variant);
}

TWCOM_API HRESULT VariantClear(VARIANTARG* variant) {
  if (variant == nullptr) return E_INVALIDARG;
  if (!KnownType(variant->vt)) return DISP_E_BADVARTYPE;
  // Reset first, so that a Release re-entering this variant finds it empty.
  const VARIANT old = *variant;
  VariantInit(variant);
  switch (old.vt) {
    case VT_BSTR:
      SysFreeString(old.bstrVal);
      break;
    case VT_UNKNOWN:
      if (old.punkVal != nullptr) old.punkVal->Release();
      break;
    case VT_DISPATCH:
      if (old.pdispVal != nullptr) old.pdispVal->Release();
      break;
    default:
      break;
  }
  return S_OK;
}

TWCOM_API HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* source) {
  if (dest == nullptr || source == nullptr) return E_INVALIDARG;
  if (!KnownType(source->vt) || !KnownType(dest->vt)) return DISP_E_BADVARTYPE;
  if (dest == source) return S_OK;
  VARIANT copy = *source;
  switch (source->vt) {
    case VT_BSTR:
      if (source->bstrVal != nullptr) {
        copy.bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
        if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
      }
      break;
    case VT_UNKNOWN:
      if (source->punkVal != nullptr) source->punkVal->AddRef();
      break;
    case VT_DISPATCH:
      if (source->pdispVal != nullptr) source->pdispVal->AddRef();
      break;
    default:
      break;
  }
  VariantClear(dest);
  *dest = copy;
  return S_OK;
}

}  // extern "C"
