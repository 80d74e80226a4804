#include "control/component/link_cb.h"

#include "platform/text/text.h"

namespace tw {

std::string_view UpperCallKey(std::string_view call) { return BareCall(call); }

void LinkCB::SetCalls(std::string from, std::string to) {
  fromKey = StationKey(from);
  toKey = StationKey(to);
  From = std::move(from);
  To = std::move(to);
}

bool SameLink(const LinkCB& link, int port, std::string_view keyA, std::string_view keyB) {
  return link.Port == port &&
         ((link.fromKey == keyA && link.toKey == keyB) || (link.fromKey == keyB && link.toKey == keyA));
}

}  // namespace tw
