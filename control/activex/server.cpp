// The library's four entry points: the class factory of the one class it
// serves, whether it may be unloaded, and its registration.
#include <atomic>

#include "control/activex/type_library.h"
#include "control/activex/vokapix.h"
#include "control/activex/vokapix_control.h"
#include "control/component/vokapi.h"
#include "platform/com/twcom.hpp"
#include "platform/com/unknown.hpp"

namespace tw::activex {

namespace {

std::atomic<int> serverLocks{0};

// One factory for the life of the library, made with no reference; what
// counts is whether anybody holds it.
class Factory final : public com::Object<Factory, com::Answer<IClassFactory, IID_IClassFactory>> {
 public:
  Factory() : Object(0) {}
  void Destroy() {}  // static: the last release leaves it in place
  HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override {
    if (ppvObject == nullptr) return E_POINTER;
    *ppvObject = nullptr;
    if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
    return TVOKAPIX::Create(riid, ppvObject);
  }
  HRESULT LockServer(int fLock) override {
    if (fLock != 0) {
      ++serverLocks;
    } else if (serverLocks > 0) {
      --serverLocks;
    }
    return S_OK;
  }
  bool Held() const { return References() > 0; }
};

Factory& TheFactory() {
  static Factory factory;
  return factory;
}

}  // namespace

}  // namespace tw::activex

using tw::activex::TheFactory;

// Pointers where the declaration has references (the same in the ABI), so
// that a caller passing none is told so instead of crashing.
TWCOM_SERVER_ENTRY HRESULT DllGetClassObject(const CLSID* clsid, const IID* riid, void** ppv) noexcept {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (clsid == nullptr || riid == nullptr) return E_INVALIDARG;
  if (*clsid != CLSID_VOKAPIX) return CLASS_E_CLASSNOTAVAILABLE;
  return TheFactory().QueryInterface(*riid, ppv);
}

TWCOM_SERVER_ENTRY HRESULT DllCanUnloadNow() noexcept {
  const bool busy = tw::activex::TVOKAPIX::LiveObjects() > 0 || TheFactory().Held() ||
                    tw::activex::serverLocks > 0 || tw::TVOKAPI::PostedWork() > 0;
  return busy ? S_FALSE : S_OK;
}

TWCOM_SERVER_ENTRY HRESULT DllRegisterServer() noexcept {
  try {
    const std::string path = tw::com::ModulePath(reinterpret_cast<const void*>(&DllRegisterServer));
    if (path.empty()) return E_FAIL;
    tw::com::RegistryUpdate update;
    // Removed first and written again: registering twice equals once.
    update.removeTrees = tw::activex::ServerKeyTrees();
    update.set = tw::activex::ServerEntries(path);
    return SUCCEEDED(tw::com::RegistryApply(update)) ? S_OK : E_FAIL;
  } catch (...) {
    return E_FAIL;
  }
}

TWCOM_SERVER_ENTRY HRESULT DllUnregisterServer() noexcept {
  try {
    tw::com::RegistryUpdate update;
    update.removeTrees = tw::activex::ServerKeyTrees();
    return SUCCEEDED(tw::com::RegistryApply(update)) ? S_OK : E_FAIL;
  } catch (...) {
    return E_FAIL;
  }
}
