// The snapshot as JSON, for /status.json. Texts are byte strings: each byte
// is the character of the same number (byte 0xC0 is U+00C0), written as
// \u escapes where it is not printable ASCII, so the document is valid
// JSON in ASCII whatever bytes a call or a log line holds.
#pragma once

#include <string>
#include <string_view>

#include "bridge/status/status_snapshot.h"

namespace tw {

std::string StatusJson(const StatusSnapshot& snapshot, std::string_view version);

}  // namespace tw
