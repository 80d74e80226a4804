// The operator's lines at start-up and about the client's connection: the
// settings in effect, warnings about settings that will not do what the
// operator likely wants, and why the listen port cannot be had.
#pragma once

#include <string>
#include <string_view>

#include "bridge/command_line.h"

namespace tw {

inline constexpr std::string_view kNoCallLine =
    "no call-sign given: the mail client must set MYCALL before any link can be made";

// The five fields as a command line would give them: "N0CALL,1,true,8000,8200".
std::string SettingsFields(const CommandLine& config);

// "settings: call N0CALL, default radio port 1, accept any radio port,
// engine 127.0.0.1:8000, listen 0.0.0.0:8200"; with a terminal line (its
// place as the line names it) "..., client on pseudo-terminal /tmp/kam".
std::string SettingsLine(const CommandLine& config, std::string_view engineHost, std::string_view listenAddress,
                         std::string_view linePlace = {});

// Only this machine can reach an address: 127.0.0.0/8, ::1, localhost.
bool IsLoopback(std::string_view address);

// Listening where others can reach: they could transmit under the call.
std::string OpenListenLine(std::string_view address, int port, std::string_view call);

// What a second mail client is told before it is closed.
inline constexpr std::string_view kSecondClientText =
    "Tidewire: another mail client is connected; one at a time.\r\n";

// A client's "address:port", or a stand-in when the system could not tell.
std::string ClientName(std::string_view address);

// Why the listen port could not be bound, for the operator: the system's
// words, with the likely cause when the port is taken.
std::string ListenProblem(std::string_view systemError);

}  // namespace tw
