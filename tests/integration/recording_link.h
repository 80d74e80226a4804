// A TL2 that writes down every event it raises, so that a test can run the
// loop until something has been reported and then look at all of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "control/link/tl2.h"
#include "platform/loop/event_loop.h"

namespace tw::integration {

// A station notice: OnMyConnect, OnRetryOut and the like.
struct Notice {
  int port = 0;
  std::string station;
  std::string line;
};

// OnConnect and OnDisconnect: the header's calls.
struct LinkNotice {
  int port = 0;
  std::string callFrom;
  std::string callTo;
  std::string line;
};

// OnData and OnDataUI.
struct Delivery {
  int port = 0;
  std::string callFrom;
  std::string callTo;
  std::uint8_t pid = 0;
  std::string data;
};

// OnRead: every frame as it came in.
struct Arrival {
  int port = 0;
  char kind = 0;
  std::string callFrom;
  std::string callTo;
  std::string data;
};

struct RawArrival {
  int port = 0;
  std::string frame;
};

class RecordingLink {
 public:
  RecordingLink(EventLoop& loop, std::uint16_t enginePort, const std::string& call);

  // Up, told its ports and version, every port's outstanding-frames reply in
  // (the last of the per-port replies), and registered when it asks to be.
  bool Settled() const;

  // Like the component: register the call-sign whenever the link comes up.
  bool registerOnUp = true;

  int ups = 0;
  int downs = 0;
  int errors = 0;

  // Replies since the link last came up.
  struct Startup {
    std::vector<std::pair<int, int>> versions;
    int portLists = 0;
    int parameters = 0;
    std::vector<std::pair<int, int>> portFrames;  // port, count
    std::vector<std::pair<std::string, std::string>> registerReplies;  // call, data
  } startup;

  std::vector<Notice> myConnects;
  std::vector<Notice> hisConnects;
  std::vector<Notice> stationConnects;
  std::vector<LinkNotice> connects;
  std::vector<Notice> retryOuts;
  std::vector<Notice> hisDisconnects;
  std::vector<Notice> myDisconnects;
  std::vector<Notice> stationDisconnects;
  std::vector<LinkNotice> disconnects;

  std::vector<Delivery> data;  // one per 'D' frame
  std::string received;        // their bytes joined
  std::vector<Delivery> unproto;
  std::vector<RawArrival> raw;
  std::vector<Arrival> arrivals;

  // The link's own trace, shown when a test fails. Declared before the link,
  // whose destructor still writes to it.
  std::string trace;
  TL2 link;
};

}  // namespace tw::integration
