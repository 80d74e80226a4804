#include "control/activex/member_table.h"

#include <algorithm>
#include <array>
#include <limits>

#include "control/activex/vokapix.h"
#include "control/component/vokapi.h"

namespace tw::activex {

namespace {

using enum ValueType;
constexpr MemberKind kProp = MemberKind::kProperty;
constexpr MemberKind kMethod = MemberKind::kMethod;

int Int(const Value& v) { return static_cast<int>(v.number); }
bool Bool(const Value& v) { return v.number != 0; }
Value Number(std::int64_t n) { return Value{n, {}}; }

// Properties that read and write the component through its accessors.
#define TW_PROPERTY(Name, type, read, write)                            \
  Member {                                                                      \
    #Name, DISPID_VOKAPIX_##Name, kProp, type, false, false, {},                \
        [](Target& t, Value& r) { read; }, [](Target& t, const Value& v) { write; }, nullptr \
  }
#define TW_TEXT(Name) TW_PROPERTY(Name, kText, r.text = t.api.Name(), t.api.Set##Name(v.text))
#define TW_BOOL(Name) TW_PROPERTY(Name, kBool, r.number = t.api.Name() ? 1 : 0, t.api.Set##Name(Bool(v)))
#define TW_LONG(Name) TW_PROPERTY(Name, kLong, r.number = t.api.Name(), t.api.Set##Name(Int(v)))
#define TW_READ_ONLY(Name, type, read, hidden)                      \
  Member {                                                                  \
    #Name, DISPID_VOKAPIX_##Name, kProp, type, true, hidden, {}, [](Target& t, Value& r) { read; }, nullptr, nullptr \
  }
#define TW_CONTAINER(Name, type, field)                                                       \
  Member {                                                                                            \
    #Name, DISPID_VOKAPIX_##Name, kProp, type, false, true, {}, [](Target& t, Value& r) { r.number = t.container.field; }, \
        [](Target& t, const Value& v) { t.container.field = v.number; }, nullptr                        \
  }
#define TW_METHOD(Name, result, parameters, body)                                             \
  Member {                                                                                            \
    #Name, DISPID_VOKAPIX_##Name, kMethod, result, false, false, parameters, nullptr, nullptr,                      \
        [](Target& t, Value* a, Value& r) { body; }                                                   \
  }

constexpr Parameter kSendRaw[] = {{"iPort", kLong, false}, {"szData", kText, false}};
constexpr Parameter kSendUnproto[] = {{"iPort", kLong, false}, {"bPid", kLong, false}, {"szFrom", kText, false},
                                      {"szTo", kText, false},  {"szVIA", kText, false}, {"szData", kText, false}};
constexpr Parameter kSendData[] = {{"iPort", kLong, false}, {"bPid", kLong, false}, {"szFrom", kText, false},
                                   {"szTo", kText, false}, {"szData", kText, false}};
constexpr Parameter kDisconnect[] = {{"iPort", kLong, false}, {"szFrom", kText, false}, {"szTo", kText, false}};
constexpr Parameter kConnect[] = {{"iPort", kLong, false}, {"szFrom", kText, false}, {"szTo", kText, false},
                                  {"szVIA", kText, false}, {"bPid", kLong, false}};
constexpr Parameter kGetHeardInfo[] = {{"iPort", kLong, false}, {"iPos", kLong, false}};
constexpr Parameter kGetPortInfo[] = {
    {"iPort", kLong, false},        {"szPortName", kText, true},  {"iOnAirBaud", kLong, true},
    {"iTrafficLevel", kLong, true}, {"iTxDelay", kLong, true},    {"iTxTail", kLong, true},
    {"iPersist", kLong, true},      {"iSlotTime", kLong, true},   {"iMaxFrame", kLong, true},
    {"iAX25Channel", kLong, true},  {"iHowManyBytes", kLong, false}, {"iFrames", kLong, true}};
constexpr Parameter kCall[] = {{"szCall", kText, false}};
constexpr Parameter kBeaconPost[] = {{"iPort", kLong, false}, {"szFrom", kText, false}, {"szTo", kText, false},
                                     {"szVIA", kText, false}, {"szMessage", kText, false}};
constexpr Parameter kDigiPost[] = {{"iPort", kLong, false}, {"szFrom", kText, false}, {"szTo", kText, false},
                                   {"szData", kText, false}};
constexpr Parameter kVOKWrite[] = {{"iPort", kLong, false},   {"bPid", kLong, false}, {"szDataKind", kText, false},
                                   {"szFrom", kText, false},  {"szTo", kText, false}, {"szData", kText, false}};
constexpr Parameter kAX25Info[] = {{"iChannelId", kLong, false}, {"iPort", kLong, true},       {"szFrom", kText, true},
                                   {"szTo", kText, true},        {"szVIA", kText, true},       {"iLinkStatus", kLong, true},
                                   {"iRx", kLong, true},         {"iTx", kLong, true}};
constexpr Parameter kAX25Connect[] = {{"iPort", kLong, false}, {"szFrom", kText, false}, {"szTo", kText, false},
                                      {"szVIA", kText, false}};
constexpr Parameter kChannel[] = {{"iChannelId", kLong, false}};
constexpr Parameter kAX25Send[] = {{"iChannelId", kLong, false}, {"szData", kText, false}};
constexpr Parameter kAX25Outstanding[] = {{"iChannelId", kLong, false}, {"iFrames", kLong, true},
                                          {"iBytes", kLong, true}};

void GetPortInfo(Target& t, Value* a, Value& r) {
  PortInfoResult info;
  info.szPortName = a[1].text;
  int* numbers[] = {&info.iOnAirBaud, &info.iTrafficLevel, &info.iTxDelay, &info.iTxTail, &info.iPersist,
                    &info.iSlotTime,  &info.iMaxFrame,     &info.iAX25Channel};
  for (std::size_t i = 0; i < std::size(numbers); ++i) *numbers[i] = Int(a[2 + i]);
  info.iHowManyBytes = Int(a[10]);
  info.iFrames = Int(a[11]);
  r.number = t.api.GetPortInfo(Int(a[0]), info) ? 1 : 0;
  a[1].text = info.szPortName;
  for (std::size_t i = 0; i < std::size(numbers); ++i) a[2 + i].number = *numbers[i];
  // The byte count goes to the control's own copy only.
  a[11].number = info.iFrames;
}

void AX25Outstanding(Target& t, Value* a, Value& r) {
  int frames = Int(a[1]);
  int bytes = Int(a[2]);
  r.number = t.api.AX25Outstanding(Int(a[0]), frames, bytes) ? 1 : 0;
  a[1].number = frames;
  a[2].number = bytes;
}

void AX25Info(Target& t, Value* a, Value& r) {
  LinkInfoResult info;
  info.iPort = Int(a[1]);
  info.szFrom = a[2].text;
  info.szTo = a[3].text;
  info.szVIA = a[4].text;
  info.iLinkStatus = Int(a[5]);
  info.iRx = Int(a[6]);
  info.iTx = Int(a[7]);
  r.number = t.api.AX25Info(Int(a[0]), info) ? 1 : 0;
  a[1].number = info.iPort;
  a[2].text = info.szFrom;
  a[3].text = info.szTo;
  a[4].text = info.szVIA;
  a[5].number = info.iLinkStatus;
  a[6].number = info.iRx;
  a[7].number = info.iTx;
}

const std::array kMembers = {
    TW_TEXT(Log),
    TW_BOOL(Debug),
    TW_LONG(Trace),
    TW_LONG(Port),
    TW_TEXT(Address),
    TW_TEXT(CallSign),
    TW_BOOL(Kiss),
    TW_BOOL(Monitor),
    TW_BOOL(Poll),
    TW_BOOL(Register),
    TW_TEXT(MonitorMask),
    TW_BOOL(Active),
    TW_PROPERTY(Retry, kByte, r.number = t.api.Retry(), t.api.SetRetry(static_cast<std::uint8_t>(v.number))),
    TW_READ_ONLY(LoopBack, kBool, r.number = t.api.LoopBack() ? 1 : 0, false),
    TW_READ_ONLY(LoopBackPort, kLong, r.number = t.api.LoopBackPort(), false),
    TW_READ_ONLY(PortMax, kLong, r.number = t.api.PortMax(), false),
    TW_BOOL(Beacon),
    TW_TEXT(BeaconText),
    TW_TEXT(BeaconId),
    TW_TEXT(BeaconCall),
    TW_LONG(BeaconEvery),
    TW_LONG(BeaconPid),
    TW_BOOL(BeaconAuto),
    TW_BOOL(Digi),
    TW_TEXT(DigiCall),
    TW_BOOL(DigiAuto),
    TW_TEXT(VOKAPIVersion),
    TW_TEXT(VOKVersion),
    TW_BOOL(AX25),
    TW_CONTAINER(DoubleBuffered, kBool, doubleBuffered),
    TW_READ_ONLY(VisibleDockClientCount, kLong, r.number = t.container.visibleDockClientCount, true),
    TW_CONTAINER(Enabled, kBool, enabled),
    TW_CONTAINER(Visible, kBool, visible),
    Member{"Cursor", DISPID_VOKAPIX_Cursor, kProp, kShort, false, false, {}, [](Target& t, Value& r) { r.number = t.container.cursor; },
           [](Target& t, const Value& v) { t.container.cursor = v.number; }, nullptr},
    TW_METHOD(SendRaw, kBool, kSendRaw, r.number = t.api.SendRaw(Int(a[0]), a[1].text)),
    TW_METHOD(SendUnproto, kBool, kSendUnproto,
              r.number = t.api.SendUnproto(Int(a[0]), Int(a[1]), a[2].text, a[3].text, a[4].text, a[5].text)),
    TW_METHOD(SendData, kBool, kSendData,
              r.number = t.api.SendData(Int(a[0]), Int(a[1]), a[2].text, a[3].text, a[4].text)),
    TW_METHOD(Disconnect, kBool, kDisconnect, r.number = t.api.Disconnect(Int(a[0]), a[1].text, a[2].text)),
    TW_METHOD(Connect, kBool, kConnect,
              r.number = t.api.Connect(Int(a[0]), a[1].text, a[2].text, a[3].text, Int(a[4]))),
    TW_METHOD(GetHeardInfo, kText, kGetHeardInfo, r.text = t.api.GetHeardInfo(Int(a[0]), Int(a[1]))),
    TW_METHOD(GetPortInfo, kBool, kGetPortInfo, GetPortInfo(t, a, r)),
    TW_METHOD(VOKRegister, kNone, kCall, (void)r; t.api.VOKRegister(a[0].text)),
    TW_METHOD(VOKUnRegister, kNone, kCall, (void)r; t.api.VOKUnRegister(a[0].text)),
    TW_METHOD(BeaconPost, kNone, kBeaconPost,
              (void)r; t.api.BeaconPost(Int(a[0]), a[1].text, a[2].text, a[3].text, a[4].text)),
    TW_METHOD(DigiPost, kNone, kDigiPost, (void)r; t.api.DigiPost(Int(a[0]), a[1].text, a[2].text, a[3].text)),
    TW_METHOD(FCallSign, kText, kCall, r.text = t.api.FCallSign(a[0].text)),
    TW_METHOD(XCallSign, kText, kCall, r.text = t.api.XCallSign(a[0].text)),
    TW_METHOD(VOKWrite, kNone, kVOKWrite,
              (void)r; t.api.VOKWrite(Int(a[0]), Int(a[1]), a[2].text, a[3].text, a[4].text, a[5].text)),
    TW_METHOD(AX25Info, kBool, kAX25Info, AX25Info(t, a, r)),
    TW_METHOD(AX25Connect, kLong, kAX25Connect, r.number = t.api.AX25Connect(Int(a[0]), a[1].text, a[2].text, a[3].text)),
    TW_METHOD(AX25Disconnect, kBool, kChannel, r.number = t.api.AX25Disconnect(Int(a[0]))),
    TW_METHOD(AX25Send, kBool, kAX25Send, r.number = t.api.AX25Send(Int(a[0]), a[1].text)),
    // Read as fixed values; what is put is accepted and dropped.
    Member{"TabStop", DISPID_VOKAPIX_TabStop, kProp, kBool, false, false, {}, [](Target&, Value& r) { r = Number(0); },
           [](Target&, const Value&) {}, nullptr},
    Member{"TabOrder", DISPID_VOKAPIX_TabOrder, kProp, kLong, false, false, {}, [](Target&, Value& r) { r = Number(-1); },
           [](Target&, const Value&) {}, nullptr},
    // Added after the first release: at the end, so the others keep their
    // places and ids.
    TW_METHOD(AX25Outstanding, kBool, kAX25Outstanding, AX25Outstanding(t, a, r)),
};

#undef TW_PROPERTY
#undef TW_TEXT
#undef TW_BOOL
#undef TW_LONG
#undef TW_READ_ONLY
#undef TW_CONTAINER
#undef TW_METHOD

// Each event's parameters, with one unused entry after them so that an
// event without any still has an array.
#define TW_EVENT_PARAMETER(kind, name) Parameter{#name, k##kind, false},
#define TW_EVENT_PARAMETERS(name, dispid, parameters) constexpr Parameter k##name[] = {parameters Parameter{}};
VOKAPIX_EVENTS(TW_EVENT_PARAMETERS, TW_EVENT_PARAMETER)
#define TW_EVENT(name, dispid, parameters) \
  Event{#name, DISPID_VOKAPIXEvents_##name, std::span(k##name, std::size(k##name) - 1)},
const std::array kEvents = {VOKAPIX_EVENTS(TW_EVENT, TW_EVENT_PARAMETER)};
#undef TW_EVENT
#undef TW_EVENT_PARAMETERS
#undef TW_EVENT_PARAMETER

bool SameName(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

std::span<const Member> Members() { return kMembers; }

const Member* FindMember(DISPID dispid) {
  for (const Member& member : kMembers) {
    if (member.dispid == dispid) return &member;
  }
  return nullptr;
}

const Member* FindMember(std::string_view name) {
  for (const Member& member : kMembers) {
    if (SameName(member.name, name)) return &member;
  }
  return nullptr;
}

std::span<const Event> Events() { return kEvents; }

std::int64_t Lowest(ValueType type) {
  switch (type) {
    case kLong: return std::numeric_limits<std::int32_t>::min();
    case kShort:
    case kBool: return std::numeric_limits<std::int16_t>::min();
    case kByte: return 0;
    default: return 0;
  }
}

std::int64_t Highest(ValueType type) {
  switch (type) {
    case kLong: return std::numeric_limits<std::int32_t>::max();
    case kShort:
    case kBool: return std::numeric_limits<std::int16_t>::max();
    case kByte: return 255;
    default: return 0;
  }
}

}  // namespace tw::activex
