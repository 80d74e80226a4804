// The component's channel table: the records of the AX.25 links it knows,
// in the order they were made, found by channel id or by radio port and the
// pair of stations. Ids count up from 1 for the component's whole life and
// are never given out twice, so a container that holds an old id cannot
// reach a newer link by it. The table keeps no trace and raises nothing;
// TVOKAPI tells of what it does.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "control/component/link_cb.h"

namespace tw {

class ChannelTable {
 public:
  // Each record on the heap: a record pointer stays good while other
  // records come and go.
  using Records = std::vector<std::unique_ptr<LinkCB>>;

  // Where a removed record stood, for the trace.
  enum class Removed { kNone, kOnly, kFirst, kLater };

  // A new record for the link on `port` between `from` and `to` (upper
  // case, as for FindLink), with the next id; nullptr, and no id spent,
  // when the table has that link.
  LinkCB* Add(int port, std::string from, std::string to);

  // Id 0 is no channel.
  LinkCB* FindChannel(int channelId);
  // The link on `port` between `a` and `b`, in either direction. `a` and
  // `b` in upper case, as the engine link reports calls.
  LinkCB* FindLink(int port, std::string_view a, std::string_view b);

  Removed Remove(int channelId);
  // Empties the table; the records, in creation order, go to the caller.
  // Their ids stay spent.
  Records TakeAll();

  std::size_t Size() const { return records_.size(); }
  Records::const_iterator begin() const { return records_.begin(); }
  Records::const_iterator end() const { return records_.end(); }

 private:
  Records records_;
  std::size_t lastFound_ = 0;  // where FindLink looks first
  int lastChannelId_ = 0;
};

}  // namespace tw
