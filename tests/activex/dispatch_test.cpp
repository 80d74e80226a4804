// The dispatch surface without an engine: every member by name and DISPID,
// each refusal with its code, bytes and booleans, and in-out parameters
// through Invoke and through the dual interface.
#include <cctype>
#include <numeric>
#include <thread>

#include "tests/activex/control_harness.h"

namespace tw::activex::testing {
namespace {

// What a container relies on, written out apart from the control's own
// table. kind: 'p' property, 'r' read-only property, 'm' method; type: of
// the property or of the method's result; parameters: 'L' long, 'S' text,
// lower case by reference.
struct Expected {
  const char* name;
  DISPID id;
  char kind;
  VARTYPE type;
  const char* parameters;
};
constexpr Expected kMembers[] = {
    {"Log", 20, 'p', VT_BSTR, ""},          {"Debug", 21, 'p', VT_BOOL, ""},        {"Trace", 22, 'p', VT_I4, ""},
    {"Port", 23, 'p', VT_I4, ""},           {"Address", 24, 'p', VT_BSTR, ""},      {"CallSign", 25, 'p', VT_BSTR, ""},
    {"Kiss", 26, 'p', VT_BOOL, ""},         {"Monitor", 27, 'p', VT_BOOL, ""},      {"Poll", 28, 'p', VT_BOOL, ""},
    {"Register", 29, 'p', VT_BOOL, ""},     {"MonitorMask", 30, 'p', VT_BSTR, ""},  {"Active", 31, 'p', VT_BOOL, ""},
    {"Retry", 32, 'p', VT_UI1, ""},         {"LoopBack", 33, 'r', VT_BOOL, ""},     {"LoopBackPort", 34, 'r', VT_I4, ""},
    {"PortMax", 35, 'r', VT_I4, ""},        {"Beacon", 36, 'p', VT_BOOL, ""},       {"BeaconText", 37, 'p', VT_BSTR, ""},
    {"BeaconId", 38, 'p', VT_BSTR, ""},     {"BeaconCall", 39, 'p', VT_BSTR, ""},   {"BeaconEvery", 40, 'p', VT_I4, ""},
    {"BeaconPid", 41, 'p', VT_I4, ""},      {"BeaconAuto", 42, 'p', VT_BOOL, ""},   {"Digi", 43, 'p', VT_BOOL, ""},
    {"DigiCall", 44, 'p', VT_BSTR, ""},     {"DigiAuto", 45, 'p', VT_BOOL, ""},     {"VOKAPIVersion", 46, 'p', VT_BSTR, ""},
    {"VOKVersion", 47, 'p', VT_BSTR, ""},   {"AX25", 48, 'p', VT_BOOL, ""},         {"DoubleBuffered", 49, 'p', VT_BOOL, ""},
    {"VisibleDockClientCount", 50, 'r', VT_I4, ""},                                 {"Enabled", -514, 'p', VT_BOOL, ""},
    {"Visible", 59, 'p', VT_BOOL, ""},      {"Cursor", 60, 'p', VT_I2, ""},         {"TabStop", 19, 'p', VT_BOOL, ""},
    {"TabOrder", 51, 'p', VT_I4, ""},       {"SendRaw", 1, 'm', VT_BOOL, "LS"},     {"SendUnproto", 2, 'm', VT_BOOL, "LLSSSS"},
    {"SendData", 3, 'm', VT_BOOL, "LLSSS"}, {"Disconnect", 4, 'm', VT_BOOL, "LSS"}, {"Connect", 5, 'm', VT_BOOL, "LSSSL"},
    {"GetHeardInfo", 6, 'm', VT_BSTR, "LL"}, {"GetPortInfo", 7, 'm', VT_BOOL, "LsllllllllLl"},
    {"VOKRegister", 8, 'm', VT_EMPTY, "S"}, {"VOKUnRegister", 9, 'm', VT_EMPTY, "S"},
    {"BeaconPost", 10, 'm', VT_EMPTY, "LSSSS"}, {"DigiPost", 11, 'm', VT_EMPTY, "LSSS"},
    {"FCallSign", 12, 'm', VT_BSTR, "S"},   {"XCallSign", 13, 'm', VT_BSTR, "S"},  {"VOKWrite", 14, 'm', VT_EMPTY, "LLSSSS"},
    {"AX25Info", 15, 'm', VT_BOOL, "Llssslll"}, {"AX25Connect", 16, 'm', VT_I4, "LSSS"},
    {"AX25Disconnect", 17, 'm', VT_BOOL, "L"}, {"AX25Send", 18, 'm', VT_BOOL, "LS"},
    {"AX25Outstanding", 61, 'm', VT_BOOL, "Lll"},
};

// Every property's value, to see that a refusal changed nothing.
std::vector<std::string> Snapshot(IDispatch* control) {
  std::vector<std::string> values;
  for (const Expected& member : kMembers) {
    Result value;
    if (member.kind != 'm' && Get(control, member.id, value) == S_OK) {
      values.push_back(value.vt == VT_BSTR ? Bytes(value.bstrVal) : std::to_string(value.llVal));
    }
  }
  return values;
}

using ControlDispatchTest = ControlTest;

TEST_F(ControlDispatchTest, EveryMemberByNameWithoutRegardToCaseAndByDispid) {
  for (const Expected& member : kMembers) {
    std::u16string name(member.name, member.name + std::strlen(member.name));
    for (std::size_t i = 0; i < name.size(); i += 2) name[i] = static_cast<char16_t>(std::tolower(name[i]));
    LPOLESTR names[] = {name.data()};
    DISPID id = 0;
    EXPECT_EQ(Dispatch()->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << member.name;
    EXPECT_EQ(id, member.id) << member.name;
    Result result;
    if (member.kind == 'm') {
      std::vector<LONG> longs(12, 0);
      std::vector<BSTR> texts(12, nullptr);
      std::vector<VARIANT> args;
      for (std::size_t i = 0; member.parameters[i] != 0; ++i) {
        const char p = member.parameters[i];
        args.push_back(p == 'L' ? Long(0) : p == 'S' ? Text("") : p == 'l' ? Ref(&longs[i]) : Ref(&texts[i]));
      }
      EXPECT_EQ(Invoke(Dispatch(), member.id, DISPATCH_METHOD, args, &result), S_OK) << member.name;
      EXPECT_EQ(result.vt, member.type) << member.name;
      for (BSTR text : texts) SysFreeString(text);
      continue;
    }
    ASSERT_EQ(Get(Dispatch(), member.id, result), S_OK) << member.name;
    EXPECT_EQ(result.vt, member.type) << member.name;
    VARIANT same{};
    ASSERT_EQ(VariantCopy(&same, &result), S_OK);
    EXPECT_EQ(Put(Dispatch(), member.id, same), member.kind == 'r' ? DISP_E_MEMBERNOTFOUND : S_OK) << member.name;
  }
  std::u16string parameters[] = {u"ax25SEND", u"SZDATA", u"ichannelid", u"nothing"};
  LPOLESTR names[] = {parameters[0].data(), parameters[1].data(), parameters[2].data(), parameters[3].data()};
  DISPID ids[4] = {};
  EXPECT_EQ(Dispatch()->GetIDsOfNames(IID_NULL, names, 3, LOCALE_USER_DEFAULT, ids), S_OK);
  EXPECT_EQ(std::vector<DISPID>(ids, ids + 3), (std::vector<DISPID>{18, 1, 0}));
  EXPECT_EQ(Dispatch()->GetIDsOfNames(IID_NULL, names, 4, LOCALE_USER_DEFAULT, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[3], DISPID_UNKNOWN);
  EXPECT_EQ(Dispatch()->GetIDsOfNames(IID_NULL, names + 3, 1, LOCALE_USER_DEFAULT, ids), DISP_E_UNKNOWNNAME);
  UINT count = 9;
  ITypeInfo* info = nullptr;
  EXPECT_EQ(Dispatch()->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(Dispatch()->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), DISP_E_BADINDEX);
}

TEST_F(ControlDispatchTest, EachRefusalHasItsCodeAndChangesNothing) {
  const std::vector<std::string> before = Snapshot(Dispatch());
  VARIANT aboveLatin1{};
  aboveLatin1.vt = VT_BSTR;
  aboveLatin1.bstrVal = SysAllocString(u"N0CALL\u0100");
  LONG* nowhere = nullptr;
  const struct {
    const char* what;
    DISPID id;
    WORD flags;
    std::vector<VARIANT> args;
    std::optional<std::vector<DISPID>> names;
    HRESULT expected;
    UINT argError;
  } table[] = {
      {"an argument short", 18, DISPATCH_METHOD, {Long(1)}, {}, DISP_E_BADPARAMCOUNT, 99},
      {"text for a number", 18, DISPATCH_METHOD, {Text("1"), Text("x")}, {}, DISP_E_TYPEMISMATCH, 1},
      {"a byte of 256", 32, DISPATCH_PROPERTYPUT, {Long(256)}, {}, DISP_E_OVERFLOW, 0},
      {"a character above U+00FF", 25, DISPATCH_PROPERTYPUT, {aboveLatin1}, {}, DISP_E_TYPEMISMATCH, 0},
      {"a put on a read-only property", 35, DISPATCH_PROPERTYPUT, {Long(1)}, {}, DISP_E_MEMBERNOTFOUND, 99},
      {"an unknown DISPID", 999, DISPATCH_METHOD, {}, {}, DISP_E_MEMBERNOTFOUND, 99},
      {"a named argument", 17, DISPATCH_METHOD, {Long(1)}, std::vector<DISPID>{0}, DISP_E_NONAMEDARGS, 99},
      {"a put's value named otherwise", 23, DISPATCH_PROPERTYPUT, {Long(1)}, std::vector<DISPID>{0},
       DISP_E_NONAMEDARGS, 99},
      {"by value where by reference", 15, DISPATCH_METHOD,
       {Long(1), Long(1), Text(""), Text(""), Text(""), Long(0), Long(0), Long(0)}, {}, DISP_E_TYPEMISMATCH, 6},
      {"by reference to nothing", 15, DISPATCH_METHOD,
       {Long(1), Ref(nowhere), Text(""), Text(""), Text(""), Long(0), Long(0), Long(0)}, {}, E_POINTER, 6},
  };
  for (const auto& row : table) {
    Result result;
    UINT argError = 99;
    EXPECT_EQ(Invoke(Dispatch(), row.id, row.flags, row.args, &result, &argError, row.names), row.expected) << row.what;
    EXPECT_EQ(argError, row.argError) << row.what;
    EXPECT_EQ(result.vt, VT_EMPTY) << row.what;
  }
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  Result port;
  EXPECT_EQ(Dispatch()->Invoke(23, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr),
            E_POINTER);
  EXPECT_EQ(Dispatch()->Invoke(23, IID_IDispatch, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &port, nullptr,
                               nullptr),
            DISP_E_UNKNOWNINTERFACE);
  Bstr euro = Bstr::Adopt(SysAllocString(u"\u20AC"));
  EXPECT_EQ(control_->put_BeaconText(euro.Get()), DISP_E_TYPEMISMATCH);
  HRESULT fromElsewhere[2] = {S_OK, S_OK};
  std::thread([&] {
    LONG value = 0;
    fromElsewhere[0] = Invoke(Dispatch(), 23, DISPATCH_PROPERTYPUT, {Long(1)});
    fromElsewhere[1] = control_->get_Port(&value);
  }).join();
  EXPECT_EQ(fromElsewhere[0], RPC_E_WRONG_THREAD);
  EXPECT_EQ(fromElsewhere[1], RPC_E_WRONG_THREAD);
  EXPECT_EQ(Snapshot(Dispatch()), before);
}

TEST_F(ControlDispatchTest, EveryByteThroughATextPropertyAndANullTextAsEmpty) {
  std::string all(256, '\0');
  std::iota(all.begin(), all.end(), '\0');
  ASSERT_EQ(Put(Dispatch(), DISPID_VOKAPIX_BeaconText, Text(all)), S_OK);
  Result back;
  ASSERT_EQ(Get(Dispatch(), DISPID_VOKAPIX_BeaconText, back), S_OK);
  ASSERT_EQ(SysStringLen(back.bstrVal), 256u);
  for (UINT i = 0; i < 256; ++i) EXPECT_EQ(back.bstrVal[i], static_cast<char16_t>(i));
  EXPECT_EQ(control_->put_BeaconText(nullptr), S_OK);
  Bstr empty;
  EXPECT_EQ(control_->get_BeaconText(empty.Put()), S_OK);
  EXPECT_EQ(empty.Length(), 0u);
}

TEST_F(ControlDispatchTest, BooleansFixedValuesAndTheContainersDefaults) {
  const struct {
    DISPID id;
    std::optional<VARIANT> put;
    LONG read;
  } table[] = {
      {DISPID_VOKAPIX_Enabled, {}, VARIANT_TRUE},       {DISPID_VOKAPIX_Visible, {}, VARIANT_TRUE},
      {DISPID_VOKAPIX_DoubleBuffered, {}, VARIANT_FALSE}, {DISPID_VOKAPIX_Cursor, {}, 0},
      {DISPID_VOKAPIX_VisibleDockClientCount, {}, 0},    {DISPID_VOKAPIX_Beacon, Long(1), VARIANT_TRUE},
      {DISPID_VOKAPIX_Beacon, Bool(VARIANT_FALSE), VARIANT_FALSE}, {DISPID_VOKAPIX_TabStop, Bool(-1), VARIANT_FALSE},
      {DISPID_VOKAPIX_TabOrder, Long(5), -1},            {DISPID_VOKAPIX_Enabled, Bool(0), VARIANT_FALSE},
  };
  for (const auto& row : table) {
    if (row.put) {
      ASSERT_EQ(Put(Dispatch(), row.id, *row.put), S_OK) << row.id;
    }
    Result value;
    ASSERT_EQ(Get(Dispatch(), row.id, value), S_OK);
    EXPECT_EQ(value.vt == VT_I4 ? value.lVal : value.iVal, row.read) << row.id;  // VT_BOOL and VT_I2 alike
  }
  VARIANT_BOOL flag = 0;
  EXPECT_EQ(control_->put_Kiss(1), S_OK);
  EXPECT_EQ(control_->get_Kiss(&flag), S_OK);
  EXPECT_EQ(flag, VARIANT_TRUE);
}

TEST_F(ControlDispatchTest, InOutParametersOnRefusalAndForAnUnknownId) {
  LONG n[9] = {7, 3, 5, 6, 1, 2, 3, 4, 5};
  BSTR from = SysAllocString(u"MINE"), to = nullptr, via = SysAllocString(u"V"), name = SysAllocString(u"PORT");
  const BSTR mine = from;
  auto info = [&] {
    Result ok;
    VARIANT_BOOL dual = VARIANT_TRUE;
    EXPECT_EQ(Invoke(Dispatch(), DISPID_VOKAPIX_AX25Info, DISPATCH_METHOD,
                     {Long(9), Ref(&n[0]), Ref(&from), Ref(&to), Ref(&via), Ref(&n[1]), Ref(&n[2]), Ref(&n[3])}, &ok),
              S_OK);
    EXPECT_EQ(control_->AX25Info(9, &n[0], &from, &to, &via, &n[1], &n[2], &n[3], &dual), S_OK);
    EXPECT_EQ(ok.boolVal, VARIANT_FALSE);
    EXPECT_EQ(dual, VARIANT_FALSE);
  };
  info();  // the table is closed
  EXPECT_EQ(from, mine);
  EXPECT_EQ(Bytes(from) + Bytes(to) + Bytes(via), "MINEV");
  Result ok;
  VARIANT_BOOL dual = VARIANT_TRUE;
  EXPECT_EQ(Invoke(Dispatch(), DISPID_VOKAPIX_GetPortInfo, DISPATCH_METHOD,
                   {Long(1), Ref(&name), Ref(&n[1]), Ref(&n[2]), Ref(&n[3]), Ref(&n[4]), Ref(&n[5]), Ref(&n[6]),
                    Ref(&n[7]), Ref(&n[8]), Long(0), Ref(&n[0])},
                   &ok),
            S_OK);
  EXPECT_EQ(control_->GetPortInfo(1, &name, &n[1], &n[2], &n[3], &n[4], &n[5], &n[6], &n[7], &n[8], 0, &n[0], &dual),
            S_OK);  // inactive
  EXPECT_EQ(ok.boolVal | dual, VARIANT_FALSE);
  EXPECT_EQ(Bytes(name), "PORT");
  EXPECT_EQ(std::vector<LONG>(n, n + 9), (std::vector<LONG>{7, 3, 5, 6, 1, 2, 3, 4, 5}));

  // An open table reads an unknown id as no link: 0 and empty texts, each
  // replaced string freed once (the sanitizer build checks).
  ASSERT_EQ(control_->put_AX25(VARIANT_TRUE), S_OK);
  info();
  EXPECT_EQ(Bytes(from) + Bytes(to) + Bytes(via), "");
  EXPECT_EQ(std::vector<LONG>(n, n + 4), (std::vector<LONG>{0, 0, 0, 0}));
  for (BSTR text : {from, to, via, name}) SysFreeString(text);
}

}  // namespace
}  // namespace tw::activex::testing
