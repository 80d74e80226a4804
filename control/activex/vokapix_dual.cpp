// TVOKAPIX: the dual interface's members. Each takes its typed arguments
// through the same member table as Invoke, so both ways to call the control
// check, convert and write back alike.
#include <array>
#include <exception>
#include <type_traits>

#include "control/activex/vokapix_control.h"

namespace tw::activex {

namespace {

// A by-value argument into a Value of the parameter's type.
template <class T>
HRESULT LoadValue(const Parameter& parameter, T argument, Value& value) {
  if constexpr (std::is_same_v<T, BSTR>) {
    return com::BytesFromBstr(argument, &value.text) ? S_OK : DISP_E_TYPEMISMATCH;
  } else {
    const std::int64_t n = argument;
    if (n < Lowest(parameter.type) || n > Highest(parameter.type)) return DISP_E_OVERFLOW;
    value.number = parameter.type == ValueType::kBool ? (n != 0 ? 1 : 0) : n;
    return S_OK;
  }
}

// A Value into a typed out-parameter. An [out] BSTR is the caller's to
// free; an in-out one replaces (and frees) the caller's string.
template <class T>
HRESULT StoreValue(ValueType type, const Value& value, T* out, bool replace) {
  if constexpr (std::is_same_v<T, BSTR>) {
    BSTR fresh = com::BstrFromBytes(value.text);
    if (fresh == nullptr) return E_OUTOFMEMORY;
    if (replace) SysFreeString(*out);
    *out = fresh;
  } else if (type == ValueType::kBool) {
    *out = static_cast<T>(value.number != 0 ? VARIANT_TRUE : VARIANT_FALSE);
  } else {
    *out = static_cast<T>(value.number);
  }
  return S_OK;
}

}  // namespace

template <class T>
HRESULT TVOKAPIX::GetTyped(const Member& member, T* value) {
  if (!com::InApartment(apartment_)) return RPC_E_WRONG_THREAD;
  if (value == nullptr) return E_POINTER;
  com::ComPtr<IVOKAPIX> hold(this);
  Busy busy(*this);
  try {
    Target target{*api_, container_};
    Value v;
    member.get(target, v);
    return StoreValue(member.type, v, value, false);
  } catch (...) {
    return E_FAIL;
  }
}

template <class T>
HRESULT TVOKAPIX::PutTyped(const Member& member, T value) {
  if (!com::InApartment(apartment_)) return RPC_E_WRONG_THREAD;
  com::ComPtr<IVOKAPIX> hold(this);
  Busy busy(*this);
  try {
    Value v;
    const HRESULT hr = LoadValue(Parameter{"Value", member.type, false}, value, v);
    if (FAILED(hr)) return hr;
    Target target{*api_, container_};
    member.put(target, v);
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

template <class... Args>
HRESULT TVOKAPIX::CallTyped(const Member& member, Args... args) {
  if (!com::InApartment(apartment_)) return RPC_E_WRONG_THREAD;
  constexpr std::size_t kCount = sizeof...(Args);
  const std::size_t parameters = member.parameters.size();
  std::array<Value, kCount> values{};
  HRESULT hr = S_OK;
  std::size_t i = 0;
  auto load = [&](auto argument) {
    using A = decltype(argument);
    if (SUCCEEDED(hr)) {
      if constexpr (std::is_pointer_v<A> && !std::is_same_v<A, BSTR>) {
        // In-out, or where the result goes (the last one).
        if (argument == nullptr) {
          hr = E_POINTER;
        } else if (i < parameters) {
          hr = LoadValue(Parameter{"", member.parameters[i].type, false}, *argument, values[i]);
        }
      } else {
        hr = i < parameters ? LoadValue(member.parameters[i], argument, values[i]) : E_UNEXPECTED;
      }
    }
    ++i;
  };
  (load(args), ...);
  if (FAILED(hr)) return hr;

  com::ComPtr<IVOKAPIX> hold(this);
  Busy busy(*this);
  const std::array<Value, kCount> before = values;
  Value result;
  try {
    Target target{*api_, container_};
    member.call(target, values.data(), result);
  } catch (...) {
    return E_FAIL;
  }
  i = 0;
  auto store = [&](auto argument) {
    using A = decltype(argument);
    if constexpr (std::is_pointer_v<A> && !std::is_same_v<A, BSTR>) {
      if (SUCCEEDED(hr)) {
        if (i == parameters) {
          hr = StoreValue(member.type, result, argument, false);
        } else if (!(values[i] == before[i])) {
          hr = StoreValue(member.parameters[i].type, values[i], argument, true);
        }
      }
    }
    ++i;
  };
  (store(args), ...);
  return hr;
}

#define TW_MEMBER(name)                                              \
  static const Member* const member = FindMember(std::string_view(#name)); \
  if (member == nullptr) return E_UNEXPECTED
#define TW_DEFINE_GET(name, type)                  \
  HRESULT TVOKAPIX::get_##name(type* Value) {      \
    TW_MEMBER(name);                               \
    return GetTyped(*member, Value);               \
  }
#define TW_DEFINE_PUT(name, type)                  \
  HRESULT TVOKAPIX::put_##name(type Value) {       \
    TW_MEMBER(name);                               \
    return PutTyped(*member, Value);               \
  }
#define TW_UNPAREN(...) __VA_ARGS__
#define TW_DEFINE_METHOD(name, parameters, names)  \
  HRESULT TVOKAPIX::name parameters {              \
    TW_MEMBER(name);                               \
    return CallTyped(*member, TW_UNPAREN names);   \
  }

VOKAPIX_MEMBERS(TW_DEFINE_GET, TW_DEFINE_PUT, TW_DEFINE_METHOD)

#undef TW_MEMBER
#undef TW_DEFINE_GET
#undef TW_DEFINE_PUT
#undef TW_DEFINE_METHOD
#undef TW_UNPAREN

}  // namespace tw::activex
