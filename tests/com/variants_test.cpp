// The one rule for what converts when a VARIANT is read, for every kind of
// value: integers of any width (VT_BOOL among them, as -1 or 0), booleans
// only from VT_BOOL, texts from VT_BSTR and VT_EMPTY; a refusal leaves the
// output alone. (What the writers make is checked where the control and the
// program pass values.)
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/com/variants.hpp"

namespace tw::com {
namespace {

VARIANT Of(VARTYPE vt, std::int64_t n) {
  VARIANT v;
  VariantInit(&v);
  v.vt = vt;
  switch (vt) {
    case VT_I2: v.iVal = static_cast<SHORT>(n); break;
    case VT_I4: v.lVal = static_cast<LONG>(n); break;
    case VT_UI1: v.bVal = static_cast<BYTE>(n); break;
    case VT_BOOL: v.boolVal = static_cast<VARIANT_BOOL>(n); break;
    case VT_R8: v.dblVal = static_cast<double>(n); break;
    case VT_I8: v.llVal = n; break;
    default: break;
  }
  return v;
}

// What each reader gives, as text: the value read, or the code, or "kept"
// when the output was left as it was.
std::string Read(const VARIANT& v, char as) {
  auto outcome = [](HRESULT hr, const std::string& value) {
    return hr == S_OK ? value : hr == DISP_E_OVERFLOW ? "overflow" : hr == DISP_E_TYPEMISMATCH ? "mismatch" : "?";
  };
  switch (as) {
    case 'l': {
      LONG n = 7;
      const HRESULT hr = ReadInteger(v, &n);
      return outcome(hr, std::to_string(n)) + (hr != S_OK && n == 7 ? " kept" : "");
    }
    case 's': {
      SHORT n = 7;
      const HRESULT hr = ReadInteger(v, &n);
      return outcome(hr, std::to_string(n)) + (hr != S_OK && n == 7 ? " kept" : "");
    }
    case 'b': {
      BYTE n = 7;
      const HRESULT hr = ReadInteger(v, &n);
      return outcome(hr, std::to_string(n)) + (hr != S_OK && n == 7 ? " kept" : "");
    }
    case '?': {
      bool b = true;
      const HRESULT hr = ReadBool(v, &b);
      return outcome(hr, b ? "true" : "false") + (hr != S_OK && b ? " kept" : "");
    }
    case 't': {
      std::string text = "old";
      const HRESULT hr = ReadText(v, &text);
      return outcome(hr, "\"" + text + "\"") + (hr != S_OK && text == "old" ? " kept" : "");
    }
  }
  return "?";
}

TEST(VariantRead, OneRuleForWhatConverts) {
  BSTR latin = TwBstrFromBytes("N0\xFF", 3);
  BSTR euro = SysAllocString(u"\u20AC");
  VARIANT text = Of(VT_BSTR, 0);
  text.bstrVal = latin;
  VARIANT beyond = Of(VT_BSTR, 0);
  beyond.bstrVal = euro;
  VARIANT nullText = Of(VT_BSTR, 0);
  LONG slot = 5;
  VARIANT byRef = Of(VT_BYREF | VT_I4, 0);
  byRef.plVal = &slot;
  const struct {
    const char* what;
    VARIANT v;
    char as;  // l long, s short, b byte, ? boolean, t text
    std::string read;
  } table[] = {
      {"a long", Of(VT_I4, -70000), 'l', "-70000"},
      {"a short widens", Of(VT_I2, -3), 'l', "-3"},
      {"a byte widens", Of(VT_UI1, 255), 'l', "255"},
      {"true is an integer", Of(VT_BOOL, VARIANT_TRUE), 'l', "-1"},
      {"false is an integer", Of(VT_BOOL, VARIANT_FALSE), 's', "0"},
      {"a long that fits a short", Of(VT_I4, 32767), 's', "32767"},
      {"a long too big for a short", Of(VT_I4, 32768), 's', "overflow kept"},
      {"a long too small for a short", Of(VT_I4, -32769), 's', "overflow kept"},
      {"a long that fits a byte", Of(VT_I4, 200), 'b', "200"},
      {"a negative for a byte", Of(VT_I2, -1), 'b', "overflow kept"},
      {"true for a byte", Of(VT_BOOL, VARIANT_TRUE), 'b', "overflow kept"},
      {"a double is no integer", Of(VT_R8, 1), 'l', "mismatch kept"},
      {"a 64-bit integer is not read", Of(VT_I8, 1), 'l', "mismatch kept"},
      {"empty is no integer", Of(VT_EMPTY, 0), 'l', "mismatch kept"},
      {"a text is no integer", text, 'l', "mismatch kept"},
      {"by reference is not read", byRef, 'l', "mismatch kept"},
      {"true", Of(VT_BOOL, VARIANT_TRUE), '?', "true"},
      {"false", Of(VT_BOOL, VARIANT_FALSE), '?', "false"},
      {"any non-zero boolean is true", Of(VT_BOOL, 1), '?', "true"},
      {"a number is no boolean", Of(VT_I4, 1), '?', "mismatch kept"},
      {"a short is no boolean", Of(VT_I2, 0), '?', "mismatch kept"},
      {"empty is no boolean", Of(VT_EMPTY, 0), '?', "mismatch kept"},
      {"a text by bytes", text, 't', "\"N0\xFF\""},
      {"a null text is empty", nullText, 't', "\"\""},
      {"empty is the empty text", Of(VT_EMPTY, 0), 't', "\"\""},
      {"a character above U+00FF", beyond, 't', "mismatch kept"},
      {"a number is no text", Of(VT_I4, 1), 't', "mismatch kept"},
      {"null is no text", Of(VT_NULL, 0), 't', "mismatch kept"},
  };
  for (const auto& row : table) EXPECT_EQ(Read(row.v, row.as), row.read) << row.what;
  SysFreeString(latin);
  SysFreeString(euro);
}

}  // namespace
}  // namespace tw::com
