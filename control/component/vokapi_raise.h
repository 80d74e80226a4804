// How TVOKAPI raises a container event. Private to the component's sources.
#pragma once

#include "control/component/vokapi.h"
#include "platform/text/text.h"

namespace tw {

// What a handler throws is logged and stops here: the table update that
// follows an event must still happen.
template <class Event, class... Args>
void TVOKAPI::Raise(std::string_view name, const Event& event, Args&&... args) {
  if (!event) return;
  try {
    event(std::forward<Args>(args)...);
  } catch (...) {
    try {
      LogLine(1, [&] { return Cat("{VOK} Exception on event <", name, ">"); });
    } catch (...) {
      // Nothing is left to do when even the log line fails.
    }
  }
}

}  // namespace tw
