// The in-process server through its own entry points: the class object,
// when the library may be unloaded, and registration.
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/activex/control_harness.h"

namespace tw::activex::testing {
namespace {

class ControlServerTest : public ControlTest {
 protected:
  HRESULT Register() { return library_.Entry("DllRegisterServer")(); }
  HRESULT Unregister() { return library_.Entry("DllUnregisterServer")(); }
  std::vector<com::RegistryEntry> Registry() {
    std::vector<com::RegistryEntry> entries;
    EXPECT_EQ(com::RegistryList("", &entries), S_OK);
    return entries;
  }
  ControlLibrary library_;
};

TEST_F(ControlServerTest, TheClassObjectChecksWhatItIsGiven) {
  constexpr CLSID kOther = {0x0BADC0DE, 0, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 1}};
  int placeholder = 0;
  void* object = &placeholder;
  EXPECT_EQ(library_.GetClassObject(&CLSID_VOKAPIX, &IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(library_.GetClassObject(&kOther, &IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  object = &placeholder;
  EXPECT_EQ(library_.GetClassObject(&CLSID_VOKAPIX, &IID_IDispatch, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(library_.GetClassObject(&CLSID_VOKAPIX, &IID_IClassFactory, factory.PutVoid()), S_OK);
  com::testing::Counted outer;
  object = &placeholder;
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IVOKAPIX, &object), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(outer.refs, 1u);
  // Made for an interface it lacks: destroyed again (else the sanitizer
  // build reports a leak).
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IConnectionPoint, &object), E_NOINTERFACE);
  HRESULT outside = S_OK;
  std::thread([&] { outside = factory->CreateInstance(nullptr, IID_IVOKAPIX, &object); }).join();
  EXPECT_EQ(outside, CO_E_NOTINITIALIZED);
}

TEST_F(ControlServerTest, CannotUnloadWhileAControlAFactoryOrALockLives) {
  auto idle = [&] { return RunUntil([&] { return library_.CanUnloadNow() == S_OK; }); };
  EXPECT_EQ(library_.CanUnloadNow(), S_FALSE);  // the fixture's control
  control_.Reset();
  EXPECT_TRUE(idle());
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(library_.GetClassObject(&CLSID_VOKAPIX, &IID_IClassFactory, factory.PutVoid()), S_OK);
  EXPECT_EQ(library_.CanUnloadNow(), S_FALSE);
  ASSERT_EQ(factory->LockServer(1), S_OK);
  factory.Reset();
  EXPECT_EQ(library_.CanUnloadNow(), S_FALSE);
  ASSERT_EQ(library_.GetClassObject(&CLSID_VOKAPIX, &IID_IClassFactory, factory.PutVoid()), S_OK);
  ASSERT_EQ(factory->LockServer(0), S_OK);
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IVOKAPIX, control_.PutVoid()), S_OK);
  factory.Reset();
  EXPECT_EQ(library_.CanUnloadNow(), S_FALSE);
  control_.Reset();
  EXPECT_TRUE(idle());
}

TEST_F(ControlServerTest, RegisterTwiceIsOnceUnregisterKeepsOthers) {
  const std::vector<com::RegistryEntry> others = {
      {"CLSID\\{0BADC0DE-0000-4000-8000-000000000001}\\InprocServer32", "/lib/other.so"},
      {"VOKAPIXControl.VOKAPIX.2\\CLSID", "{0BADC0DE-0000-4000-8000-000000000001}"},
  };
  ASSERT_EQ(com::RegistryApply({{}, others}), S_OK);
  ASSERT_EQ(Register(), S_OK);
  const std::vector<com::RegistryEntry> once = Registry();
  ASSERT_EQ(Register(), S_OK);
  EXPECT_EQ(Registry(), once);
  std::string path;
  ASSERT_EQ(com::RegistryRead(com::InprocServerKey(CLSID_VOKAPIX), &path), S_OK);
  EXPECT_TRUE(std::filesystem::equivalent(path, TW_CONTROL_LIBRARY));
  ASSERT_EQ(Unregister(), S_OK);
  EXPECT_EQ(Registry(), others);

  const std::string plain = registry_.Dir() + "/plain";  // a file: nothing can be made below it
  std::ofstream(plain) << "a file\n";
  com::testing::ScopedEnv unwritable("TIDEWIRE_COM_REGISTRY", (plain + "/com-registry").c_str());
  EXPECT_EQ(Register(), E_FAIL);
  EXPECT_EQ(Unregister(), E_FAIL);
  std::ifstream file(plain);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "a file\n");
}

TEST_F(ControlServerTest, ByProgIdBesideTheProgramOrThroughTheRegistry) {
  com::testing::ActivationLog log;
  ComPtr<IDispatch> control;
  ASSERT_EQ(com::CreateInstanceByProgId(VOKAPIX_PROGID, IID_IDispatch, control.PutVoid()), S_OK);
  ASSERT_EQ(Register(), S_OK);  // where it was built
  const auto home = std::filesystem::current_path();
  std::filesystem::current_path(registry_.Dir());
  EXPECT_EQ(com::CreateInstanceByProgId(VOKAPIX_PROGID, IID_IDispatch, control.PutVoid()), S_OK);
  std::filesystem::current_path(home);
  ASSERT_EQ(log.events.size(), 2u);
  EXPECT_EQ(log.events[0].source, TW_SOURCE_SIDE_BY_SIDE);
  EXPECT_EQ(log.events[1].source, TW_SOURCE_REGISTRY);
  EXPECT_TRUE(std::filesystem::equivalent(log.events[1].library, TW_CONTROL_LIBRARY));
}

}  // namespace
}  // namespace tw::activex::testing
