// tw-regsvr: calls an in-process server's DllRegisterServer or
// DllUnregisterServer, or shows what the registry holds.
#include <dlfcn.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/twcom.hpp"

namespace {

constexpr const char* kUsage =
    "Usage: tw-regsvr register <library>     call the library's DllRegisterServer\n"
    "       tw-regsvr unregister <library>   call the library's DllUnregisterServer\n"
    "       tw-regsvr show [prefix]          list the registry's keys and values (under prefix)\n"
    "The registry is the file named by TIDEWIRE_COM_REGISTRY, else\n"
    "$XDG_DATA_HOME/tidewire/com-registry, else ~/.local/share/tidewire/com-registry.\n";

std::string Describe(HRESULT hr) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
  const char* name = TwHresultName(hr);
  return name != nullptr ? std::string(code) + " (" + name + ")" : std::string(code);
}

// Bytes outside printable ASCII as \xHH, for the terminal.
std::string Printable(std::string_view bytes) {
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      text.push_back(c);
    } else {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      text += escape;
    }
  }
  return text;
}

int CallServer(const char* library, const char* entryName) {
  char resolved[PATH_MAX];
  if (::realpath(library, resolved) == nullptr) {
    std::fprintf(stderr, "tw-regsvr: %s: %s\n", library, std::strerror(errno));
    return 1;
  }
  void* handle = ::dlopen(resolved, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = ::dlerror();
    std::fprintf(stderr, "tw-regsvr: cannot load %s: %s\n", resolved, why != nullptr ? why : "unknown error");
    return 1;
  }
  void* address = ::dlsym(handle, entryName);
  if (address == nullptr) {
    std::fprintf(stderr, "tw-regsvr: %s does not export %s; is it an in-process COM server?\n", resolved,
                 entryName);
    return 1;
  }
  LPFNREGISTERSERVER entry;
  std::memcpy(&entry, &address, sizeof entry);
  // As the platform's tool does, the server runs inside an apartment.
  const HRESULT entered = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const HRESULT hr = entry();
  if (SUCCEEDED(entered)) CoUninitialize();
  const std::string registry = tw::com::RegistryPath();
  if (FAILED(hr)) {
    std::fprintf(stderr, "tw-regsvr: %s in %s failed: %s\n  registry: %s\n", entryName, resolved,
                 Describe(hr).c_str(), registry.c_str());
    return 1;
  }
  std::printf("%s in %s succeeded.\n  registry: %s\n", entryName, resolved, registry.c_str());
  return 0;
}

int Show(std::string_view prefix) {
  const std::string registry = tw::com::RegistryPath();
  std::vector<tw::com::RegistryEntry> entries;
  const HRESULT hr = tw::com::RegistryList(prefix, &entries);
  if (FAILED(hr)) {
    std::fprintf(stderr, "tw-regsvr: cannot read the registry %s: %s\n",
                 registry.empty() ? "(no home directory)" : registry.c_str(), Describe(hr).c_str());
    return 1;
  }
  std::printf("Registry: %s\n", registry.c_str());
  for (const auto& entry : entries) {
    std::printf("%s = %s\n", Printable(entry.key).c_str(), Printable(entry.value).c_str());
  }
  if (entries.empty() && prefix.empty()) std::printf("(empty)\n");
  if (entries.empty() && !prefix.empty()) std::printf("(nothing under %s)\n", Printable(prefix).c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (args.size() == 2 && args[0] == "register") return CallServer(argv[2], "DllRegisterServer");
  if (args.size() == 2 && args[0] == "unregister") return CallServer(argv[2], "DllUnregisterServer");
  if (!args.empty() && args.size() <= 2 && args[0] == "show") return Show(args.size() == 2 ? args[1] : "");
  std::fputs(kUsage, stderr);
  return 1;
}
