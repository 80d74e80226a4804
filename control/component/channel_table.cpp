#include "control/component/channel_table.h"

#include <utility>

namespace tw {

LinkCB* ChannelTable::Add(int port, std::string from, std::string to) {
  if (FindLink(port, from, to) != nullptr) return nullptr;
  auto link = std::make_unique<LinkCB>();
  link->Port = port;
  link->SetCalls(std::move(from), std::move(to));
  link->ChannelId = ++lastChannelId_;
  records_.push_back(std::move(link));
  return records_.back().get();
}

LinkCB* ChannelTable::FindChannel(int channelId) {
  if (channelId == 0) return nullptr;
  for (auto& link : records_) {
    if (link->ChannelId == channelId) return link.get();
  }
  return nullptr;
}

LinkCB* ChannelTable::FindLink(int port, std::string_view a, std::string_view b) {
  // Runs for every data frame. Frames mostly come in runs on one link, and
  // once connected a record holds the calls as the engine spells them: the
  // last record found, compared as spelled, answers most lookups.
  if (lastFound_ < records_.size()) {
    const LinkCB& last = *records_[lastFound_];
    if (last.Port == port && ((last.To == a && last.From == b) || (last.From == a && last.To == b))) {
      return records_[lastFound_].get();
    }
  }
  const std::string_view keyA = UpperCallKey(a);
  const std::string_view keyB = UpperCallKey(b);
  for (std::size_t i = 0; i < records_.size(); ++i) {
    if (SameLink(*records_[i], port, keyA, keyB)) {
      lastFound_ = i;
      return records_[i].get();
    }
  }
  return nullptr;
}

ChannelTable::Removed ChannelTable::Remove(int channelId) {
  for (std::size_t i = 0; i < records_.size(); ++i) {
    if (records_[i]->ChannelId != channelId) continue;
    const Removed where = i > 0 ? Removed::kLater : records_.size() == 1 ? Removed::kOnly : Removed::kFirst;
    records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(i));
    return where;
  }
  return Removed::kNone;
}

ChannelTable::Records ChannelTable::TakeAll() {
  Records taken = std::move(records_);
  records_.clear();
  return taken;
}

}  // namespace tw
