// Call-signs as the engine compares and transmits them. Clients write them
// freely in frame headers (any case, "-0" or no SSID); two spellings that
// name the same station on the air must meet as one.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tw::loopback {

// The form a call-sign takes on the air: upper case, a base of 1 to 6
// letters and digits, and "-n" only for an SSID from 1 to 15. Nothing when
// the text cannot be an AX.25 address.
std::optional<std::string> AirCall(std::string_view call);

// The key under which the calls of links are matched, and the address a
// connect's destination is called by: its air form when it has one, else its
// upper-cased text. Registrations are kept as written, not by this key.
std::string CallKey(std::string_view call);

}  // namespace tw::loopback
