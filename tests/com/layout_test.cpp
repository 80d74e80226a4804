// The C tables and the C++ classes are one layout: C++ calls an object
// written in C through the interface classes (com_c_usage, a C program,
// calls the test server's C++ object through the C tables).
#include <gtest/gtest.h>

#include <cstddef>

#include "tests/com/com_test_support.h"

extern "C" IDispatch* tw_test_make_c_object(void);

namespace tw::com::testing {
namespace {

static_assert(offsetof(IUnknownVtbl, Release) == 2 * sizeof(void*));
static_assert(offsetof(IDispatchVtbl, Invoke) == 6 * sizeof(void*));
static_assert(offsetof(IClassFactoryVtbl, LockServer) == 4 * sizeof(void*));
static_assert(offsetof(IConnectionPointVtbl, EnumConnections) == 7 * sizeof(void*));
static_assert(sizeof(IConnectionPointContainer) == sizeof(void*));
static_assert(sizeof(EXCEPINFO) == (sizeof(void*) == 8 ? 64 : 32));
static_assert(offsetof(DISPPARAMS, cNamedArgs) == 2 * sizeof(void*) + 4);

TEST(LayoutTest, CppCallsAnObjectWrittenInC) {
  IDispatch* object = tw_test_make_c_object();
  ASSERT_NE(object, nullptr);
  ComPtr<IDispatch> again;
  ASSERT_EQ(ComPtr<IDispatch>(object).As(IID_IDispatch, &again), S_OK);
  EXPECT_EQ(again.Get(), object);
  again.Reset();
  UINT count = 9;
  EXPECT_EQ(object->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
  ITypeInfo* info = nullptr;
  EXPECT_EQ(object->GetTypeInfo(0, 0, &info), DISP_E_BADINDEX);
  OLECHAR name[] = u"Value";
  LPOLESTR names[] = {name};
  DISPID id = 0;
  EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
  EXPECT_EQ(id, kTestValueDispid);
  EXPECT_EQ(PutValue(object, 42), S_OK);
  LONG value = 0;
  EXPECT_EQ(GetValue(object, &value), S_OK);
  EXPECT_EQ(value, 42);
  EXPECT_EQ(object->AddRef(), 2u);
  EXPECT_EQ(object->Release(), 1u);
  EXPECT_EQ(object->Release(), 0u);  // freed by the C code
}

}  // namespace
}  // namespace tw::com::testing
