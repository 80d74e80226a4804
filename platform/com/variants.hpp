// Reading and writing VARIANT values: the control's Invoke, the events it
// raises, the program's calls into it and its events sink all go through
// these, so that every part converts alike.
//
// What converts, one rule for every reader:
//   - An integer is any of VT_I2, VT_I4, VT_UI1 and VT_BOOL (a VARIANT_BOOL
//     is a 16-bit integer, -1 or 0). It reads as an integer of any width
//     when its value fits, else DISP_E_OVERFLOW. A server's VARIANT_BOOL
//     parameter is such an integer, any non-zero value true, so a container
//     that passes 1 for true is understood.
//   - A boolean answer (a result, an event's argument) is VT_BOOL only: a
//     number where our own control declares a boolean is a fault to report,
//     not a value to guess at. Non-zero is true.
//   - A text is VT_BSTR, by the byte mapping (byte b is U+00b; a character
//     above U+00FF gives DISP_E_TYPEMISMATCH), or VT_EMPTY, the empty text.
//   - Nothing else converts (DISP_E_TYPEMISMATCH). On every refusal the
//     output is left as it was.
// By-reference variants are never read here: an in-out argument must have
// exactly its parameter's type, and the control checks that itself.
//
// The writers fill a variant that owns nothing (new, or cleared).
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "platform/com/twcom.hpp"

namespace tw::com {

inline HRESULT ReadInteger(const VARIANT& v, std::int64_t lowest, std::int64_t highest, std::int64_t* out) {
  std::int64_t n = 0;
  switch (v.vt) {
    case VT_I2: n = v.iVal; break;
    case VT_I4: n = v.lVal; break;
    case VT_UI1: n = v.bVal; break;
    case VT_BOOL: n = v.boolVal; break;
    default: return DISP_E_TYPEMISMATCH;
  }
  if (n < lowest || n > highest) return DISP_E_OVERFLOW;
  *out = n;
  return S_OK;
}

// The same into an integer type, within that type's range.
template <class Int>
HRESULT ReadInteger(const VARIANT& v, Int* out) {
  std::int64_t n = 0;
  const HRESULT hr = ReadInteger(v, std::numeric_limits<Int>::min(), std::numeric_limits<Int>::max(), &n);
  if (hr == S_OK) *out = static_cast<Int>(n);
  return hr;
}

inline HRESULT ReadBool(const VARIANT& v, bool* out) {
  if (v.vt != VT_BOOL) return DISP_E_TYPEMISMATCH;
  *out = v.boolVal != VARIANT_FALSE;
  return S_OK;
}

inline HRESULT ReadText(const VARIANT& v, std::string* out) {
  if (v.vt == VT_EMPTY) {
    out->clear();
    return S_OK;
  }
  if (v.vt != VT_BSTR || !BytesFromBstr(v.bstrVal, out)) return DISP_E_TYPEMISMATCH;
  return S_OK;
}

inline void SetLong(VARIANT* v, LONG n) {
  v->vt = VT_I4;
  v->lVal = n;
}
inline void SetShort(VARIANT* v, SHORT n) {
  v->vt = VT_I2;
  v->iVal = n;
}
inline void SetByte(VARIANT* v, BYTE n) {
  v->vt = VT_UI1;
  v->bVal = n;
}
// VARIANT_TRUE or VARIANT_FALSE, never another value.
inline void SetBool(VARIANT* v, bool b) {
  v->vt = VT_BOOL;
  v->boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
}
// A new BSTR the variant owns; E_OUTOFMEMORY leaves it VT_EMPTY.
inline HRESULT SetText(VARIANT* v, std::string_view bytes) {
  BSTR text = BstrFromBytes(bytes);
  if (text == nullptr) return E_OUTOFMEMORY;
  v->vt = VT_BSTR;
  v->bstrVal = text;
  return S_OK;
}
// In-out arguments: the variant points at the caller's slot.
inline void SetRef(VARIANT* v, LONG* slot) {
  v->vt = VT_BYREF | VT_I4;
  v->plVal = slot;
}
inline void SetRef(VARIANT* v, BSTR* slot) {
  v->vt = VT_BYREF | VT_BSTR;
  v->pbstrVal = slot;
}

}  // namespace tw::com
