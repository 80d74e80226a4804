#include "control/beacon/l2_beacon.h"

#include <utility>

#include "platform/text/text.h"
#include "control/link/tl2_trap.h"

namespace tw {

TL2Beacon::TL2Beacon(EventLoop& loop) : loop_(loop) {
  log_.SetSwitch("NOT");
  log_.SetLevel(1);
  log_.SetFileName("L2Digi.LOG");
  log_.LogLine(1, "{L2Beacon} L2 Broadcast Object Created");
}

TL2Beacon::~TL2Beacon() {
  if (timer_) {
    timer_->SetEnabled(false);
    timer_.reset();
  }
  retired_.clear();
  log_.LogLine(5, "{L2Beacon} L2 BroadCast Object Released");
}

void TL2Beacon::SetActive(bool active) {
  if (active == active_) return;
  active_ = active;
  if (active) {
    timer_ = loop_.NewTimer();
    timer_->SetHandler([this] { TimerTick(); });
    timer_->SetInterval(TimerInterval());
    timer_->SetEnabled(true);
    TimerTick();
    // The first cycle's handler may already have stopped the beacon.
    if (active_) log_.LogLine(1, "{L2Beacon} L2 BroadCast Object started");
    return;
  }
  if (timer_) {
    timer_->SetEnabled(false);
    if (tickDepth_ > 0) {
      retired_.push_back(std::move(timer_));
    } else {
      timer_.reset();
    }
  }
  log_.LogLine(1, "{L2Beacon} L2 BroadCast Object stopped");
}

void TL2Beacon::TimerTick() {
  ++tickDepth_;
  TL2* link = VOKL2;
  // The handler is the owner's code: whatever it throws stays here, so the
  // loop that delivered the tick never sees it.
  RunTrapped(log_, [&] { Cycle(); }, "{L2Beacon} Exception on module TimerTick");
  if (link != nullptr && timer_) {
    timer_->SetInterval(TimerInterval());
    timer_->SetEnabled(true);
  }
  if (--tickDepth_ == 0) retired_.clear();
}

void TL2Beacon::Cycle() {
  TL2* link = VOKL2;
  if (link == nullptr) {
    log_.LogLine(1, "{L2Beacon} ERROR No L2 Object Assigned (VOKL2 property)");
    return;
  }
  log_.LogLine(4, "{L2Beacon} Beacon Timer Tick");
  // The handler may change the settings while the cycle runs; every port of
  // one cycle gets the same frame.
  const std::string call = Call;
  const std::string id = Id;
  const std::string via = Via;
  const std::string text = Text;
  // A copy of the handler too: it may replace itself.
  const TOnPost handler = OnPost;
  for (int port = link->PortMax(); port >= 1; --port) {
    if (handler) {
      handler(link, port, call, id, via, text);
    } else {
      Post(link, port, call, id, via, text);
    }
  }
}

void TL2Beacon::Post(TL2* link, int port, const std::string& from, const std::string& to,
                     const std::string& via, const std::string& text) {
  RunTrapped(log_, [&] {
    if (link == nullptr) {
      log_.LogLine(1, "{L2Beacon} ERROR Invalid Reference to L2 Object");
      log_.LogHex(5, Text);
      return;
    }
    std::string block;
    if (!via.empty() && !link->BuildVia(via, block)) {
      // A beacon that asked for a path never leaves without it.
      log_.LogLine(1, [&] { return Cat("{L2Beacon} Post refused for Port(", port, "): path can not be sent"); });
      return;
    }
    if (block.empty()) {
      // Also for a path of blanks only: a 'V' frame without its block would
      // make the engine read the text's first byte as the digipeater count.
      link->Write(port, Pid, 'M', from, to, text);
    } else {
      link->Write(port, Pid, 'V', from, to, block.append(text));
    }
    log_.LogLine(4, [&] { return Cat("{L2Beacon} Post Performed for Port(", port, ")"); });
  }, "{L2Beacon} Exception on module Post");
}

unsigned TL2Beacon::TimerInterval() const {
  // An interval of 0 (or less) stops further cycles: the timer never ticks.
  return Interval > 0 ? static_cast<unsigned>(Interval) : 0u;
}

}  // namespace tw
