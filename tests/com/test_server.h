// What the tests and the test server (libtwcom_test_server.so) agree on.
#pragma once

#include "platform/com/twcom.h"

// {7C1E5A43-9B2D-4E61-A0F8-3D5C2B9E4A17}; the side-by-side manifest beside
// the test programs names it too (tests/com/CMakeLists.txt).
inline constexpr CLSID kTestClsid = {0x7C1E5A43, 0x9B2D, 0x4E61, {0xA0, 0xF8, 0x3D, 0x5C, 0x2B, 0x9E, 0x4A, 0x17}};
inline constexpr char kTestProgId[] = "TwComTest.Widget";
inline constexpr DISPID kTestValueDispid = 1;
