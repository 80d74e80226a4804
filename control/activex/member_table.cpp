#include "control/activex/member_table.h"

#include <algorithm>
#include <array>
#include <limits>

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
#define TW_PROPERTY(Name, dispid, type, read, write)                            \
  Member {                                                                      \
    #Name, dispid, kProp, type, false, false, {},                               \
        [](Target& t, Value& r) { read; }, [](Target& t, const Value& v) { write; }, nullptr \
  }
#define TW_TEXT(Name, dispid) TW_PROPERTY(Name, dispid, kText, r.text = t.api.Name(), t.api.Set##Name(v.text))
#define TW_BOOL(Name, dispid) TW_PROPERTY(Name, dispid, kBool, r.number = t.api.Name() ? 1 : 0, t.api.Set##Name(Bool(v)))
#define TW_LONG(Name, dispid) TW_PROPERTY(Name, dispid, kLong, r.number = t.api.Name(), t.api.Set##Name(Int(v)))
#define TW_READ_ONLY(Name, dispid, type, read, hidden)                      \
  Member {                                                                  \
    #Name, dispid, kProp, type, true, hidden, {}, [](Target& t, Value& r) { read; }, nullptr, nullptr \
  }
#define TW_CONTAINER(Name, dispid, type, field)                                                       \
  Member {                                                                                            \
    #Name, dispid, kProp, type, false, true, {}, [](Target& t, Value& r) { r.number = t.container.field; }, \
        [](Target& t, const Value& v) { t.container.field = v.number; }, nullptr                        \
  }
#define TW_METHOD(Name, dispid, result, parameters, body)                                             \
  Member {                                                                                            \
    #Name, dispid, kMethod, result, false, false, parameters, nullptr, nullptr,                      \
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
    TW_TEXT(Log, 20),
    TW_BOOL(Debug, 21),
    TW_LONG(Trace, 22),
    TW_LONG(Port, 23),
    TW_TEXT(Address, 24),
    TW_TEXT(CallSign, 25),
    TW_BOOL(Kiss, 26),
    TW_BOOL(Monitor, 27),
    TW_BOOL(Poll, 28),
    TW_BOOL(Register, 29),
    TW_TEXT(MonitorMask, 30),
    TW_BOOL(Active, 31),
    TW_PROPERTY(Retry, 32, kByte, r.number = t.api.Retry(), t.api.SetRetry(static_cast<std::uint8_t>(v.number))),
    TW_READ_ONLY(LoopBack, 33, kBool, r.number = t.api.LoopBack() ? 1 : 0, false),
    TW_READ_ONLY(LoopBackPort, 34, kLong, r.number = t.api.LoopBackPort(), false),
    TW_READ_ONLY(PortMax, 35, kLong, r.number = t.api.PortMax(), false),
    TW_BOOL(Beacon, 36),
    TW_TEXT(BeaconText, 37),
    TW_TEXT(BeaconId, 38),
    TW_TEXT(BeaconCall, 39),
    TW_LONG(BeaconEvery, 40),
    TW_LONG(BeaconPid, 41),
    TW_BOOL(BeaconAuto, 42),
    TW_BOOL(Digi, 43),
    TW_TEXT(DigiCall, 44),
    TW_BOOL(DigiAuto, 45),
    TW_TEXT(VOKAPIVersion, 46),
    TW_TEXT(VOKVersion, 47),
    TW_BOOL(AX25, 48),
    TW_CONTAINER(DoubleBuffered, 49, kBool, doubleBuffered),
    TW_READ_ONLY(VisibleDockClientCount, 50, kLong, r.number = t.container.visibleDockClientCount, true),
    TW_CONTAINER(Enabled, -514, kBool, enabled),
    TW_CONTAINER(Visible, 59, kBool, visible),
    Member{"Cursor", 60, kProp, kShort, false, false, {}, [](Target& t, Value& r) { r.number = t.container.cursor; },
           [](Target& t, const Value& v) { t.container.cursor = v.number; }, nullptr},
    TW_METHOD(SendRaw, 1, kBool, kSendRaw, r.number = t.api.SendRaw(Int(a[0]), a[1].text)),
    TW_METHOD(SendUnproto, 2, kBool, kSendUnproto,
              r.number = t.api.SendUnproto(Int(a[0]), Int(a[1]), a[2].text, a[3].text, a[4].text, a[5].text)),
    TW_METHOD(SendData, 3, kBool, kSendData,
              r.number = t.api.SendData(Int(a[0]), Int(a[1]), a[2].text, a[3].text, a[4].text)),
    TW_METHOD(Disconnect, 4, kBool, kDisconnect, r.number = t.api.Disconnect(Int(a[0]), a[1].text, a[2].text)),
    TW_METHOD(Connect, 5, kBool, kConnect,
              r.number = t.api.Connect(Int(a[0]), a[1].text, a[2].text, a[3].text, Int(a[4]))),
    TW_METHOD(GetHeardInfo, 6, kText, kGetHeardInfo, r.text = t.api.GetHeardInfo(Int(a[0]), Int(a[1]))),
    TW_METHOD(GetPortInfo, 7, kBool, kGetPortInfo, GetPortInfo(t, a, r)),
    TW_METHOD(VOKRegister, 8, kNone, kCall, (void)r; t.api.VOKRegister(a[0].text)),
    TW_METHOD(VOKUnRegister, 9, kNone, kCall, (void)r; t.api.VOKUnRegister(a[0].text)),
    TW_METHOD(BeaconPost, 10, kNone, kBeaconPost,
              (void)r; t.api.BeaconPost(Int(a[0]), a[1].text, a[2].text, a[3].text, a[4].text)),
    TW_METHOD(DigiPost, 11, kNone, kDigiPost, (void)r; t.api.DigiPost(Int(a[0]), a[1].text, a[2].text, a[3].text)),
    TW_METHOD(FCallSign, 12, kText, kCall, r.text = t.api.FCallSign(a[0].text)),
    TW_METHOD(XCallSign, 13, kText, kCall, r.text = t.api.XCallSign(a[0].text)),
    TW_METHOD(VOKWrite, 14, kNone, kVOKWrite,
              (void)r; t.api.VOKWrite(Int(a[0]), Int(a[1]), a[2].text, a[3].text, a[4].text, a[5].text)),
    TW_METHOD(AX25Info, 15, kBool, kAX25Info, AX25Info(t, a, r)),
    TW_METHOD(AX25Connect, 16, kLong, kAX25Connect, r.number = t.api.AX25Connect(Int(a[0]), a[1].text, a[2].text, a[3].text)),
    TW_METHOD(AX25Disconnect, 17, kBool, kChannel, r.number = t.api.AX25Disconnect(Int(a[0]))),
    TW_METHOD(AX25Send, 18, kBool, kAX25Send, r.number = t.api.AX25Send(Int(a[0]), a[1].text)),
    // Read as fixed values; what is put is accepted and dropped.
    Member{"TabStop", 19, kProp, kBool, false, false, {}, [](Target&, Value& r) { r = Number(0); },
           [](Target&, const Value&) {}, nullptr},
    Member{"TabOrder", 51, kProp, kLong, false, false, {}, [](Target&, Value& r) { r = Number(-1); },
           [](Target&, const Value&) {}, nullptr},
    // Added after the first release: at the end, so the others keep their
    // places and ids.
    TW_METHOD(AX25Outstanding, 61, kBool, kAX25Outstanding, AX25Outstanding(t, a, r)),
};

#undef TW_PROPERTY
#undef TW_TEXT
#undef TW_BOOL
#undef TW_LONG
#undef TW_READ_ONLY
#undef TW_CONTAINER
#undef TW_METHOD

constexpr Parameter kOnDebug[] = {{"LogStr", kText, false}};
constexpr Parameter kOnLinkText[] = {{"dwPort", kLong, false}, {"szFrom", kText, false}, {"szTo", kText, false},
                                     {"szData", kText, false}};
constexpr Parameter kOnLinkData[] = {{"dwPort", kLong, false}, {"szFrom", kText, false}, {"szTo", kText, false},
                                     {"bPid", kLong, false}, {"szData", kText, false}};
constexpr Parameter kOnRaw[] = {{"dwPort", kLong, false}, {"szData", kText, false}};
constexpr Parameter kOnMonitorData[] = {{"iPort", kLong, false}, {"szFrom", kText, false}, {"szTo", kText, false},
                                        {"szVIA", kText, false}, {"szType", kText, false}, {"szPid", kText, false},
                                        {"iNR", kLong, false},   {"iNS", kLong, false},    {"szInfo", kText, false}};
constexpr Parameter kOnRead[] = {{"dwPort", kLong, false}, {"bPid", kLong, false}, {"szDataKind", kText, false},
                                 {"szFrom", kText, false}, {"szTo", kText, false}, {"szData", kText, false}};
constexpr Parameter kOnRawDecode[] = {{"dwPort", kLong, false}, {"szFrom", kText, false}, {"szTo", kText, false},
                                      {"szVIA", kText, false},  {"szType", kText, false}, {"bNR", kLong, false},
                                      {"bNS", kLong, false},    {"fPF", kBool, false},    {"bPid", kLong, false},
                                      {"szInfo", kText, false}};
constexpr Parameter kOnBeacon[] = {{"dwPort", kLong, false}, {"szFrom", kText, false}, {"szTo", kText, false},
                                   {"szVIA", kText, false}, {"szMessage", kText, false}};
constexpr Parameter kOnDigi[] = {{"dwPort", kLong, false}, {"szFrom", kText, false}, {"szTo", kText, false},
                                 {"szDigiCall", kText, false}, {"szData", kText, false}};
constexpr Parameter kOnReady[] = {{"fReady", kBool, false}};
constexpr Parameter kOnRegister[] = {{"szCall", kText, false}, {"fFlags", kBool, false}};
constexpr Parameter kOnChannel[] = {{"iChannelId", kLong, false}};
constexpr Parameter kOnAX25Receive[] = {{"iChannelId", kLong, false}, {"szData", kText, false}};

const std::array kEvents = {
    Event{"OnDebug", 1, kOnDebug},           Event{"OnConnect", 2, kOnLinkText},
    Event{"OnDisconnect", 3, kOnLinkText},   Event{"OnData", 4, kOnLinkData},
    Event{"OnRaw", 5, kOnRaw},               Event{"OnUnproto", 6, kOnLinkData},
    Event{"OnMonitor", 7, kOnLinkData},      Event{"OnMonitorData", 8, kOnMonitorData},
    Event{"OnRetryOut", 9, kOnLinkText},     Event{"OnPort", 10, {}},
    Event{"OnRead", 11, kOnRead},            Event{"OnRawDecode", 12, kOnRawDecode},
    Event{"OnBeacon", 13, kOnBeacon},        Event{"OnDigi", 14, kOnDigi},
    Event{"OnError", 15, {}},                Event{"OnReady", 16, kOnReady},
    Event{"OnRegister", 17, kOnRegister},    Event{"OnAX25Connect", 18, kOnChannel},
    Event{"OnAX25Disconnect", 19, kOnChannel}, Event{"OnAX25Receive", 20, kOnAX25Receive},
};

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
