// Creation by class id and ProgID: registry or side-by-side manifest ->
// dlopen (once per library) -> DllGetClassObject -> IClassFactory.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/com/registry_text.h"
#include "platform/com/runtime.h"
#include "platform/com/twcom.hpp"

namespace tw::com::detail {
namespace {

// Under AddressSanitizer libraries stay mapped after dlclose, so that leak
// reports made at exit can still name their functions. The runtime's own
// bookkeeping (and DllCanUnloadNow) is the same either way.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;
#else
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL;
#endif
#else
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL;
#endif

struct Library {
  void* handle = nullptr;
  std::string path;
  int source = 0;
  LPFNGETCLASSOBJECT getClassObject = nullptr;
  LPFNCANUNLOADNOW canUnloadNow = nullptr;
  int busy = 0;             // calls into it under way (DllGetClassObject, DllCanUnloadNow)
  unsigned long uses = 0;   // acquisitions so far: a change means "asked too early"
};

struct State {
  std::mutex mutex;
  std::vector<std::unique_ptr<Library>> libraries;
  TW_ACTIVATION_HOOK hook = nullptr;
  void* hookContext = nullptr;
};

// Never destroyed: libraries stay loaded at exit, as the system's would.
State& Shared() {
  static auto* state = new State;
  return *state;
}

void Report(const TW_ACTIVATION_INFO& info) {
  TW_ACTIVATION_HOOK hook;
  void* context;
  {
    std::lock_guard<std::mutex> lock(Shared().mutex);
    hook = Shared().hook;
    context = Shared().hookContext;
  }
  if (hook != nullptr) hook(context, &info);
}

template <class Function>
Function Symbol(void* handle, const char* name) {
  void* address = ::dlsym(handle, name);
  Function function = nullptr;
  static_assert(sizeof function == sizeof address);
  std::memcpy(&function, &address, sizeof function);
  return function;
}

// Where a class was found.
struct Location {
  int source = 0;
  std::string library;
  std::string manifest;
};

std::string ExecutableDirectory() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  std::string text(path, static_cast<std::size_t>(length));
  const std::size_t slash = text.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : text.substr(0, slash);
}

bool ReadSmallFile(const std::string& path, std::string* text) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
            static_cast<std::size_t>(info.st_size) <= kMaxManifestBytes;
  if (ok) {
    text->assign(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t done = 0;
    while (ok && done < text->size()) {
      const ssize_t got = ::read(fd, text->data() + done, text->size() - done);
      if (got > 0) {
        done += static_cast<std::size_t>(got);
      } else if (got == 0) {
        text->resize(done);
        break;
      } else if (errno != EINTR) {
        ok = false;
      }
    }
  }
  ::close(fd);
  return ok;
}

// The first valid manifest beside the executable (by file name order) that
// `match` accepts.
bool FindManifest(const std::function<bool(const ClassManifest&)>& match, ClassManifest* found,
                  std::string* manifestPath, std::string* directory) {
  *directory = ExecutableDirectory();
  if (directory->empty()) return false;
  DIR* listing = ::opendir(directory->c_str());
  if (listing == nullptr) return false;
  static constexpr std::string_view kSuffix = ".comclass";
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string_view name = entry->d_name;
    if (name.size() > kSuffix.size() && name.substr(name.size() - kSuffix.size()) == kSuffix) {
      names.emplace_back(name);
    }
  }
  ::closedir(listing);
  std::sort(names.begin(), names.end());
  for (const auto& name : names) {
    const std::string path = *directory + "/" + name;
    std::string text;
    ClassManifest manifest;
    if (ReadSmallFile(path, &text) && ParseClassManifest(text, &manifest) && match(manifest)) {
      *found = std::move(manifest);
      *manifestPath = path;
      return true;
    }
  }
  return false;
}

bool Locate(const CLSID& clsid, Location* location) {
  std::string library;
  // An unreadable registry counts as empty: side by side still works.
  if (RegistryRead(InprocServerKey(clsid), &library) == S_OK && !library.empty()) {
    location->source = TW_SOURCE_REGISTRY;
    location->library = library;
    return true;
  }
  ClassManifest manifest;
  std::string directory;
  if (FindManifest([&](const ClassManifest& m) { return IsEqualGUID(m.clsid, clsid); }, &manifest,
                   &location->manifest, &directory)) {
    location->source = TW_SOURCE_SIDE_BY_SIDE;
    location->library = (directory == "/" ? "" : directory) + "/" + manifest.library;
    return true;
  }
  return false;
}

// Finds or loads the library and marks it busy; the caller calls Done().
HRESULT Acquire(const Location& location, Library** acquired, std::string* detail) {
  ::dlerror();
  void* handle = ::dlopen(location.library.c_str(), kOpenFlags);
  if (handle == nullptr) {
    const char* message = ::dlerror();
    *detail = message != nullptr ? message : "cannot load " + location.library;
    return CO_E_DLLNOTFOUND;
  }
  const auto adopt = [&]() -> Library* {
    for (auto& library : Shared().libraries) {
      if (library->handle == handle) {
        ++library->busy;
        ++library->uses;
        return library.get();
      }
    }
    return nullptr;
  };
  {
    std::unique_lock<std::mutex> lock(Shared().mutex);
    if (Library* known = adopt()) {
      lock.unlock();
      ::dlclose(handle);  // the table's own reference keeps it loaded
      *acquired = known;
      return S_OK;
    }
  }
  auto fresh = std::make_unique<Library>();
  fresh->handle = handle;
  fresh->path = location.library;
  fresh->source = location.source;
  fresh->getClassObject = Symbol<LPFNGETCLASSOBJECT>(handle, "DllGetClassObject");
  fresh->canUnloadNow = Symbol<LPFNCANUNLOADNOW>(handle, "DllCanUnloadNow");
  if (fresh->getClassObject == nullptr) {
    *detail = location.library + " does not export DllGetClassObject";
    ::dlclose(handle);
    return CO_E_ERRORINDLL;
  }
  std::unique_lock<std::mutex> lock(Shared().mutex);
  if (Library* known = adopt()) {  // another thread loaded it meanwhile
    lock.unlock();
    ::dlclose(handle);
    *acquired = known;
    return S_OK;
  }
  fresh->busy = 1;
  fresh->uses = 1;
  *acquired = fresh.get();
  Shared().libraries.push_back(std::move(fresh));
  return S_OK;
}

void Done(Library* library) {
  std::lock_guard<std::mutex> lock(Shared().mutex);
  --library->busy;
}

}  // namespace
}  // namespace tw::com::detail

namespace tw::com {

TWCOM_API std::string ModulePath(const void* address) {
  Dl_info info{};
  if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr || info.dli_fname[0] == '\0') return {};
  char resolved[PATH_MAX];
  if (::realpath(info.dli_fname, resolved) == nullptr) return {};
  return resolved;
}

}  // namespace tw::com

extern "C" {

TWCOM_API HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsContext, void* serverInfo, REFIID riid, void** ppv) {
  using namespace tw::com::detail;
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (serverInfo != nullptr) return E_INVALIDARG;
  if (!ApartmentReady()) return CO_E_NOTINITIALIZED;
  if ((clsContext & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
  try {
    Location location;
    if (!Locate(clsid, &location)) return REGDB_E_CLASSNOTREG;
    Library* library = nullptr;
    std::string detail;
    HRESULT hr = Acquire(location, &library, &detail);
    if (SUCCEEDED(hr)) {
      try {
        hr = library->getClassObject(clsid, riid, ppv);
      } catch (...) {
        hr = E_UNEXPECTED;
      }
      Done(library);
      // A server that breaks the out-pointer rule gets no trust.
      if (FAILED(hr)) {
        *ppv = nullptr;
      } else if (*ppv == nullptr) {
        hr = E_UNEXPECTED;
      }
    }
    TW_ACTIVATION_INFO info{};
    info.event = TW_ACTIVATION_CLASS_OBJECT;
    info.source = location.source;
    info.clsid = clsid;
    info.library = location.library.c_str();
    info.manifest = location.manifest.empty() ? nullptr : location.manifest.c_str();
    info.result = hr;
    info.detail = detail.empty() ? nullptr : detail.c_str();
    Report(info);
    return hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

TWCOM_API HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsContext, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(clsid, clsContext, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(outer, riid, ppv);
  factory->Release();
  if (FAILED(hr)) {
    *ppv = nullptr;
  } else if (*ppv == nullptr) {
    hr = E_UNEXPECTED;
  }
  return hr;
}

TWCOM_API HRESULT CLSIDFromProgID(LPCOLESTR progid, CLSID* clsid) {
  using namespace tw::com::detail;
  if (progid == nullptr) return E_INVALIDARG;
  if (clsid == nullptr) return E_POINTER;
  try {
    std::string narrow;
    for (std::size_t i = 0; progid[i] != 0; ++i) {
      if (i >= 256 || progid[i] > 0x7F) return CO_E_CLASSSTRING;
      narrow.push_back(static_cast<char>(progid[i]));
    }
    if (!ValidProgId(narrow)) return CO_E_CLASSSTRING;
    std::string text;
    if (tw::com::RegistryRead(tw::com::ProgIdClassKey(narrow), &text) == S_OK) {
      return tw::com::GuidFromString(text, clsid) ? S_OK : CO_E_CLASSSTRING;
    }
    ClassManifest manifest;
    std::string manifestPath;
    std::string directory;
    if (FindManifest([&](const ClassManifest& m) { return CompareKeys(m.progid, narrow) == 0; }, &manifest,
                     &manifestPath, &directory)) {
      *clsid = manifest.clsid;
      return S_OK;
    }
    return CO_E_CLASSSTRING;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

TWCOM_API void CoFreeUnusedLibraries(void) {
  using namespace tw::com::detail;
  struct Candidate {
    Library* library;
    unsigned long uses;
  };
  std::vector<Candidate> candidates;
  try {
    std::lock_guard<std::mutex> lock(Shared().mutex);
    for (auto& library : Shared().libraries) {
      if (library->busy == 0 && library->canUnloadNow != nullptr) {
        ++library->busy;
        candidates.push_back({library.get(), library->uses});
      }
    }
  } catch (const std::bad_alloc&) {
    return;
  }
  for (const Candidate& candidate : candidates) {
    HRESULT answer;
    try {
      answer = candidate.library->canUnloadNow();
    } catch (...) {
      answer = S_FALSE;
    }
    std::unique_ptr<Library> unloaded;
    {
      std::lock_guard<std::mutex> lock(Shared().mutex);
      Library* library = candidate.library;
      --library->busy;
      // Unloaded only if nobody acquired it since it was asked.
      if (answer == S_OK && library->busy == 0 && library->uses == candidate.uses) {
        auto& libraries = Shared().libraries;
        const auto found = std::find_if(libraries.begin(), libraries.end(),
                                        [&](const auto& entry) { return entry.get() == library; });
        unloaded = std::move(*found);
        libraries.erase(found);
      }
    }
    if (unloaded) {
      ::dlclose(unloaded->handle);
      TW_ACTIVATION_INFO info{};
      info.event = TW_ACTIVATION_UNLOADED;
      info.source = unloaded->source;
      info.clsid = GUID_NULL;
      info.library = unloaded->path.c_str();
      info.result = S_OK;
      Report(info);
    }
  }
}

TWCOM_API void TwSetActivationHook(TW_ACTIVATION_HOOK hook, void* context) {
  using namespace tw::com::detail;
  std::lock_guard<std::mutex> lock(Shared().mutex);
  Shared().hook = hook;
  Shared().hookContext = context;
}

}  // extern "C"
