// BSTR allocation (one allocator for every module) and the byte-string
// mapping.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/com/twcom.h"

namespace {

// The byte count sits in the four bytes before the text.
constexpr std::size_t kPrefix = sizeof(std::uint32_t);
constexpr UINT kMaxLength = (0xFFFFFFFFu - kPrefix - sizeof(OLECHAR)) / sizeof(OLECHAR);

unsigned char* Block(BSTR text) { return reinterpret_cast<unsigned char*>(text) - kPrefix; }

BSTR Allocate(UINT length) {
  if (length > kMaxLength) return nullptr;
  const std::size_t bytes = std::size_t{length} * sizeof(OLECHAR);
  auto* block = static_cast<unsigned char*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
  if (block == nullptr) return nullptr;
  const auto count = static_cast<std::uint32_t>(bytes);
  std::memcpy(block, &count, kPrefix);
  BSTR text = reinterpret_cast<BSTR>(block + kPrefix);
  text[length] = 0;
  return text;
}

}  // namespace

extern "C" {

TWCOM_API BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  BSTR result = Allocate(length);
  if (result == nullptr) return nullptr;
  if (text != nullptr) {
    std::memcpy(result, text, std::size_t{length} * sizeof(OLECHAR));
  } else {
    std::memset(result, 0, std::size_t{length} * sizeof(OLECHAR));
  }
  return result;
}

TWCOM_API BSTR SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  std::size_t length = 0;
  while (text[length] != 0) {
    if (++length > kMaxLength) return nullptr;
  }
  return SysAllocStringLen(text, static_cast<UINT>(length));
}

TWCOM_API void SysFreeString(BSTR text) {
  if (text != nullptr) std::free(Block(text));
}

TWCOM_API UINT SysStringByteLen(BSTR text) {
  if (text == nullptr) return 0;
  std::uint32_t count;
  std::memcpy(&count, Block(text), kPrefix);
  return count;
}

TWCOM_API UINT SysStringLen(BSTR text) { return static_cast<UINT>(SysStringByteLen(text) / sizeof(OLECHAR)); }

TWCOM_API BSTR TwBstrFromBytes(const char* bytes, UINT length) {
  if (bytes == nullptr && length != 0) return nullptr;
  BSTR result = Allocate(length);
  if (result == nullptr) return nullptr;
  for (UINT i = 0; i < length; ++i) result[i] = static_cast<OLECHAR>(static_cast<unsigned char>(bytes[i]));
  return result;
}

TWCOM_API HRESULT TwBstrToBytes(BSTR text, char* buffer, UINT size, UINT* length) {
  const UINT count = SysStringLen(text);
  // Every character is looked at, with no early exit, so that the compiler
  // checks many at once: this runs for each data block in both directions.
  OLECHAR high = 0;
  for (UINT i = 0; i < count; ++i) high = static_cast<OLECHAR>(high | text[i]);
  if (high > 0xFF) return DISP_E_TYPEMISMATCH;
  if (length != nullptr) *length = count;
  if (buffer == nullptr || size <= count) return E_NOT_SUFFICIENT_BUFFER;
  for (UINT i = 0; i < count; ++i) buffer[i] = static_cast<char>(static_cast<unsigned char>(text[i]));
  buffer[count] = '\0';
  return S_OK;
}

}  // extern "C"
