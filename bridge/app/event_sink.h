// The control's events, received as IDispatch::Invoke calls on a sink that
// answers for IID_IVOKAPIXEvents, turned into calls of the target's methods
// of the same names. Every event of the control's list is read and checked:
// one whose arguments do not have the declared count and types is refused
// (DISP_E_BADPARAMCOUNT, DISP_E_TYPEMISMATCH) and not passed on; one the
// target has no method for is answered S_OK and goes no further. An id the
// list does not hold means the control and the program disagree: it is
// logged once (and stops a debug build).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "control/activex/vokapix.h"
#include "platform/com/event_sink_base.h"
#include "platform/com/twcom.hpp"
#include "platform/com/unknown.hpp"

namespace tw {

// Drops the first of its arguments: makes a list of the form ", a, b" into
// "a, b".
#define TW_EVENT_REST(first, ...) __VA_ARGS__

// A receiver of every event of the control's list, doing nothing with any
// it does not override; for tests and other receivers that want an
// interface. The bridge core is a target without it.
class ControlEvents {
 public:
  using LongArgument = std::int32_t;
  using TextArgument = const std::string&;
  using BoolArgument = bool;

  virtual ~ControlEvents() = default;
#define TW_EVENT_TYPE(kind, name) , kind##Argument
#define TW_EVENT_METHOD(name, dispid, parameters) \
  virtual void name(TW_EVENT_REST(~ parameters)) {}
  VOKAPIX_EVENTS(TW_EVENT_METHOD, TW_EVENT_TYPE)
#undef TW_EVENT_METHOD
#undef TW_EVENT_TYPE
};

// One event's arguments, read left to right (DISPPARAMS holds them right to
// left). A read past the arguments there are, or of the wrong type, gives a
// zero value and is remembered; Result then says what the event is answered,
// a wrong count before a wrong type.
class EventArguments {
 public:
  explicit EventArguments(const DISPPARAMS& params) : params_(params) {}

  std::int32_t Long();
  bool Bool();
  std::string Text();
  HRESULT Result() const { return next_ != params_.cArgs ? DISP_E_BADPARAMCOUNT : result_; }

 private:
  const VARIANT* Next();

  const DISPPARAMS& params_;
  UINT next_ = 0;
  HRESULT result_ = S_OK;
};

// Reads event `id`'s arguments and, when they are as declared, calls the
// target's method of the event's name with them if it has one. False for an
// id the list does not hold.
template <class Target>
bool Deliver(Target& target, DISPID id, const DISPPARAMS& params, HRESULT& hr) {
  EventArguments arguments(params);
  // The braces read the arguments in order, left to right.
#define TW_EVENT_READ(kind, name) , arguments.kind()
#define TW_EVENT_DELIVER(name, dispid, parameters)                                 \
  case DISPID_VOKAPIXEvents_##name: {                                               \
    const std::tuple values{TW_EVENT_REST(~ parameters)};                           \
    hr = arguments.Result();                                                        \
    if (SUCCEEDED(hr)) {                                                            \
      std::apply(                                                                   \
          [&](const auto&... value) {                                               \
            if constexpr (requires { target.name(value...); }) target.name(value...); \
          },                                                                        \
          values);                                                                  \
    }                                                                               \
    return true;                                                                    \
  }
  switch (id) {
    VOKAPIX_EVENTS(TW_EVENT_DELIVER, TW_EVENT_READ)
    default:
      return false;
  }
#undef TW_EVENT_DELIVER
#undef TW_EVENT_READ
}

class EventSink;
using EventSinkObject =
    com::Object<EventSink, com::Answer<com::EventSinkBase, IID_IDispatch, IID_IVOKAPIXEvents>>;

class EventSink final : public EventSinkObject {
 public:
  using Log = std::function<void(std::string_view line)>;

  // A new sink with one reference, owned by the result. `log` takes the
  // line about an event the program does not know.
  static com::ComPtr<EventSink> Create(Log log = {});

  // Where events go from now on; nullptr drops them (the bridge is gone but
  // the control may still hold the sink). Called on the apartment's thread.
  template <class Target>
  void SetTarget(Target* target) {
    if (target == nullptr) return SetTarget(nullptr);
    deliver_ = [target](DISPID id, const DISPPARAMS& params, HRESULT& hr) {
      return Deliver(*target, id, params, hr);
    };
  }
  void SetTarget(std::nullptr_t) { deliver_ = nullptr; }

  HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* exception, UINT* argError) override;

 private:
  friend EventSinkObject;
  explicit EventSink(Log log) : log_(std::move(log)) {}
  ~EventSink() = default;
  void Unknown(DISPID id);

  std::function<bool(DISPID, const DISPPARAMS&, HRESULT&)> deliver_;
  Log log_;
  std::vector<DISPID> unknown_;  // the ids already logged, a few at most
};

}  // namespace tw
