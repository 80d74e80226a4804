// The control's members as data: one table drives GetIDsOfNames, the
// argument checks and conversions of Invoke and of the dual interface, and
// the type-library description that registration writes. Each entry says
// how to reach the wrapped component.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/com/twcom.h"

namespace tw {

class TVOKAPI;

namespace activex {

enum class ValueType : std::uint8_t { kNone, kLong, kShort, kByte, kBool, kText };

// A value as the component sees it, whatever the caller passed: integers and
// booleans in `number` (a boolean as 0 or 1), texts as byte strings.
struct Value {
  std::int64_t number = 0;
  std::string text;
  friend bool operator==(const Value&, const Value&) = default;
};

// What the members act on: the component and the values that only the
// container uses.
struct ContainerState {
  bool enabled = true;
  bool visible = true;
  bool doubleBuffered = false;
  std::int64_t cursor = 0;
  std::int64_t visibleDockClientCount = 0;
};
struct Target {
  TVOKAPI& api;
  ContainerState& container;
};

struct Parameter {
  const char* name;
  ValueType type;
  bool byRef;  // in-out: the caller's value goes in, a changed one comes back
};

enum class MemberKind : std::uint8_t { kProperty, kMethod };

struct Member {
  const char* name;
  DISPID dispid;
  MemberKind kind;
  ValueType type;  // a property's type, a method's result (kNone: none)
  bool readOnly;
  bool hidden;
  std::span<const Parameter> parameters;  // methods only
  void (*get)(Target&, Value& result);
  void (*put)(Target&, const Value& value);
  // `args` in the parameters' order; by-reference ones may be changed.
  void (*call)(Target&, Value* args, Value& result);
};

// The dispatch interface's 36 properties and 19 methods, in the order of the
// interface's table.
std::span<const Member> Members();
const Member* FindMember(DISPID dispid);
// Names compare without regard to ASCII case.
const Member* FindMember(std::string_view name);

// The events interface.
struct Event {
  const char* name;
  DISPID dispid;
  std::span<const Parameter> parameters;
};
std::span<const Event> Events();

// The smallest and largest value of an integer type; a boolean takes any
// 16-bit value.
std::int64_t Lowest(ValueType type);
std::int64_t Highest(ValueType type);

}  // namespace activex
}  // namespace tw
