#include "bridge/app/hresult_text.h"

#include <cstdint>
#include <cstdio>

namespace tw {

std::string HresultText(HRESULT hr) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(static_cast<std::uint32_t>(hr)));
  const char* name = TwHresultName(hr);
  return name != nullptr ? std::string(name) + " (" + hex + ")" : std::string(hex);
}

}  // namespace tw
