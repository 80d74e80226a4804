/* The runtime used from a program written in C (C11): layouts, a BSTR round
 * trip of every byte, VARIANT ownership, then the test server created side
 * by side by its ProgID and driven through IDispatch. Prints its failures
 * and exits with 1 if there were any. */
#include <locale.h>
#include <stdio.h>

#include "platform/com/twcom.h"

static int failures = 0;
#define CHECK(condition)                                              \
  do {                                                                \
    if (!(condition)) {                                               \
      ++failures;                                                     \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
    }                                                                 \
  } while (0)

_Static_assert(offsetof(IDispatchVtbl, Invoke) == 6 * sizeof(void*), "IDispatch's table");
_Static_assert(offsetof(IClassFactoryVtbl, CreateInstance) == 3 * sizeof(void*), "IClassFactory's table");
_Static_assert(sizeof(DISPPARAMS) == 2 * sizeof(void*) + 8, "DISPPARAMS");
_Static_assert(sizeof(EXCEPINFO) == (sizeof(void*) == 8 ? 64 : 32), "EXCEPINFO");

static void BytesAndVariants(void) {
  char all[256];
  char back[257];
  UINT length = 0;
  int i;
  BSTR text;
  VARIANT a;
  VARIANT b;
  for (i = 0; i < 256; ++i) all[i] = (char)i;
  text = TwBstrFromBytes(all, 256);
  CHECK(text != NULL && SysStringLen(text) == 256 && text[0] == 0 && text[255] == 0xFF);
  CHECK(TwBstrToBytes(text, back, sizeof back, &length) == S_OK && length == 256);
  CHECK(memcmp(all, back, 256) == 0);
  VariantInit(&a);
  VariantInit(&b);
  a.vt = VT_BSTR;
  a.bstrVal = text; /* owned by a from here */
  CHECK(VariantCopy(&b, &a) == S_OK && b.bstrVal != a.bstrVal && SysStringLen(b.bstrVal) == 256);
  CHECK(VariantClear(&a) == S_OK && VariantClear(&b) == S_OK && a.vt == VT_EMPTY);
}

static void CreateAndCall(void) {
  CLSID clsid;
  IDispatch* widget = NULL;
  OLECHAR name[] = u"Value";
  LPOLESTR names[1];
  DISPID id = 0;
  DISPID named = DISPID_PROPERTYPUT;
  VARIANT argument;
  VARIANT result;
  DISPPARAMS put;
  DISPPARAMS get = {NULL, NULL, 0, 0};
  char text[TW_GUID_STRING_SIZE];
  names[0] = name;
  put.rgvarg = &argument;
  put.rgdispidNamedArgs = &named;
  put.cArgs = 1;
  put.cNamedArgs = 1;

  CHECK(CoCreateInstance(&GUID_NULL, NULL, CLSCTX_INPROC_SERVER, &IID_IDispatch, (void**)&widget) ==
        CO_E_NOTINITIALIZED);
  CHECK(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED) == S_OK);
  CHECK(CLSIDFromProgID(u"TwComTest.Widget", &clsid) == S_OK);
  CHECK(TwGuidToString(&clsid, text, sizeof text) == S_OK && strcmp(text, "{7C1E5A43-9B2D-4E61-A0F8-3D5C2B9E4A17}") == 0);
  CHECK(CoCreateInstance(&clsid, NULL, CLSCTX_INPROC_SERVER, &IID_IDispatch, (void**)&widget) == S_OK);
  if (widget != NULL) {
    CHECK(IDispatch_GetIDsOfNames(widget, &IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id) == S_OK && id == 1);
    VariantInit(&argument);
    VariantInit(&result);
    argument.vt = VT_I4;
    argument.lVal = 1234;
    CHECK(IDispatch_Invoke(widget, id, &IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, NULL, NULL, NULL) == S_OK);
    CHECK(IDispatch_Invoke(widget, id, &IID_NULL, 0, DISPATCH_PROPERTYGET, &get, &result, NULL, NULL) == S_OK);
    CHECK(result.vt == VT_I4 && result.lVal == 1234);
    CHECK(IDispatch_Release(widget) == 0);
  }
  CHECK(TwLoopRunOnce() == S_OK);
  CoUninitialize();
}

int main(void) {
  CHECK(setlocale(LC_ALL, "C.UTF-8") != NULL);
  BytesAndVariants();
  CreateAndCall();
  printf("com_c_usage: %d failure(s)\n", failures);
  return failures == 0 ? 0 : 1;
}
