// GUID text forms and the standard interface ids.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/com/twcom.h"

extern "C" {

const GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_ITypeInfo = {0x00020401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IConnectionPointContainer = {
    0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
const IID IID_IEnumConnectionPoints = {0xB196B285, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
const IID IID_IConnectionPoint = {0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
const IID IID_IEnumConnections = {0xB196B287, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};

}  // extern "C"

namespace {

// 'X' stands for one hex digit; everything else must match as written.
constexpr char kPattern[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
constexpr std::size_t kTextLength = sizeof kPattern - 1;
static_assert(kTextLength + 1 == TW_GUID_STRING_SIZE);

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// `text` holds exactly kTextLength characters.
bool Parse(const char* text, GUID* guid) {
  unsigned nibbles[32];
  std::size_t count = 0;
  for (std::size_t i = 0; i < kTextLength; ++i) {
    if (kPattern[i] == 'X') {
      const int value = HexValue(text[i]);
      if (value < 0) return false;
      nibbles[count++] = static_cast<unsigned>(value);
    } else if (text[i] != kPattern[i]) {
      return false;
    }
  }
  const auto take = [&](std::size_t from, std::size_t n) {
    std::uint32_t value = 0;
    for (std::size_t i = from; i < from + n; ++i) value = value << 4 | nibbles[i];
    return value;
  };
  GUID result;
  result.Data1 = take(0, 8);
  result.Data2 = static_cast<std::uint16_t>(take(8, 4));
  result.Data3 = static_cast<std::uint16_t>(take(12, 4));
  for (std::size_t i = 0; i < 8; ++i) result.Data4[i] = static_cast<std::uint8_t>(take(16 + 2 * i, 2));
  *guid = result;
  return true;
}

void Format(const GUID& guid, char* text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  unsigned nibbles[32];
  for (std::size_t i = 0; i < 8; ++i) nibbles[i] = guid.Data1 >> (28 - 4 * i) & 0xF;
  for (std::size_t i = 0; i < 4; ++i) nibbles[8 + i] = static_cast<unsigned>(guid.Data2 >> (12 - 4 * i) & 0xF);
  for (std::size_t i = 0; i < 4; ++i) nibbles[12 + i] = static_cast<unsigned>(guid.Data3 >> (12 - 4 * i) & 0xF);
  for (std::size_t i = 0; i < 8; ++i) {
    nibbles[16 + 2 * i] = guid.Data4[i] >> 4u;
    nibbles[17 + 2 * i] = guid.Data4[i] & 0xFu;
  }
  std::size_t next = 0;
  for (std::size_t i = 0; i < kTextLength; ++i) text[i] = kPattern[i] == 'X' ? kHex[nibbles[next++]] : kPattern[i];
  text[kTextLength] = '\0';
}

}  // namespace

extern "C" {

TWCOM_API HRESULT TwGuidFromString(const char* text, GUID* guid) {
  if (text == nullptr) return E_INVALIDARG;
  if (guid == nullptr) return E_POINTER;
  if (strnlen(text, kTextLength + 1) != kTextLength) return CO_E_CLASSSTRING;
  return Parse(text, guid) ? S_OK : CO_E_CLASSSTRING;
}

TWCOM_API HRESULT TwGuidToString(REFGUID guid, char* buffer, size_t size) {
  if (buffer == nullptr) return E_POINTER;
  if (size < TW_GUID_STRING_SIZE) return E_NOT_SUFFICIENT_BUFFER;
  Format(guid, buffer);
  return S_OK;
}

TWCOM_API HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid) {
  if (text == nullptr) return E_INVALIDARG;
  if (clsid == nullptr) return E_POINTER;
  char narrow[kTextLength + 1];
  std::size_t n = 0;
  for (; n <= kTextLength && text[n] != 0; ++n) {
    if (text[n] > 0x7F) return CO_E_CLASSSTRING;
    narrow[n] = static_cast<char>(text[n]);
  }
  if (n != kTextLength) return CO_E_CLASSSTRING;
  narrow[n] = '\0';
  return Parse(narrow, clsid) ? S_OK : CO_E_CLASSSTRING;
}

TWCOM_API int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int cchMax) {
  if (buffer == nullptr || cchMax < TW_GUID_STRING_SIZE) return 0;
  char narrow[TW_GUID_STRING_SIZE];
  Format(guid, narrow);
  for (std::size_t i = 0; i < TW_GUID_STRING_SIZE; ++i) buffer[i] = static_cast<OLECHAR>(narrow[i]);
  return TW_GUID_STRING_SIZE;
}

}  // extern "C"
