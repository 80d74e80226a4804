// Runs one operation of the link so that nothing it throws (an event handler's
// exception included) reaches the loop: the error is logged and swallowed.
#pragma once

#include <utility>

#include "control/link/trace_log.h"

namespace tw {

template <class Body, class Message>
bool RunTrapped(TraceLog& log, Body&& body, Message&& message) {
  try {
    std::forward<Body>(body)();
    return true;
  } catch (...) {
    try {
      log.LogLine(1, message);
    } catch (...) {
      // Nothing sensible is left to do when even the log line fails.
    }
    return false;
  }
}

}  // namespace tw
