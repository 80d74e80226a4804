// The status page: the stream table, the engine's and the client's lines and
// the recent log as plain HTML that reloads itself, readable in any browser
// (text browsers too). Every text is escaped: printable ASCII with the
// characters HTML gives meaning to as entities, any other byte as \xNN.
#pragma once

#include <string>
#include <string_view>

#include "bridge/status/status_snapshot.h"

namespace tw {

inline constexpr int kStatusPageRefreshSeconds = 5;

std::string StatusHtml(const StatusSnapshot& snapshot, std::string_view version);

// The escape rule above, on its own.
std::string HtmlText(std::string_view bytes);

}  // namespace tw
