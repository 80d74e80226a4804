// The control's type library as data, and the registry entries that make
// the library an in-process server for the control: class id, ProgID,
// threading model, control flag, toolbox bitmap, and the type library's
// description (interfaces and their members with DISPIDs), which the
// registration tool shows.
#pragma once

#include <string>
#include <vector>

#include "platform/com/twcom.hpp"

namespace tw::activex {

inline constexpr const char* kLibraryName = "VOKAPIXControl";
inline constexpr const char* kLibraryHelp = "VOKAPIXControl Library";
inline constexpr const char* kClassHelp = "VOKAPIX Control";
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 0;

// The keys this server owns; unregistering removes exactly these trees.
std::vector<std::string> ServerKeyTrees();

// Everything registration writes, for a library at `modulePath`.
std::vector<com::RegistryEntry> ServerEntries(const std::string& modulePath);

}  // namespace tw::activex
