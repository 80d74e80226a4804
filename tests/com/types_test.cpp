// BSTRs, the byte-string mapping, VARIANT ownership, GUID text and codes.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstring>
#include <string>

#include "tests/com/com_test_support.h"

namespace tw::com::testing {
namespace {

TEST(BstrTest, LengthPrefixTerminatorAndEmbeddedNul) {
  const char16_t text[] = u"ab\0cd";
  BSTR s = SysAllocStringLen(text, 5);
  ASSERT_NE(s, nullptr);
  std::uint32_t prefix = 0;
  std::memcpy(&prefix, reinterpret_cast<const char*>(s) - 4, 4);
  EXPECT_EQ(prefix, 10u);
  EXPECT_EQ(SysStringLen(s), 5u);
  EXPECT_EQ(SysStringByteLen(s), 10u);
  EXPECT_EQ(s[2], 0);
  EXPECT_EQ(s[4], u'd');
  EXPECT_EQ(s[5], 0);
  SysFreeString(s);

  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  SysFreeString(nullptr);
  Bstr zeroed = Bstr::Adopt(SysAllocStringLen(nullptr, 3));
  ASSERT_NE(zeroed.Get(), nullptr);
  EXPECT_EQ(std::u16string(zeroed.Get(), 4), std::u16string(4, u'\0'));
  Bstr copied = Bstr::Adopt(SysAllocString(u"hello"));
  EXPECT_EQ(copied.Length(), 5u);
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x7FFFFFFDu), nullptr);  // past the 32-bit byte count
}

TEST(ByteStringTest, EveryByteSurvivesUnderAUtf8Locale) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
  std::string all;
  for (int round = 0; round < 2; ++round) {
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  }
  const Bstr text = Bstr::FromBytes(all);
  ASSERT_EQ(text.Length(), 512u);
  for (std::size_t i = 0; i < all.size(); ++i) ASSERT_EQ(text.Get()[i], static_cast<char16_t>(i % 256)) << i;
  std::string back;
  ASSERT_TRUE(text.ToBytes(&back));
  EXPECT_EQ(back, all);

  char buffer[513];
  UINT length = 0;
  EXPECT_EQ(TwBstrToBytes(text.Get(), buffer, sizeof buffer - 1, &length), E_NOT_SUFFICIENT_BUFFER);
  EXPECT_EQ(length, 512u);
  EXPECT_EQ(TwBstrToBytes(text.Get(), buffer, sizeof buffer, &length), S_OK);
  EXPECT_EQ(std::string(buffer, length), all);
  EXPECT_EQ(buffer[512], '\0');

  back = "was here";
  EXPECT_TRUE(BytesFromBstr(nullptr, &back));  // a null BSTR reads as empty
  EXPECT_EQ(back, "");
  std::setlocale(LC_ALL, previous.c_str());
}

TEST(ByteStringTest, ACharacterAboveFFIsRefusedAndChangesNothing) {
  for (const char16_t wide : {u'\u0100', u'\u20AC', static_cast<char16_t>(0xD800)}) {
    const char16_t text[] = {u'a', u'\u00FF', wide};
    const Bstr s = Bstr::Adopt(SysAllocStringLen(text, 3));
    std::string bytes = "kept";
    EXPECT_FALSE(BytesFromBstr(s.Get(), &bytes));
    EXPECT_EQ(bytes, "kept");
    char buffer[8] = "zzzzzzz";
    UINT length = 99;
    EXPECT_EQ(TwBstrToBytes(s.Get(), buffer, sizeof buffer, &length), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(length, 99u);
    EXPECT_STREQ(buffer, "zzzzzzz");
  }
}

// The sanitizer build turns a missed free into a leak report and a second
// free into an error.
TEST(VariantTest, ClearFreesWhatItOwnsAndNothingItOnlyPointsAt) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(u"owned");
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(v.vt, VT_EMPTY);
  EXPECT_EQ(v.bstrVal, nullptr);

  Counted object;
  object.refs = 2;  // one of them belongs to the variant
  v.vt = VT_DISPATCH;
  v.pdispVal = &object;
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(object.refs, 1u);

  BSTR callers = SysAllocString(u"caller's");
  IUnknown* callersObject = &object;
  v.vt = VT_BYREF | VT_BSTR;
  v.pbstrVal = &callers;
  EXPECT_EQ(VariantClear(&v), S_OK);
  v.vt = VT_BYREF | VT_UNKNOWN;
  v.ppunkVal = &callersObject;
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(SysStringLen(callers), 8u);
  EXPECT_EQ(object.refs, 1u);
  SysFreeString(callers);
}

TEST(VariantTest, CopyDuplicatesStringsAndTakesReferences) {
  VARIANT source;
  VARIANT dest;
  VariantInit(&source);
  VariantInit(&dest);
  source.vt = VT_BSTR;
  source.bstrVal = SysAllocString(u"text");
  dest.vt = VT_BSTR;
  dest.bstrVal = SysAllocString(u"replaced");  // freed by the copy
  ASSERT_EQ(VariantCopy(&dest, &source), S_OK);
  EXPECT_NE(dest.bstrVal, source.bstrVal);
  EXPECT_EQ(std::u16string(dest.bstrVal), u"text");
  EXPECT_EQ(VariantCopy(&dest, &dest), S_OK);

  Counted object;
  VARIANT reference;
  VariantInit(&reference);
  reference.vt = VT_UNKNOWN;
  reference.punkVal = &object;
  ASSERT_EQ(VariantCopy(&dest, &reference), S_OK);  // dest's string freed, a reference taken
  EXPECT_EQ(object.refs, 2u);
  EXPECT_EQ(VariantClear(&dest), S_OK);
  EXPECT_EQ(object.refs, 1u);

  LONG number = 5;
  reference.vt = VT_BYREF | VT_I4;
  reference.plVal = &number;
  ASSERT_EQ(VariantCopy(&dest, &reference), S_OK);
  EXPECT_EQ(dest.plVal, &number);
  EXPECT_EQ(VariantClear(&source), S_OK);
}

TEST(VariantTest, UnknownTypesAreRefusedAndLeftAlone) {
  VARIANT bad;
  VARIANT dest;
  VariantInit(&bad);
  VariantInit(&dest);
  dest.vt = VT_I4;
  dest.lVal = 7;
  for (const VARTYPE vt : {VARTYPE{VT_ARRAY | VT_I4}, VARTYPE{VT_BYREF | VT_EMPTY}, VARTYPE{VT_VARIANT},
                           VARTYPE{6 /* VT_CY */}, VARTYPE{0x0FFF}}) {
    bad.vt = vt;
    EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE) << vt;
    EXPECT_EQ(bad.vt, vt);
    EXPECT_EQ(VariantCopy(&dest, &bad), DISP_E_BADVARTYPE) << vt;
    EXPECT_EQ(dest.vt, VT_I4);
    EXPECT_EQ(dest.lVal, 7);
  }
  EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
  EXPECT_EQ(VariantCopy(nullptr, &dest), E_INVALIDARG);
}

static_assert(static_cast<std::uint32_t>(E_FAIL) == 0x80004005 && static_cast<std::uint32_t>(E_INVALIDARG) == 0x80070057);
static_assert(static_cast<std::uint32_t>(CLASS_E_CLASSNOTAVAILABLE) == 0x80040111);
static_assert(static_cast<std::uint32_t>(REGDB_E_CLASSNOTREG) == 0x80040154);
static_assert(static_cast<std::uint32_t>(CO_E_NOTINITIALIZED) == 0x800401F0);
static_assert(static_cast<std::uint32_t>(RPC_E_WRONG_THREAD) == 0x8001010E);
static_assert(static_cast<std::uint32_t>(DISP_E_PARAMNOTOPTIONAL) == 0x8002000F);
static_assert(SELFREG_E_CLASS == CONNECT_E_ADVISELIMIT && VARIANT_TRUE == -1);

TEST(GuidTest, TextFormsAndTheirRefusals) {
  const GUID control = {0x5440A16D, 0xC3AC, 0x11D4, {0xA6, 0x78, 0x00, 0xE0, 0x98, 0x05, 0xC1, 0xC0}};
  GUID parsed{};
  ASSERT_EQ(TwGuidFromString("{5440a16d-C3AC-11d4-A678-00E09805c1c0}", &parsed), S_OK);
  EXPECT_TRUE(parsed == control);
  EXPECT_EQ(GuidToString(control), "{5440A16D-C3AC-11D4-A678-00E09805C1C0}");
  OLECHAR wide[39];
  ASSERT_EQ(StringFromGUID2(control, wide, 39), 39);
  CLSID back{};
  ASSERT_EQ(CLSIDFromString(wide, &back), S_OK);
  EXPECT_TRUE(IsEqualGUID(back, control));
  EXPECT_EQ(StringFromGUID2(control, wide, 38), 0);
  for (const char* text : {"", "5440A16D-C3AC-11D4-A678-00E09805C1C0", "{5440A16D-C3AC-11D4-A678-00E09805C1C0",
                           "{5440A16D-C3AC-11D4-A678-00E09805C1C0}x", "{5440A16DXC3AC-11D4-A678-00E09805C1C0}",
                           "{G440A16D-C3AC-11D4-A678-00E09805C1C0}", "{5440A16D-C3AC-11D4-A67800-E09805C1C0}"}) {
    GUID guid = IID_IDispatch;
    EXPECT_EQ(TwGuidFromString(text, &guid), CO_E_CLASSSTRING) << text;
    EXPECT_TRUE(IsEqualGUID(guid, IID_IDispatch)) << text;
  }
  EXPECT_EQ(CLSIDFromString(u"{5440A16D-C3AC-11D4-A678-00E09805C1C\u00C0}", &back), CO_E_CLASSSTRING);
  EXPECT_STREQ(TwHresultName(RPC_E_WRONG_THREAD), "RPC_E_WRONG_THREAD");
  EXPECT_EQ(TwHresultName(0x12345), nullptr);
}

}  // namespace
}  // namespace tw::com::testing
