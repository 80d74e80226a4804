#include "bridge/engine_settings.h"

#include <array>

namespace tw {

std::string_view EngineSetting(std::string_view word) {
#define TW_NAME(name) std::string_view(#name),
  static constexpr std::array kNames{TW_ENGINE_SETTINGS(TW_NAME)};
#undef TW_NAME
  for (std::string_view name : kNames) {
    if (word == name) return name;
  }
  return {};
}

}  // namespace tw
