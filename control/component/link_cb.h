// One AX.25 link that the component's channel table knows, and how links
// are told apart: by radio port and the pair of stations, whichever end
// spoke first, with calls compared the way the air compares them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "control/component/link_meter.h"

namespace tw {

inline constexpr int kLinkCreated = 0;
inline constexpr int kLinkConnecting = 1;  // connect requested, not yet confirmed
inline constexpr int kLinkConnected = 4;

struct LinkCB {
  int Port = 0;  // one-based radio port
  std::string From;  // own call
  std::string To;    // remote station
  std::string Via;   // created empty and never filled
  int LinkStatus = kLinkCreated;
  int ChannelId = 0;
  int Rx = 0;
  int Tx = 0;

  // From and To in the form they are compared in, kept with them.
  std::string fromKey;
  std::string toKey;
  void SetCalls(std::string from, std::string to);

  // What the table adds to the record of the written design.
  bool sentData = false;  // AX25Send handed the engine data for it
  bool ending = false;    // AX25Disconnect was called: the 'd' is sent or held
  bool draining = false;  // the 'd' waits until the engine has sent everything
  bool drainAnswered = false;
  std::uint32_t drainLeft = 0;  // frames the engine said it still holds
  int drainTicksWithoutProgress = 0;
  int drainTicks = 0;
  // The data the engine still holds for the link, while the engine answers.
  LinkMeter meter;
  bool meterSilent = false;  // the engine never answered: nothing is metered
};

// StationKey (platform/text/text.h) of a call that is upper case already, as
// the engine link reports calls: a view, no copy.
std::string_view UpperCallKey(std::string_view call);

// Whether a record is the link on `port` between the stations whose call
// keys are `keyA` and `keyB`, in either direction.
bool SameLink(const LinkCB& link, int port, std::string_view keyA, std::string_view keyB);

}  // namespace tw
