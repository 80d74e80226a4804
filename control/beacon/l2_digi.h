// TL2Digi: finds the next station of a heard frame's digipeater path that has
// not repeated it yet, marks it as repeated in a copy of the frame and hands
// the copy to the owner's handler. It never transmits.
//
// The frame comes from the radio, so every byte read is checked against its
// length. A handler may pass the marked copy back to Post (each pass marks
// one more station); since a path holds at most eight stations, such nesting
// ends after at most nine calls.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "control/link/tl2.h"
#include "control/link/trace_log.h"

namespace tw {

class TL2Digi {
 public:
  // `done` is zero on entry; the handler sets it when it dealt with the frame.
  using TOnDigipeat = std::function<void(TL2Digi& digi, TL2* link, int port,
                                         const std::string& source,
                                         const std::string& destination,
                                         const std::string& station, const std::string& frame,
                                         int& done)>;

  // AX.25 allows at most eight digipeaters in an address field.
  static constexpr std::size_t kMaxDigipeaters = 8;

  TL2Digi();
  ~TL2Digi();
  TL2Digi(const TL2Digi&) = delete;
  TL2Digi& operator=(const TL2Digi&) = delete;

  TraceLog& Log() { return log_; }

  void SetActive(bool active);
  bool Active() const { return active_; }

  // Examines one raw frame (leading byte, destination, source, path, ...).
  // The caller's bytes are never changed. `link` decodes the call-signs; it
  // may be null, and the digipeater then decodes them on its own log.
  void Post(TL2* link, int port, std::string_view frame);

  std::string DigiCall;  // only shown in log lines
  TOnDigipeat OnDigipeat;

 private:
  void Examine(TL2* link, int port, std::string_view frame);
  std::string CallSignAt(TL2* link, std::string_view frame, std::size_t offset);

  TraceLog log_;
  bool active_ = false;
  int depth_ = 0;  // Post calls under way on the stack
};

}  // namespace tw
