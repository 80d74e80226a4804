// TL2Beacon: a timer that sends an unproto identification frame on every
// engine port, highest port first, or hands each port to its owner's handler
// instead. The first cycle goes out as soon as the beacon starts.
//
// Runs on the loop's thread. Handlers may stop or restart the beacon from
// inside a cycle; they must not destroy it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/link/tl2.h"
#include "control/link/trace_log.h"
#include "platform/loop/event_loop.h"
#include "platform/loop/timer.h"

namespace tw {

class TL2Beacon {
 public:
  using TOnPost = std::function<void(TL2* link, int port, const std::string& call,
                                     const std::string& id, const std::string& via,
                                     const std::string& text)>;

  static constexpr int kDefaultInterval = 240000;
  static constexpr std::uint8_t kDefaultPid = 240;

  explicit TL2Beacon(EventLoop& loop);
  ~TL2Beacon();
  TL2Beacon(const TL2Beacon&) = delete;
  TL2Beacon& operator=(const TL2Beacon&) = delete;

  TraceLog& Log() { return log_; }

  // Starting sends the first cycle at once; stopping releases the timer.
  // Asking for the state the beacon is already in does nothing.
  void SetActive(bool active);
  bool Active() const { return active_; }

  // One beacon cycle over the link's ports; the timer's handler.
  void TimerTick();

  // Sends one beacon frame: kind 'M', or 'V' with the digipeater block in
  // front of the text when `via` names a path.
  void Post(TL2* link, int port, const std::string& from, const std::string& to,
            const std::string& via, const std::string& text);

  int Interval = kDefaultInterval;  // milliseconds; read again after every tick
  std::string Text = "*** Beacon ****";
  std::string Id = "ID";
  std::string Call = "NOBODY";
  std::string Via;
  std::uint8_t Pid = kDefaultPid;
  TL2* VOKL2 = nullptr;  // not owned
  TOnPost OnPost;

 private:
  unsigned TimerInterval() const;
  void Cycle();

  EventLoop& loop_;
  TraceLog log_;
  bool active_ = false;
  std::unique_ptr<Timer> timer_;
  // Timers stopped from inside a cycle: the running tick still belongs to
  // one of them, so they are released only when the outermost cycle ends.
  std::vector<std::unique_ptr<Timer>> retired_;
  int tickDepth_ = 0;
};

}  // namespace tw
