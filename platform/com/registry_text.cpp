#include "platform/com/registry_text.h"

#include <algorithm>
#include <utility>

namespace tw::com::detail {
namespace {

unsigned char Fold(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

bool Literal(unsigned char byte) {
  return byte > 0x20 && byte < 0x7F && byte != '%' && byte != '=' && byte != '#';
}

void AppendField(std::string& out, std::string_view field) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < field.size(); ++i) {
    const auto byte = static_cast<unsigned char>(field[i]);
    const bool innerSpace = byte == ' ' && i != 0 && i + 1 != field.size();
    if (Literal(byte) || innerSpace) {
      out.push_back(static_cast<char>(byte));
    } else {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 0x0F]);
    }
  }
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Undoes AppendField; false for a malformed escape or a raw control byte.
// Raw bytes above 0x7F are accepted (a hand-edited UTF-8 file), as is a raw
// '#' or '=' inside a value.
bool DecodeField(std::string_view field, std::string* out) {
  out->clear();
  out->reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    const auto byte = static_cast<unsigned char>(field[i]);
    if (byte == '%') {
      if (i + 2 >= field.size()) return false;
      const int high = HexValue(field[i + 1]);
      const int low = HexValue(field[i + 2]);
      if (high < 0 || low < 0) return false;
      out->push_back(static_cast<char>(high * 16 + low));
      i += 2;
    } else if (byte < 0x20 || byte == 0x7F) {
      return false;
    } else {
      out->push_back(static_cast<char>(byte));
    }
  }
  return true;
}

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// False for a malformed line; blank and comment lines are handled before.
bool DecodeLine(std::string_view line, std::string* key, std::string* value) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return false;
  if (!DecodeField(Trim(line.substr(0, equals)), key) || key->empty() || key->size() > kMaxKeyBytes) return false;
  return DecodeField(Trim(line.substr(equals + 1)), value);
}

}  // namespace

int CompareKeys(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char x = Fold(a[i]);
    const unsigned char y = Fold(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

bool KeyHasPrefix(std::string_view key, std::string_view prefix) {
  return key.size() >= prefix.size() && CompareKeys(key.substr(0, prefix.size()), prefix) == 0;
}

bool KeyInTree(std::string_view key, std::string_view tree) {
  if (!KeyHasPrefix(key, tree)) return false;
  return key.size() == tree.size() || key[tree.size()] == '\\';
}

std::string EncodeLine(std::string_view key, std::string_view value) {
  std::string line;
  line.reserve(key.size() + value.size() + 4);
  AppendField(line, key);
  line += " = ";
  AppendField(line, value);
  return line;
}

std::string EncodeRegistry(const RegistryMap& entries) {
  std::string text =
      "# Tidewire COM registry, written by the runtime (libtwcom) and tw-regsvr.\n"
      "# One \"key = value\" per line; a byte outside printable ASCII, '%', '=', '#'\n"
      "# and a space at either end are written as %HH.\n";
  for (const auto& [key, value] : entries) {
    text += EncodeLine(key, value);
    text += '\n';
  }
  return text;
}

std::size_t DecodeRegistry(std::string_view text, RegistryMap* entries) {
  std::size_t skipped = 0;
  std::string key;
  std::string value;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    const std::string_view content = Trim(line);
    if (content.empty() || content.front() == '#') continue;
    if (line.size() > kMaxLineBytes || !DecodeLine(content, &key, &value)) {
      ++skipped;
      continue;
    }
    // The key keeps the spelling of its latest line.
    entries->erase(key);
    entries->emplace(key, value);
  }
  return skipped;
}

bool ValidProgId(std::string_view progid) {
  if (progid.empty() || progid.size() > 255) return false;
  return std::all_of(progid.begin(), progid.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '-';
  });
}

bool ParseClassManifest(std::string_view text, ClassManifest* manifest) {
  if (text.size() > kMaxManifestBytes) return false;
  ClassManifest result;
  bool haveClsid = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == '#') continue;
    const std::size_t blank = line.find_first_of(" \t");
    const std::string_view keyword = line.substr(0, blank);
    const std::string_view argument = blank == std::string_view::npos ? std::string_view{} : Trim(line.substr(blank));
    if (std::any_of(argument.begin(), argument.end(), [](char c) {
          const auto byte = static_cast<unsigned char>(c);
          return byte < 0x20 || byte == 0x7F;
        })) {
      return false;
    }
    if (keyword == "clsid") {
      const std::string terminated(argument);
      if (argument.size() != TW_GUID_STRING_SIZE - 1 || TwGuidFromString(terminated.c_str(), &result.clsid) != S_OK) {
        return false;
      }
      haveClsid = true;
    } else if (keyword == "progid") {
      if (!ValidProgId(argument)) return false;
      result.progid = argument;
    } else if (keyword == "library") {
      if (argument.empty() || argument == "." || argument == ".." || argument.find('/') != std::string_view::npos) {
        return false;
      }
      result.library = argument;
    } else if (keyword == "threading") {
      result.threading = argument;
    }
  }
  if (!haveClsid || result.library.empty()) return false;
  *manifest = std::move(result);
  return true;
}

}  // namespace tw::com::detail
