// Texts for log lines.
#pragma once

#include <chrono>
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

// "2026-12-08 21:07:03 ": the local time a line is stamped with.
std::string LocalStamp(std::chrono::system_clock::time_point when);

// Under systemd the journal stamps each line itself; it says so by setting
// JOURNAL_STREAM for the service.
bool JournalStamps();

}  // namespace tw
