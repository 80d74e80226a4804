// TVOKAPI: holding a link's disconnect until the engine has sent its data.
//
// An engine drops every frame it has not yet had acknowledged when it is
// told to disconnect, so a mail client that sends its message and then
// disconnects at once would lose the message. The disconnect waits while the
// engine's count of the link's outstanding frames goes down; it goes out when
// the count reaches 0, when the count has not gone down for a minute, or at
// once when the engine never answers the question.
//
// The engine tells nothing when the far end acknowledges, and the count of a
// sent window drops to 0 with one acknowledgement: each moment between that
// and the next question is the link held open on the air for nothing, with
// the disconnect then waiting for the channel again. So every fifth of a
// second a draining link whose last question has its answer is asked again.
// The once-a-second tick still asks whatever happened to the answers, and
// counts the seconds of silence and of no progress.
#include <vector>

#include "control/component/vokapi.h"
#include "platform/text/text.h"

namespace tw {

void TVOKAPI::StartFrameTimer() {
  if (!drainTimer_) {
    drainTimer_ = loop_.NewTimer();
    drainTimer_->SetHandler([this] { DrainTick(); });
    drainTimer_->SetInterval(kDrainPollMs);
  }
  if (!drainTimer_->Enabled()) drainTimer_->SetEnabled(true);
}

bool TVOKAPI::AskFrames(LinkCB& link) {
  const int id = link.ChannelId;
  const int port = link.Port;
  const Text from = link.From;
  const Text to = link.To;
  if (!link_->AskLinkFrames(port, from, to)) return false;
  // Noted once it went, for its answer to be matched; the request's log
  // lines may have ended the record meanwhile.
  if (LinkCB* again = links_.FindChannel(id)) again->meter.Asked();
  return true;
}

void TVOKAPI::StartDrain(LinkCB& link) {
  link.draining = true;
  link.drainAnswered = false;
  link.drainTicks = 0;
  link.drainTicksWithoutProgress = 0;
  StartFrameTimer();
  if (!quickDrainTimer_) {
    quickDrainTimer_ = loop_.NewTimer();
    quickDrainTimer_->SetHandler([this] { QuickDrainTick(); });
    quickDrainTimer_->SetInterval(kDrainQuickPollMs);
  }
  if (!quickDrainTimer_->Enabled()) quickDrainTimer_->SetEnabled(true);
  const int id = link.ChannelId;
  if (!AskFrames(link)) FinishDrain(id);
}

void TVOKAPI::DrainTick() {
  // Ids first: finishing a drain sends a request whose trace may reach a
  // handler that changes the table.
  std::vector<int> draining;
  for (const auto& link : links_) {
    if (link->draining) draining.push_back(link->ChannelId);
  }
  for (int id : draining) {
    LinkCB* link = links_.FindChannel(id);
    if (link == nullptr || !link->draining) continue;
    ++link->drainTicks;
    ++link->drainTicksWithoutProgress;
    const bool silent = !link->drainAnswered && link->drainTicks >= kDrainSilentTicks;
    const bool stalled = link->drainTicksWithoutProgress >= kDrainStallTicks;
    if (silent || stalled) {
      LogLine(3, [&] {
        return Cat("{VOK} <AX25Disconnect> Channel(", id, ") ",
                   silent ? "engine does not report its frames" : "no progress", ", disconnecting");
      });
      FinishDrain(id);
    } else if (!AskFrames(*link)) {
      FinishDrain(id);
    }
  }
  MeterTick();
  bool any = false;
  for (const auto& link : links_) any = any || link->draining || Metered(*link);
  if (!any && drainTimer_) drainTimer_->SetEnabled(false);
}

void TVOKAPI::QuickDrainTick() {
  // Ids first, as in DrainTick. Only links whose last question has its
  // answer: an engine that is slow to answer is not asked more.
  std::vector<int> due;
  bool any = false;
  for (const auto& link : links_) {
    if (!link->draining) continue;
    any = true;
    if (link->drainAnswered && link->meter.Unanswered() == 0) due.push_back(link->ChannelId);
  }
  if (!any) {
    quickDrainTimer_->SetEnabled(false);
    return;
  }
  for (int id : due) {
    LinkCB* link = links_.FindChannel(id);
    if (link == nullptr || !link->draining) continue;
    if (!AskFrames(*link)) FinishDrain(id);
  }
}

void TVOKAPI::HandleLinkFrames(int port, const Text& from, const Text& to, std::uint32_t count) {
  LogLine(4, [&] { return Cat("{VOK} <OnLinkFrames> Port(", port, ") From(", from, ") To(", to, ") Frames(", count, ")"); });
  LinkCB* link = links_.FindLink(port, from, to);
  if (link == nullptr) return;
  CountOut(*link, count);
  if (!link->draining) return;
  if (count == 0) {
    FinishDrain(link->ChannelId);
    return;
  }
  if (!link->drainAnswered || count < link->drainLeft) link->drainTicksWithoutProgress = 0;
  link->drainAnswered = true;
  link->drainLeft = count;
}

void TVOKAPI::FinishDrain(int channelId) {
  LinkCB* link = links_.FindChannel(channelId);
  if (link == nullptr || !link->draining) return;
  link->draining = false;
  const LinkCB ending = *link;
  LogLine(3, "{VOK} <AX25Disconnect> Disconnect Request Sent");
  if (!SendDisconnect(ending)) {
    Dlte(channelId);
    PostDisconnected(channelId);
  }
}

}  // namespace tw
