// What every C++ event sink answers for the three IDispatch members it has
// no use for. A source calls a sink only through Invoke, with the DISPIDs of
// its events interface, so a sink offers no type information and resolves
// no names. Derive from it and write QueryInterface, AddRef, Release and
// Invoke.
#pragma once

#include "platform/com/twcom.h"

namespace tw::com {

class EventSinkBase : public IDispatch {
 public:
  HRESULT GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }

 protected:
  EventSinkBase() = default;
  ~EventSinkBase() = default;
};

}  // namespace tw::com
