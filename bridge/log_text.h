// Texts for log lines.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tw {

// Bytes from the network as a log line may show them: printable ASCII as it
// is, every other byte and the backslash as \xNN; beyond `limit` bytes the
// rest is left out and the full length given instead.
std::string LogBytes(std::string_view bytes, std::size_t limit = 80);

// A number as the log shows port numbers: a leading blank unless negative
// (" 2", "-1").
std::string PortText(long long number);

}  // namespace tw
