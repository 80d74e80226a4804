// HRESULTs as log lines show them.
#pragma once

#include <string>

#include "platform/com/twcom.h"

namespace tw {

// "REGDB_E_CLASSNOTREG (0x80040154)"; the hex alone for a code without a name.
std::string HresultText(HRESULT hr);

}  // namespace tw
