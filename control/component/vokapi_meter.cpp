// TVOKAPI: metering what the engine still holds of each link's data.
//
// A mail client paces itself by the status of its controller: it holds its
// data while too many frames are unacknowledged, and waits for none before
// it disconnects. The engine says how many frames of a link it still holds
// when asked; it is asked once a second, per link, while frames are
// outstanding and only then. The bytes come from the sizes of the frames
// sent. An engine that never answers is not asked again for that link, and
// its data counts as sent: a client must not wait for ever.
#include <vector>

#include "control/component/vokapi.h"
#include "control/link/frame_codec.h"
#include "platform/text/text.h"

namespace tw {

void TVOKAPI::NoteSent(int channelId, std::size_t bytes) {
  LinkCB* link = links_.FindChannel(channelId);
  if (link == nullptr || link->meterSilent) return;
  link->meter.Sent(bytes, kMaxPiece);
  StartFrameTimer();
}

bool TVOKAPI::Metered(const LinkCB& link) {
  return !link.meterSilent && link.meter.Frames() > 0 && link.LinkStatus == kLinkConnected &&
         (!link.ending || link.draining);
}

void TVOKAPI::MeterTick() {
  // Ids first: a request's log lines may change the table.
  std::vector<int> metered;
  for (const auto& link : links_) {
    if (!link->draining && Metered(*link)) metered.push_back(link->ChannelId);
  }
  for (int id : metered) {
    LinkCB* link = links_.FindChannel(id);
    if (link == nullptr || link->draining || !Metered(*link)) continue;
    if (link->meter.Unanswered() >= static_cast<std::size_t>(kDrainSilentTicks)) {
      link->meterSilent = true;
      link->meter.Clear();
      LogLine(3, [&] { return Cat("{VOK} <AX25Send> Channel(", id, ") engine does not report its frames"); });
      continue;
    }
    AskFrames(*link);
  }
}

void TVOKAPI::CountOut(LinkCB& link, std::uint32_t frames) {
  if (link.meterSilent) return;
  link.meter.Answered(frames);
}

bool TVOKAPI::AX25Outstanding(int iChannelId, int& iFrames, int& iBytes) {
  LogLine(4, "{VOK} <AX25Outstanding>");
  if (!ax25Open_) return false;
  const LinkCB* link = links_.FindChannel(iChannelId);
  if (link == nullptr) return false;
  iFrames = static_cast<int>(link->meter.Frames());
  iBytes = static_cast<int>(link->meter.Bytes());
  return true;
}

}  // namespace tw
