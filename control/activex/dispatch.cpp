#include "control/activex/dispatch.h"

#include <exception>
#include <string>
#include <vector>

#include "platform/com/variants.hpp"

namespace tw::activex {

namespace {

constexpr VARTYPE kByRef = VT_BYREF;

VARTYPE VarTypeOf(ValueType type) {
  switch (type) {
    case ValueType::kLong: return VT_I4;
    case ValueType::kShort: return VT_I2;
    case ValueType::kByte: return VT_UI1;
    case ValueType::kBool: return VT_BOOL;
    case ValueType::kText: return VT_BSTR;
    case ValueType::kNone: break;
  }
  return VT_EMPTY;
}

// A boolean parameter is a 16-bit integer like any other (see variants.hpp).
HRESULT ReadNumber(const VARIANT& argument, ValueType type, Value& value) {
  std::int64_t n = 0;
  const HRESULT hr = com::ReadInteger(argument, Lowest(type), Highest(type), &n);
  if (hr != S_OK) return hr;
  value.number = type == ValueType::kBool ? (n != 0 ? 1 : 0) : n;
  return S_OK;
}

HRESULT ReadBstr(BSTR text, Value& value) {
  return com::BytesFromBstr(text, &value.text) ? S_OK : DISP_E_TYPEMISMATCH;
}

HRESULT ReadByRef(const VARIANT& argument, ValueType type, Value& value) {
  if (argument.vt != (kByRef | VarTypeOf(type))) return DISP_E_TYPEMISMATCH;
  if (argument.byref == nullptr) return E_POINTER;
  switch (type) {
    case ValueType::kLong: value.number = *argument.plVal; return S_OK;
    case ValueType::kShort: value.number = *argument.piVal; return S_OK;
    case ValueType::kByte: value.number = *argument.pbVal; return S_OK;
    case ValueType::kBool: value.number = *argument.pboolVal != 0 ? 1 : 0; return S_OK;
    case ValueType::kText: return ReadBstr(*argument.pbstrVal, value);
    case ValueType::kNone: break;
  }
  return DISP_E_TYPEMISMATCH;
}

// Where an argument stands in rgvarg (last argument first).
UINT Slot(UINT count, std::size_t position) { return count - 1 - static_cast<UINT>(position); }

HRESULT Result(const Member& member, const Value& value, VARIANT* result) {
  if (result == nullptr || member.type == ValueType::kNone) return S_OK;
  return MakeVariant(member.type, value, result);
}

HRESULT Get(Target& target, const Member& member, const DISPPARAMS& params, VARIANT* result) {
  if (params.cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  if (params.cArgs != 0) return DISP_E_BADPARAMCOUNT;
  if (result == nullptr) return E_POINTER;
  Value value;
  member.get(target, value);
  return MakeVariant(member.type, value, result);
}

HRESULT Put(Target& target, const Member& member, const DISPPARAMS& params, UINT* argError) {
  if (member.readOnly) return DISP_E_MEMBERNOTFOUND;
  if (params.cArgs != 1) return DISP_E_BADPARAMCOUNT;
  // The value must be named DISPID_PROPERTYPUT; no other name is known.
  if (params.cNamedArgs == 0) return DISP_E_PARAMNOTFOUND;
  if (params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) return DISP_E_NONAMEDARGS;
  Value value;
  const Parameter parameter{"Value", member.type, false};
  const HRESULT hr = ReadArgument(params.rgvarg[0], parameter, value);
  if (FAILED(hr)) {
    if (argError != nullptr) *argError = 0;
    return hr;
  }
  member.put(target, value);
  return S_OK;
}

HRESULT Call(Target& target, const Member& member, const DISPPARAMS& params, VARIANT* result, UINT* argError) {
  if (params.cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  if (params.cArgs != member.parameters.size()) return DISP_E_BADPARAMCOUNT;
  std::vector<Value> args(member.parameters.size());
  for (std::size_t i = 0; i < args.size(); ++i) {
    const UINT slot = Slot(params.cArgs, i);
    const HRESULT hr = ReadArgument(params.rgvarg[slot], member.parameters[i], args[i]);
    if (FAILED(hr)) {
      if (argError != nullptr) *argError = slot;
      return hr;
    }
  }
  // Only by-reference arguments are compared after the call; copying the
  // others would copy every data block once more.
  std::vector<Value> before(args.size());
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (member.parameters[i].byRef) before[i] = args[i];
  }
  Value value;
  member.call(target, args.data(), value);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const Parameter& parameter = member.parameters[i];
    if (!parameter.byRef) continue;
    const HRESULT hr = WriteBack(params.rgvarg[Slot(params.cArgs, i)], parameter.type, before[i], args[i]);
    if (FAILED(hr)) return hr;
  }
  return Result(member, value, result);
}

}  // namespace

HRESULT ReadArgument(const VARIANT& argument, const Parameter& parameter, Value& value) {
  if (parameter.byRef) return ReadByRef(argument, parameter.type, value);
  if (parameter.type == ValueType::kText) return com::ReadText(argument, &value.text);
  return ReadNumber(argument, parameter.type, value);
}

HRESULT WriteBack(const VARIANT& argument, ValueType type, const Value& before, const Value& now) {
  if (before == now) return S_OK;
  switch (type) {
    case ValueType::kText: {
      BSTR fresh = com::BstrFromBytes(now.text);
      if (fresh == nullptr) return E_OUTOFMEMORY;
      SysFreeString(*argument.pbstrVal);
      *argument.pbstrVal = fresh;
      return S_OK;
    }
    case ValueType::kLong: *argument.plVal = static_cast<LONG>(now.number); return S_OK;
    case ValueType::kShort: *argument.piVal = static_cast<SHORT>(now.number); return S_OK;
    case ValueType::kByte: *argument.pbVal = static_cast<BYTE>(now.number); return S_OK;
    case ValueType::kBool: *argument.pboolVal = now.number != 0 ? VARIANT_TRUE : VARIANT_FALSE; return S_OK;
    case ValueType::kNone: break;
  }
  return S_OK;
}

HRESULT MakeVariant(ValueType type, const Value& value, VARIANT* out) {
  VariantInit(out);
  switch (type) {
    case ValueType::kLong: com::SetLong(out, static_cast<LONG>(value.number)); break;
    case ValueType::kShort: com::SetShort(out, static_cast<SHORT>(value.number)); break;
    case ValueType::kByte: com::SetByte(out, static_cast<BYTE>(value.number)); break;
    case ValueType::kBool: com::SetBool(out, value.number != 0); break;
    case ValueType::kText: return com::SetText(out, value.text);
    case ValueType::kNone: break;
  }
  return S_OK;
}

void FillException(EXCEPINFO* exception, const char* what) {
  if (exception == nullptr) return;
  *exception = EXCEPINFO{};
  exception->bstrSource = com::BstrFromBytes("VOKAPIXControl.VOKAPIX");
  exception->bstrDescription = com::BstrFromBytes(what);
  exception->scode = E_FAIL;
}

HRESULT InvokeMember(Target& target, DISPID dispid, WORD flags, DISPPARAMS* params, VARIANT* result,
                     EXCEPINFO* exception, UINT* argError) {
  const Member* member = FindMember(dispid);
  if (member == nullptr) return DISP_E_MEMBERNOTFOUND;
  if (params == nullptr) return E_INVALIDARG;
  if ((params->cArgs > 0 && params->rgvarg == nullptr) ||
      (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr) || params->cNamedArgs > params->cArgs) {
    return E_INVALIDARG;
  }
  try {
    if (member->kind == MemberKind::kProperty) {
      if ((flags & DISPATCH_PROPERTYPUT) != 0) return Put(target, *member, *params, argError);
      if ((flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) != 0) return Get(target, *member, *params, result);
      return DISP_E_MEMBERNOTFOUND;
    }
    if ((flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0) return DISP_E_MEMBERNOTFOUND;
    return Call(target, *member, *params, result, argError);
  } catch (const std::exception& e) {
    FillException(exception, e.what());
  } catch (...) {
    FillException(exception, "unexpected failure");
  }
  return DISP_E_EXCEPTION;
}

}  // namespace tw::activex
