// Creation by class id and ProgID through the registry and side by side,
// its error codes, unloading, and the apartment check of created objects.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "tests/com/com_test_support.h"

namespace tw::com::testing {
namespace {

constexpr CLSID kOtherClsid = {0x0BADC0DE, 0x0000, 0x4000, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}};

void RegisterLibrary(const CLSID& clsid, const std::string& library) {
  ASSERT_EQ(RegistryApply({{}, {{InprocServerKey(clsid), library}}}), S_OK);
}

class ActivationTest : public ::testing::Test {
 protected:
  ScopedRegistry registry_;
  ScopedApartment apartment_;
  ActivationLog log_;
};

TEST_F(ActivationTest, CreationErrorsAreDefinedCodes) {
  const std::string textFile = registry_.Dir() + "/not-a-library.so";
  std::ofstream(textFile) << "plain text\n";
  Counted outer;
  const struct {
    const char* what;
    std::function<void()> setUp;
    CLSID clsid;
    DWORD context;
    IUnknown* outer;
    const IID* iid;
    HRESULT expected;
  } table[] = {
      {"registered nowhere", [] {}, kOtherClsid, CLSCTX_INPROC_SERVER, nullptr, &IID_IDispatch, REGDB_E_CLASSNOTREG},
      {"no in-process context", [] {}, kTestClsid, CLSCTX_LOCAL_SERVER, nullptr, &IID_IDispatch,
       REGDB_E_CLASSNOTREG},
      {"library missing", [] { RegisterLibrary(kOtherClsid, "/nonexistent/libnothing.so"); }, kOtherClsid,
       CLSCTX_ALL, nullptr, &IID_IDispatch, CO_E_DLLNOTFOUND},
      {"not a library", [&] { RegisterLibrary(kOtherClsid, textFile); }, kOtherClsid, CLSCTX_ALL, nullptr,
       &IID_IDispatch, CO_E_DLLNOTFOUND},
      {"no DllGetClassObject", [] { RegisterLibrary(kOtherClsid, TW_TWCOM_LIBRARY); }, kOtherClsid, CLSCTX_ALL,
       nullptr, &IID_IDispatch, CO_E_ERRORINDLL},
      {"server lacks the class", [] { RegisterLibrary(kOtherClsid, TW_TEST_SERVER); }, kOtherClsid, CLSCTX_ALL,
       nullptr, &IID_IDispatch, CLASS_E_CLASSNOTAVAILABLE},
      {"aggregation", [] {}, kTestClsid, CLSCTX_ALL, &outer, &IID_IDispatch, CLASS_E_NOAGGREGATION},
      {"unknown interface", [] {}, kTestClsid, CLSCTX_ALL, nullptr, &IID_IConnectionPoint, E_NOINTERFACE},
  };
  for (const auto& row : table) {
    row.setUp();
    int dummy = 0;
    void* object = &dummy;
    EXPECT_EQ(CoCreateInstance(row.clsid, row.outer, row.context, *row.iid, &object), row.expected) << row.what;
    EXPECT_EQ(object, nullptr) << row.what;
  }
  EXPECT_EQ(CoCreateInstance(kTestClsid, nullptr, CLSCTX_ALL, IID_IDispatch, nullptr), E_POINTER);
  EXPECT_EQ(CoGetClassObject(kTestClsid, CLSCTX_ALL, nullptr, IID_IClassFactory, nullptr), E_POINTER);
  int dummy = 0;
  void* object = nullptr;
  EXPECT_EQ(CoGetClassObject(kTestClsid, CLSCTX_ALL, &dummy, IID_IClassFactory, &object), E_INVALIDARG);
  // The loader's reason reaches the hook.
  ASSERT_FALSE(log_.events.empty());
  bool explained = false;
  for (const auto& event : log_.events) explained |= event.result == CO_E_DLLNOTFOUND && !event.detail.empty();
  EXPECT_TRUE(explained);
  // The object made for an interface it lacks was destroyed, not leaked.
  CoFreeUnusedLibraries();
  EXPECT_EQ(log_.Count(TW_ACTIVATION_UNLOADED, TW_TEST_SERVER), 1);
}

TEST_F(ActivationTest, ProgIdErrorsAreDefinedCodes) {
  ASSERT_EQ(RegistryApply({{}, {{"Bad.Clsid\\CLSID", "not a guid"}}}), S_OK);
  CLSID clsid = IID_IDispatch;
  EXPECT_EQ(CLSIDFromProgID(nullptr, &clsid), E_INVALIDARG);
  EXPECT_EQ(CLSIDFromProgID(u"TwComTest.Widget", nullptr), E_POINTER);
  for (const char16_t* progid : {u"", u"Has Space", u"Caf\u00E9.Latte", u"Back\\Slash", u"No.Such.Class", u"Bad.Clsid"}) {
    EXPECT_EQ(CLSIDFromProgID(progid, &clsid), CO_E_CLASSSTRING);
  }
  EXPECT_EQ(CLSIDFromProgID(std::u16string(300, u'a').c_str(), &clsid), CO_E_CLASSSTRING);
  EXPECT_TRUE(IsEqualGUID(clsid, IID_IDispatch));
}

TEST_F(ActivationTest, SideBySideWhenNotRegisteredAndTheHostIsTold) {
  ComPtr<IDispatch> widget;
  ASSERT_EQ(CreateInstanceByProgId("twcomtest.WIDGET", IID_IDispatch, widget.PutVoid()), S_OK);
  ASSERT_EQ(log_.events.size(), 1u);
  const ActivationEvent& event = log_.events[0];
  EXPECT_EQ(event.event, TW_ACTIVATION_CLASS_OBJECT);
  EXPECT_EQ(event.source, TW_SOURCE_SIDE_BY_SIDE);
  EXPECT_TRUE(IsEqualCLSID(event.clsid, kTestClsid));
  EXPECT_TRUE(std::filesystem::equivalent(event.library, TW_TEST_SERVER));
  EXPECT_EQ(std::filesystem::path(event.manifest).extension(), ".comclass");
  EXPECT_EQ(event.result, S_OK);
  EXPECT_EQ(PutValue(widget.Get(), 7), S_OK);
  LONG value = 0;
  EXPECT_EQ(GetValue(widget.Get(), &value), S_OK);
  EXPECT_EQ(value, 7);
}

TEST_F(ActivationTest, ARegisteredCopyElsewhereIsUsedFromAnotherDirectory) {
  const std::string copy = registry_.Dir() + "/elsewhere/libtwcom_test_server.so";
  std::filesystem::create_directories(registry_.Dir() + "/elsewhere");
  std::filesystem::copy_file(TW_TEST_SERVER, copy);
  void* library = ::dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << ::dlerror();
  LPFNREGISTERSERVER registerServer;
  void* address = ::dlsym(library, "DllRegisterServer");
  std::memcpy(&registerServer, &address, sizeof registerServer);
  ASSERT_EQ(registerServer(), S_OK);

  const auto home = std::filesystem::current_path();
  std::filesystem::current_path(registry_.Dir());
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"TwComTest.Widget", &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, kTestClsid));
  ComPtr<IDispatch> widget;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, widget.PutVoid()), S_OK);
  std::filesystem::current_path(home);
  ASSERT_EQ(log_.events.size(), 1u);
  EXPECT_EQ(log_.events[0].source, TW_SOURCE_REGISTRY);
  EXPECT_TRUE(std::filesystem::equivalent(log_.events[0].library, copy));
  widget.Reset();
  ::dlclose(library);
}

TEST_F(ActivationTest, ALibraryStaysLoadedWhileItSaysItCannotUnload) {
  ComPtr<IDispatch> widget;
  ASSERT_EQ(CoCreateInstance(kTestClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, widget.PutVoid()), S_OK);
  CoFreeUnusedLibraries();
  EXPECT_EQ(log_.Count(TW_ACTIVATION_UNLOADED, TW_TEST_SERVER), 0);  // an object is alive
  widget.Reset();

  ComPtr<IClassFactory> factory;
  ASSERT_EQ(CoGetClassObject(kTestClsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.PutVoid()), S_OK);
  ASSERT_EQ(factory->LockServer(1), S_OK);
  factory.Reset();
  CoFreeUnusedLibraries();
  EXPECT_EQ(log_.Count(TW_ACTIVATION_UNLOADED, TW_TEST_SERVER), 0);  // locked

  ASSERT_EQ(CoGetClassObject(kTestClsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.PutVoid()), S_OK);
  CoFreeUnusedLibraries();
  EXPECT_EQ(log_.Count(TW_ACTIVATION_UNLOADED, TW_TEST_SERVER), 0);  // a factory is alive
  ASSERT_EQ(factory->LockServer(0), S_OK);
  factory.Reset();
  CoFreeUnusedLibraries();
  EXPECT_EQ(log_.Count(TW_ACTIVATION_UNLOADED, TW_TEST_SERVER), 1);
  // Loaded again on demand.
  ASSERT_EQ(CoCreateInstance(kTestClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, widget.PutVoid()), S_OK);
}

TEST_F(ActivationTest, ObjectsRefuseCallsFromAnotherThread) {
  ComPtr<IDispatch> widget;
  ASSERT_EQ(CoCreateInstance(kTestClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, widget.PutVoid()), S_OK);
  HRESULT bare = S_OK;
  HRESULT inOwnApartment = S_OK;
  std::thread other([&] {
    bare = PutValue(widget.Get(), 1);
    ScopedApartment own;
    LONG value = 0;
    inOwnApartment = GetValue(widget.Get(), &value);
  });
  other.join();
  EXPECT_EQ(bare, RPC_E_WRONG_THREAD);
  EXPECT_EQ(inOwnApartment, RPC_E_WRONG_THREAD);
  EXPECT_EQ(PutValue(widget.Get(), 1), S_OK);
}

}  // namespace
}  // namespace tw::com::testing
