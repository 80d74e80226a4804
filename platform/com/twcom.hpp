// The COM runtime's C++ side: the calling thread's event loop, byte strings
// <-> BSTR, small owning wrappers, creation by ProgID, the registry file, and
// the key names the runtime reads. Everything here but CurrentLoop,
// ModulePath and the Registry* functions is inline over the C API of
// twcom.h.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/com/twcom.h"

namespace tw {
class EventLoop;
}

namespace tw::com {

// ------------------------------------------------------------- apartment

// The calling thread's event loop (sockets, timers, Post), or nullptr
// outside an apartment. It lives until the thread's last CoUninitialize;
// everything made from it must be destroyed before that.
TWCOM_API tw::EventLoop* CurrentLoop() noexcept;

// True when the caller runs in apartment `owner` (see TwCheckApartment).
inline bool InApartment(TW_APARTMENT owner) noexcept { return TwCheckApartment(owner) == S_OK; }

// Runs `task` on `apartment`'s thread (TwApartmentPost). When the apartment
// ends first, the task is destroyed unrun on the ending thread.
inline HRESULT PostToApartment(TW_APARTMENT apartment, std::function<void()> task) {
  auto* boxed = new (std::nothrow) std::function<void()>(std::move(task));
  if (boxed == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = TwApartmentPost(
      apartment,
      [](void* context) {
        std::unique_ptr<std::function<void()>> owned(static_cast<std::function<void()>*>(context));
        (*owned)();
      },
      [](void* context) { delete static_cast<std::function<void()>*>(context); }, boxed);
  if (FAILED(hr)) delete boxed;
  return hr;
}

// TwLoopRunUntil with a predicate: S_OK when `done()` held, S_FALSE on
// timeout or stop, CO_E_NOTINITIALIZED outside an apartment.
inline HRESULT RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const long long ms = std::clamp<long long>(timeout.count(), 0, 0xFFFFFFFF);
  return TwLoopRunUntil(
      [](void* context) -> int { return (*static_cast<const std::function<bool()>*>(context))() ? 1 : 0; },
      const_cast<std::function<bool()>*>(&done), static_cast<DWORD>(ms));
}

// ----------------------------------------------------------- byte strings

// A new BSTR holding `bytes` by the ISO-8859-1 mapping (byte b -> U+00b),
// NUL included; nullptr only when out of memory.
inline BSTR BstrFromBytes(std::string_view bytes) noexcept {
  if (bytes.size() > 0x7FFFFFF0u) return nullptr;
  return TwBstrFromBytes(bytes.data(), static_cast<UINT>(bytes.size()));
}

// The bytes of `text` (U+00b -> byte b); a null BSTR reads as empty. False,
// with `*bytes` unchanged, when a character is above U+00FF (the caller
// answers DISP_E_TYPEMISMATCH).
inline bool BytesFromBstr(BSTR text, std::string* bytes) {
  const UINT length = SysStringLen(text);
  std::string result(length, '\0');
  UINT written = 0;
  if (TwBstrToBytes(text, result.data(), length + 1, &written) != S_OK) return false;
  *bytes = std::move(result);
  return true;
}

// An owned BSTR: freed with SysFreeString. Move-only.
class Bstr {
 public:
  Bstr() = default;
  static Bstr Adopt(BSTR owned) noexcept { return Bstr(owned); }
  static Bstr FromBytes(std::string_view bytes) noexcept { return Bstr(BstrFromBytes(bytes)); }
  ~Bstr() { SysFreeString(text_); }
  Bstr(Bstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
  Bstr& operator=(Bstr&& other) noexcept {
    if (this != &other) {
      SysFreeString(text_);
      text_ = std::exchange(other.text_, nullptr);
    }
    return *this;
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;

  BSTR Get() const noexcept { return text_; }
  // Frees the current string and gives its slot, for an out parameter.
  BSTR* Put() noexcept {
    SysFreeString(text_);
    text_ = nullptr;
    return &text_;
  }
  // Gives up ownership.
  BSTR Detach() noexcept { return std::exchange(text_, nullptr); }
  UINT Length() const noexcept { return SysStringLen(text_); }
  bool ToBytes(std::string* bytes) const { return BytesFromBstr(text_, bytes); }

 private:
  explicit Bstr(BSTR owned) noexcept : text_(owned) {}
  BSTR text_ = nullptr;
};

// ----------------------------------------------------------- interfaces

// An owned interface reference: Release on destruction. Construction from a
// raw pointer takes a new reference (AddRef); Attach adopts one.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) noexcept {}
  explicit ComPtr(T* pointer) noexcept : p_(pointer) {
    if (p_ != nullptr) p_->AddRef();
  }
  ComPtr(const ComPtr& other) noexcept : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ~ComPtr() { Reset(); }
  ComPtr& operator=(const ComPtr& other) noexcept {
    ComPtr(other).Swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    ComPtr(std::move(other)).Swap(*this);
    return *this;
  }

  T* Get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  void Reset() noexcept {
    if (T* old = std::exchange(p_, nullptr)) old->Release();
  }
  // Adopts a reference the caller owns.
  void Attach(T* owned) noexcept {
    Reset();
    p_ = owned;
  }
  T* Detach() noexcept { return std::exchange(p_, nullptr); }
  // Releases the current reference and gives the slot, for an out parameter.
  T** Put() noexcept {
    Reset();
    return &p_;
  }
  void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }
  void Swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

  // QueryInterface into another ComPtr.
  template <class U>
  HRESULT As(REFIID iid, ComPtr<U>* out) const noexcept {
    if (p_ == nullptr) return E_POINTER;
    return p_->QueryInterface(iid, out->PutVoid());
  }

 private:
  T* p_ = nullptr;
};

// ---------------------------------------------------------------- GUIDs

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
inline std::string GuidToString(const GUID& guid) {
  char text[TW_GUID_STRING_SIZE];
  TwGuidToString(guid, text, sizeof text);
  return std::string(text, TW_GUID_STRING_SIZE - 1);
}

// False (and `*guid` unchanged) unless `text` is a braced GUID.
inline bool GuidFromString(std::string_view text, GUID* guid) {
  if (text.size() != TW_GUID_STRING_SIZE - 1) return false;
  const std::string terminated(text);
  return TwGuidFromString(terminated.c_str(), guid) == S_OK;
}

// ------------------------------------------------------------- creation

// CLSIDFromProgID with an 8-bit ProgID (bytes above 0x7F are refused like
// any other invalid character: CO_E_CLASSSTRING).
inline HRESULT ClsidFromProgId(std::string_view progid, CLSID* clsid) {
  std::u16string wide;
  wide.reserve(progid.size());
  for (const char c : progid) wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return CLSIDFromProgID(wide.c_str(), clsid);
}

// Creates an instance of the class registered (or installed side by side)
// under `progid`, asked for `iid`, in-process, without aggregation.
inline HRESULT CreateInstanceByProgId(std::string_view progid, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  CLSID clsid;
  const HRESULT hr = ClsidFromProgId(progid, &clsid);
  if (FAILED(hr)) return hr;
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object);
}

// The absolute path of the loaded module (library or executable) that holds
// `address`, e.g. the address of the server's own DllRegisterServer; empty
// when it cannot be found.
TWCOM_API std::string ModulePath(const void* address);

// -------------------------------------------------------------- registry
// Keys and values are byte strings (any byte, NUL included); keys are
// compared without regard to ASCII case. The file is read whole on each call
// (no caching), so other processes' changes are seen at once.

// The key names the runtime reads.
inline std::string ClassKey(const CLSID& clsid) { return "CLSID\\" + GuidToString(clsid); }
inline std::string InprocServerKey(const CLSID& clsid) { return ClassKey(clsid) + "\\InprocServer32"; }
inline std::string ProgIdClassKey(std::string_view progid) { return std::string(progid) + "\\CLSID"; }

struct RegistryEntry {
  std::string key;
  std::string value;
  friend bool operator==(const RegistryEntry&, const RegistryEntry&) = default;
};

// One transaction: first every key in `removeTrees` is removed with the keys
// below it (key, and every key beginning with key + '\'), then every entry
// of `set` is written (a later one of the same key wins).
struct RegistryUpdate {
  std::vector<std::string> removeTrees;
  std::vector<RegistryEntry> set;
};

// The registry file in use (TIDEWIRE_COM_REGISTRY, else the XDG default);
// empty when no home directory can be found.
TWCOM_API std::string RegistryPath();

// The value of `key`: S_OK; S_FALSE when it is not there (or the file does
// not exist yet), `*value` unchanged; E_POINTER for a null `value`; E_FAIL
// when the file cannot be read (e.g. its path goes through a regular file).
TWCOM_API HRESULT RegistryRead(std::string_view key, std::string* value);

// The entries whose key begins with `prefix` (all for ""), sorted by key
// without regard to case: S_OK (possibly none); E_POINTER; E_FAIL as above.
TWCOM_API HRESULT RegistryList(std::string_view prefix, std::vector<RegistryEntry>* entries);

// Applies `update` as one transaction under the registry's file lock (flock
// on "<file>.lock"): the new content is written to a temporary file beside
// it, flushed (fsync) and renamed over it, so the change happens completely
// or not at all. Missing directories are created. S_OK; E_INVALIDARG (and
// nothing changed) for an empty key, or a key or value too long to be read
// back (key over 4 KiB, line over 1 MiB encoded); E_FAIL (and nothing
// changed) when the file cannot be read, locked or written. Lines of the old
// file that could not be read are dropped by the rewrite.
TWCOM_API HRESULT RegistryApply(const RegistryUpdate& update);

}  // namespace tw::com
