// The operator's lines about links: one line per event, each naming the
// stream, the two calls, the radio port and the path, so that a grep for a
// stream letter or a call-sign tells a link's whole story. Pure texts: the
// bridge decides when, these say what.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// What the log knows of one stream's link, kept from its start to its end.
struct LinkRecord {
  std::string own;     // this station's call
  std::string remote;  // the far station
  std::string via;     // digipeaters, separated by commas; empty when direct
  int port = 0;        // radio port
  std::uint64_t sent = 0;      // data bytes the client gave the link
  std::uint64_t received = 0;  // data bytes the link gave the client
  bool incoming = false;       // the far station called
};

// Who ended a link that had been made (or was being made).
enum class LinkEnd : std::uint8_t {
  FarEnd,      // the far station, or the engine on its behalf
  Client,      // the mail client asked
  Bridge,      // the bridge had to (data it could not pass on)
  EngineLost,  // the connection to the engine went down (or never came up)
  Shutdown,    // the program is ending
};

// "stream A, N0CALL to W1AW on radio port 1 via RELAY": the direction is the
// order of the calls (an incoming link names the far station first).
std::string LinkPrefix(char stream, const LinkRecord& link, bool incoming);

std::string LinkConnecting(char stream, const LinkRecord& link);
std::string LinkConnected(char stream, const LinkRecord& link);
std::string LinkIncoming(char stream, const LinkRecord& link);
// A connect that never came up: the far station did not answer; `notice` is
// the engine's own text (control bytes and the trailing CR stripped).
std::string LinkNoAnswer(char stream, const LinkRecord& link, std::string_view notice);
// A connect the engine could not even try: it is not connected.
std::string LinkEngineDown(char stream, const LinkRecord& link);
std::string LinkDisconnected(char stream, const LinkRecord& link, LinkEnd by);
// A link asked to end whose data the engine still holds: it ends once the
// engine has sent those `frames`.
std::string LinkWaiting(char stream, const LinkRecord& link, int frames);

// Why the control refused a connect at once, for the end of the refusal's
// line; empty when none of the known reasons applies.
struct ConnectFacts {
  std::string_view own;          // the registered call (may be empty)
  std::string_view destination;  // as asked
  std::string_view via;
  int port = 0;
  bool engineUp = false;
  int enginePorts = 0;  // radio ports the engine announced; 0 when unknown
};
std::string ConnectRefusalReason(const ConnectFacts& facts);

// The rule, for messages that reject a call.
inline constexpr std::string_view kAx25AddressRule =
    "a call-sign is 1 to 6 letters or digits, optionally followed by -SSID with SSID 0 to 15";

// "engine radio ports: 1 Port1 Simulated radio, 2 Port2 Loopback".
std::string EnginePortsLine(const std::vector<std::string>& names);
// The default radio port is beyond the engine's ports.
std::string DefaultPortMissingLine(int defport, int enginePorts);

// An engine's notice as a log may quote it: without its line end and NUL,
// other control bytes escaped.
std::string NoticeText(std::string_view notice);

}  // namespace tw
