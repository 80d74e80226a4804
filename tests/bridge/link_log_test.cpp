// The operator's link lines as rendered, and the checks behind them.
#include "bridge/link_log.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace tw {
namespace {

const LinkRecord kOut{"N0CALL", "W1AW-3", "", 1, 120, 45, false};
const LinkRecord kOutVia{"N0CALL", "W1AW", "RELAY,WIDE2-1", 2, 0, 0, false};
const LinkRecord kIn{"N0CALL", "K1ABC", "", 3, 7, 4096, true};

TEST(LinkLog, EachEventIsOneLineNamingStreamCallsPortAndPath) {
  const struct {
    std::string line;
    std::string want;
  } cases[] = {
      {LinkConnecting('A', kOut), "stream A, N0CALL to W1AW-3 on radio port 1: connecting"},
      {LinkConnecting('C', kOutVia), "stream C, N0CALL to W1AW on radio port 2 via RELAY,WIDE2-1: connecting"},
      {LinkConnected('A', kOut), "stream A, N0CALL to W1AW-3 on radio port 1: connected"},
      {LinkIncoming('B', kIn), "stream B, K1ABC to N0CALL on radio port 3: incoming link taken on stream B"},
      {LinkNoAnswer('A', kOut, "*** DISCONNECTED RETRYOUT With W1AW-3\r\0"),
       "stream A, N0CALL to W1AW-3 on radio port 1: the far station did not answer "
       "(engine: *** DISCONNECTED RETRYOUT With W1AW-3)"},
      {LinkNoAnswer('A', kOut, ""), "stream A, N0CALL to W1AW-3 on radio port 1: the far station did not answer"},
      {LinkEngineDown('D', kOutVia),
       "stream D, N0CALL to W1AW on radio port 2 via RELAY,WIDE2-1: not made, the engine is not connected"},
      {LinkDisconnected('A', kOut, LinkEnd::FarEnd),
       "stream A, N0CALL to W1AW-3 on radio port 1: disconnected by the far end, 120 bytes sent, 45 received"},
      {LinkDisconnected('A', kOut, LinkEnd::Client),
       "stream A, N0CALL to W1AW-3 on radio port 1: disconnected by the client, 120 bytes sent, 45 received"},
      {LinkDisconnected('B', kIn, LinkEnd::EngineLost),
       "stream B, K1ABC to N0CALL on radio port 3: disconnected when the engine was lost, 7 bytes sent, 4096 received"},
      {LinkDisconnected('J', kIn, LinkEnd::Shutdown),
       "stream J, K1ABC to N0CALL on radio port 3: disconnected at shutdown, 7 bytes sent, 4096 received"},
      {LinkDisconnected('E', kOutVia, LinkEnd::Bridge),
       "stream E, N0CALL to W1AW on radio port 2 via RELAY,WIDE2-1: disconnected by Tidewire, 0 bytes sent, 0 received"},
      // Calls come from the network: escaped like any other bytes.
      {LinkIncoming('A', LinkRecord{"N0CALL", "X\xC0Y", "", 1, 0, 0, true}),
       "stream A, X\\xC0Y to N0CALL on radio port 1: incoming link taken on stream A"},
      {LinkConnecting('A', LinkRecord{"", "W1AW", "", 1, 0, 0, false}),
       "stream A, (no call) to W1AW on radio port 1: connecting"},
      {EnginePortsLine({"Port1 Simulated radio", "Port2 Loopback"}),
       "engine radio ports: 1 Port1 Simulated radio, 2 Port2 Loopback"},
      {DefaultPortMissingLine(5, 2),
       "WARNING the default radio port 5 is not among the engine's 2 radio ports: connects that name no port will "
       "fail"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.line, c.want);
}

TEST(LinkLog, ARefusedConnectNamesTheFirstReasonThatApplies) {
  const struct {
    ConnectFacts facts;
    const char* want;
  } cases[] = {
      {{"", "W1AW", "", 1, true, 2}, "no call-sign is set (the mail client must set MYCALL)"},
      {{"N0CALL-99", "W1AW", "", 1, true, 2}, "own call N0CALL-99 is not an AX.25 address"},
      {{"N0CALL", "W1AW-99", "", 1, true, 2}, "W1AW-99 is not an AX.25 address"},
      {{"N0CALL", "W1AW", "RELAY,BAD CALL", 1, true, 2}, "digipeater BAD CALL is not an AX.25 address"},
      {{"N0CALL", "W1AW", "RELAY", 1, false, 2}, "the engine is not connected"},
      {{"N0CALL", "W1AW", "", 3, true, 2}, "the engine has radio ports 1 to 2 only"},
      {{"N0CALL", "W1AW", "", 3, true, 0}, "a link between these calls on this radio port exists already"},
      {{"N0CALL", "W1AW", "RELAY", 2, true, 2}, "a link between these calls on this radio port exists already"},
  };
  for (const auto& c : cases) EXPECT_EQ(ConnectRefusalReason(c.facts), c.want) << c.want;
}

}  // namespace
}  // namespace tw
