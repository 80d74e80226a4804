// The IUnknown base: which id gives which interface (and a reference), how
// the count ends an object once, and a part that counts on its owner.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com/unknown.hpp"

namespace tw::com {
namespace {

TWCOM_DEFINE_GUID(IID_ITestDual, {0x1B0D6E21, 0x4C3A, 0x4F7E, {0x9A, 0x11, 0x52, 0x6D, 0x0C, 0x3E, 0x77, 0x01}})
TWCOM_DEFINE_GUID(IID_ITestOther, {0x1B0D6E22, 0x4C3A, 0x4F7E, {0x9A, 0x11, 0x52, 0x6D, 0x0C, 0x3E, 0x77, 0x01}})

// Two interfaces, the first answering to two ids; each destruction is noted.
class Counted final : public Object<Counted, Answer<IDispatch, IID_IDispatch, IID_ITestDual>,
                                    Answer<IConnectionPointContainer, IID_IConnectionPointContainer>> {
 public:
  explicit Counted(std::vector<std::string>& log) : log_(log) {}
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }
  HRESULT EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  HRESULT FindConnectionPoint(REFIID, IConnectionPoint**) override { return E_NOTIMPL; }
  ULONG Count() const { return References(); }

 private:
  ~Counted() { log_.push_back("deleted"); }
  friend Object;
  std::vector<std::string>& log_;
};

// A static object made with no reference, which a last release leaves be.
class Kept final : public Object<Kept, Answer<IClassFactory, IID_IClassFactory>> {
 public:
  Kept() : Object(0) {}
  void Destroy() { ++destroyed; }
  HRESULT CreateInstance(IUnknown*, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT LockServer(int) override { return S_OK; }
  int destroyed = 0;
};

class Point final : public Part<Answer<IConnectionPoint, IID_IConnectionPoint>> {
 public:
  using Part::Part;
  HRESULT GetConnectionInterface(IID*) override { return E_NOTIMPL; }
  HRESULT GetConnectionPointContainer(IConnectionPointContainer**) override { return E_NOTIMPL; }
  HRESULT Advise(IUnknown*, DWORD*) override { return E_NOTIMPL; }
  HRESULT Unadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }
};

TEST(UnknownBase, EachIdGivesItsInterfaceWithAReference) {
  std::vector<std::string> log;
  auto* object = new Counted(log);
  Point point(*static_cast<IDispatch*>(object));
  void* const dual = static_cast<IDispatch*>(object);
  void* const container = static_cast<IConnectionPointContainer*>(object);
  ASSERT_NE(dual, container);
  const struct {
    const char* what;
    IUnknown* asked;
    const IID* iid;
    HRESULT hr;
    void* given;
  } table[] = {
      {"identity: the first interface", nullptr, &IID_IUnknown, S_OK, dual},
      {"the first's own id", nullptr, &IID_IDispatch, S_OK, dual},
      {"the first's second id", nullptr, &IID_ITestDual, S_OK, dual},
      {"the second interface", nullptr, &IID_IConnectionPointContainer, S_OK, container},
      {"an id it lacks", nullptr, &IID_ITestOther, E_NOINTERFACE, nullptr},
      {"a part's id on the owner", nullptr, &IID_IConnectionPoint, E_NOINTERFACE, nullptr},
      {"the part's own id", &point, &IID_IConnectionPoint, S_OK, static_cast<IConnectionPoint*>(&point)},
      {"the part's identity", &point, &IID_IUnknown, S_OK, static_cast<IConnectionPoint*>(&point)},
      {"the owner's id on the part", &point, &IID_IDispatch, E_NOINTERFACE, nullptr},
  };
  for (const auto& row : table) {
    IUnknown* asked = row.asked != nullptr ? row.asked : static_cast<IDispatch*>(object);
    const ULONG before = object->Count();
    void* out = &log;  // anything but the answer
    EXPECT_EQ(asked->QueryInterface(*row.iid, &out), row.hr) << row.what;
    EXPECT_EQ(out, row.given) << row.what;
    // Every answer is one more reference, the part's being its owner's.
    EXPECT_EQ(object->Count(), before + (row.hr == S_OK ? 1u : 0u)) << row.what;
    if (row.hr == S_OK) static_cast<IUnknown*>(asked)->Release();
  }
  EXPECT_EQ(object->QueryInterface(IID_IDispatch, nullptr), E_POINTER);
  EXPECT_EQ(object->Count(), 1u);
  EXPECT_TRUE(log.empty());
  object->Release();
  EXPECT_EQ(log, std::vector<std::string>{"deleted"});
}

TEST(UnknownBase, TheCountEndsTheObjectOnceAndNeverGoesBelowNothing) {
  std::vector<std::string> log;
  auto* object = new Counted(log);
  IDispatch* dual = object;
  const struct {
    char step;  // + AddRef, - Release
    ULONG answer;
    std::size_t deleted;
  } steps[] = {{'+', 2, 0}, {'+', 3, 0}, {'-', 2, 0}, {'-', 1, 0}, {'-', 0, 1}};
  for (const auto& step : steps) {
    EXPECT_EQ(step.step == '+' ? dual->AddRef() : dual->Release(), step.answer) << step.step << step.answer;
    EXPECT_EQ(log.size(), step.deleted);
  }

  Kept kept;
  IClassFactory* factory = &kept;
  const struct {
    char step;
    ULONG answer;
    int destroyed;
  } kept_steps[] = {{'-', 0, 0}, {'+', 1, 0}, {'+', 2, 0}, {'-', 1, 0}, {'-', 0, 1}, {'-', 0, 1}, {'+', 1, 1}};
  for (const auto& step : kept_steps) {
    EXPECT_EQ(step.step == '+' ? factory->AddRef() : factory->Release(), step.answer) << step.step << step.answer;
    EXPECT_EQ(kept.destroyed, step.destroyed);
  }
}

}  // namespace
}  // namespace tw::com
