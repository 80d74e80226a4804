// The text forms the runtime reads and writes, apart from any I/O: the
// registry file's lines and the side-by-side class manifests. Internal to
// libtwcom (hidden); the tests link it directly.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

#include "platform/com/twcom.h"

namespace tw::com::detail {

// Registry keys compare without regard to ASCII case.
int CompareKeys(std::string_view a, std::string_view b);
bool KeyHasPrefix(std::string_view key, std::string_view prefix);
// `key` is `tree` or lies below it (begins with tree + '\').
bool KeyInTree(std::string_view key, std::string_view tree);

struct KeyLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return CompareKeys(a, b) < 0; }
};
using RegistryMap = std::map<std::string, std::string, KeyLess>;

// Limits that keep a hostile file from costing more than a bounded amount:
// longer lines are skipped, a longer file is read up to its last line
// within the limit.
inline constexpr std::size_t kMaxKeyBytes = 4096;
inline constexpr std::size_t kMaxLineBytes = std::size_t{1} << 20;
inline constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;

// One line: key " = " value, each percent-encoded ("%HH") where a byte is
// not printable ASCII, is '%', '=' or '#', or is a space at either end.
std::string EncodeLine(std::string_view key, std::string_view value);
// The whole file: a comment header, then one line per entry.
std::string EncodeRegistry(const RegistryMap& entries);
// Adds the entries of `text` (a later line of the same key wins) and
// returns how many non-blank, non-comment lines it skipped as unreadable.
std::size_t DecodeRegistry(std::string_view text, RegistryMap* entries);

// A side-by-side class manifest ("name.comclass").
struct ClassManifest {
  CLSID clsid{};
  std::string progid;     // may be empty
  std::string library;    // a plain file name
  std::string threading;  // as written; may be empty
};
inline constexpr std::size_t kMaxManifestBytes = 64 * 1024;
// True when `text` names a valid class id and library (a file name without
// '/', not "." or ".."), and a valid ProgID if any; unknown keywords are
// ignored, anything else malformed makes it false.
bool ParseClassManifest(std::string_view text, ClassManifest* manifest);

// ASCII letters, digits, '.', '_' and '-'; 1 to 255 characters.
bool ValidProgId(std::string_view progid);

}  // namespace tw::com::detail
