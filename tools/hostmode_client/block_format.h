// Turns what the bridge sends into lines a terminal can show: every byte
// outside printable ASCII, and the backslash itself, appears as \xNN, so
// binary data stays visible and unambiguous and nothing raw reaches the
// terminal. A CR inside a reply or status text ends the printed line, so
// a status reply of several lines reads as several lines; data stays on
// one line.
#pragma once

#include <string>
#include <string_view>

#include "tools/hostmode_client/block_reader.h"
#include "tools/hostmode_client/host_block.h"

namespace tw::hostmode {

// The bytes with \xNN for everything outside 0x20..0x7E and for '\'.
std::string Printable(std::string_view bytes);

// "[S1A] *** CONNECTED to N0CALL"; data blocks also give their length:
// "[D1A] 6 bytes: hello\x0D". Lines after a CR are indented under the text.
std::string FormatBlock(const HostBlock& block);

// A block, text outside blocks ("[text] ..."), or an overflow notice.
std::string FormatReceived(const Received& item, std::size_t maxBlock);

}  // namespace tw::hostmode
