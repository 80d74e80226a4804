// Scoped environment for the runtime's tests: a private registry file, an
// apartment, a record of the activation hook, and property calls by
// IDispatch::Invoke.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/com/twcom.hpp"
#include "tests/com/test_server.h"

namespace tw::com::testing {

// Sets an environment variable for the scope, then puts back what was there.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// A fresh directory for the test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "twcom-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// The registry is a file of this test's own (which does not exist yet).
class ScopedRegistry {
 public:
  ScopedRegistry() : file_(dir_.Path() + "/com-registry"), env_("TIDEWIRE_COM_REGISTRY", file_.c_str()) {}
  const std::string& File() const { return file_; }
  const std::string& Dir() const { return dir_.Path(); }

 private:
  TempDir dir_;
  std::string file_;
  ScopedEnv env_;
};

// An object that only counts its references (it lives on the stack).
struct Counted final : public IDispatch {
  ULONG refs = 1;
  HRESULT QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }
};

class ScopedApartment {
 public:
  ScopedApartment() { EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK); }
  ~ScopedApartment() { CoUninitialize(); }
  ScopedApartment(const ScopedApartment&) = delete;
  ScopedApartment& operator=(const ScopedApartment&) = delete;
};

struct ActivationEvent {
  int event;
  int source;
  CLSID clsid;
  std::string library;
  std::string manifest;
  HRESULT result;
  std::string detail;
};

// Records what the activation hook reports while it lives.
class ActivationLog {
 public:
  ActivationLog() { TwSetActivationHook(&ActivationLog::Hook, this); }
  ~ActivationLog() { TwSetActivationHook(nullptr, nullptr); }
  ActivationLog(const ActivationLog&) = delete;
  ActivationLog& operator=(const ActivationLog&) = delete;

  std::vector<ActivationEvent> events;

  // Events of this kind about this library file.
  int Count(int event, const std::string& library) const {
    int n = 0;
    std::error_code ignored;
    for (const auto& e : events) n += e.event == event && std::filesystem::equivalent(e.library, library, ignored);
    return n;
  }

 private:
  static void Hook(void* context, const TW_ACTIVATION_INFO* info) {
    static_cast<ActivationLog*>(context)->events.push_back(
        {info->event, info->source, info->clsid, info->library != nullptr ? info->library : "",
         info->manifest != nullptr ? info->manifest : "", info->result, info->detail != nullptr ? info->detail : ""});
  }
};

// Value (DISPID 1) of an object, by Invoke.
inline HRESULT PutValue(IDispatch* object, LONG value) {
  VARIANT argument;
  VariantInit(&argument);
  argument.vt = VT_I4;
  argument.lVal = value;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&argument, &named, 1, 1};
  return object->Invoke(kTestValueDispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                        nullptr, nullptr);
}

inline HRESULT GetValue(IDispatch* object, LONG* value) {
  VARIANT result;
  VariantInit(&result);
  DISPPARAMS params{nullptr, nullptr, 0, 0};
  const HRESULT hr = object->Invoke(kTestValueDispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &params,
                                    &result, nullptr, nullptr);
  if (SUCCEEDED(hr)) *value = result.vt == VT_I4 ? result.lVal : -999;
  VariantClear(&result);
  return hr;
}

}  // namespace tw::com::testing
