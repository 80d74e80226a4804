// TVOKAPI: the property setters that do more than store.
#include "control/component/vokapi.h"
#include "platform/text/text.h"

namespace tw {

namespace {
constexpr int kShortestBeaconInterval = 60000;

std::string Shown(bool value) { return BoolText(value); }
const std::string& Shown(const std::string& value) { return value; }
}  // namespace

// What a setter checks before it changes anything, and how its trace lines
// name it.
struct TVOKAPI::SetterRule {
  enum When {
    kBeforeActivation,  // refused while active: the engine link took the value when activated
    kTellsTheLink,      // stored while inactive; while active a change goes to the engine link too
    kAnyTime,
  };
  std::string_view tag;  // the setter as the trace names it
  When when;
  // kTellsTheLink: the old and new value are traced while active too.
  bool tracedWhileActive = false;
  std::string_view unchanged = "Property not changed";
};

// The checks, in the order the trace tells of them. True: the caller stores
// `value` and passes it on. A property that tells the link is stored here
// while the component is inactive, with nothing to pass on.
template <class T>
bool TVOKAPI::MayChange(const SetterRule& rule, T& stored, const T& value) {
  LogLine(3, [&] { return Cat("{VOK} <", rule.tag, ">"); });
  if (rule.when == SetterRule::kBeforeActivation && active_) {
    LogLine(3, [&] { return Cat("{VOK} <", rule.tag, "> Could not change callsign while active"); });
    return false;
  }
  if (rule.when == SetterRule::kTellsTheLink) {
    auto traceChange = [&] {
      LogLine(3, [&] {
        return Cat("{VOK} <", rule.tag, "> Property Change Prev(", Shown(stored), ") Now(", Shown(value), ")");
      });
    };
    if (rule.tracedWhileActive) traceChange();
    if (!active_) {
      if (!rule.tracedWhileActive) traceChange();
      stored = value;
      return false;
    }
  }
  if (!link_) {
    LogLine(1, [&] { return Cat("{VOK} <", rule.tag, "> L2 Object not allocated"); });
    return false;
  }
  if (rule.when == SetterRule::kTellsTheLink && value == stored) {
    LogLine(1, [&] { return Cat("{VOK} <", rule.tag, "> ", rule.unchanged); });
    return false;
  }
  return true;
}

void TVOKAPI::SetDebug(bool value) {
  LogLine(3, "{VOK} <SetDebug>");
  if (value == trace_.On()) {
    LogLine(1, "{VOK} <SetDebug> Property not changed");
    return;
  }
  trace_.SetOn(value);
  if (value) trace_.TruncateFile();
}

void TVOKAPI::SetCallSign(const Text& value) {
  if (!MayChange({"SetCallSign", SetterRule::kBeforeActivation}, callSign_, value)) return;
  callSign_ = value;
  LogLine(3, [&] { return Cat("{VOK} CallSign set to (", value, ")"); });
  if (!beacon_) {
    beaconCall_ = value;
    LogLine(3, [&] { return Cat("{VOK} Beacon CallSign set to (", value, ")"); });
  }
  if (!digi_) {
    digiCall_ = value;
    LogLine(3, [&] { return Cat("{VOK} Digi CallSign set to (", value, ")"); });
  }
}

void TVOKAPI::SetBeaconCall(const Text& value) {
  if (!MayChange({"SetBeaconCall", SetterRule::kBeforeActivation}, beaconCall_, value)) return;
  beaconCall_ = value;
  if (beaconObject_) {
    beaconObject_->Call = value;
    LogLine(3, [&] { return Cat("{VOK} Beacon Call set as (", value, ")"); });
  } else {
    LogLine(1, "{VOK} <SetBeaconCall> L2 Beacon Object not allocated");
  }
}

void TVOKAPI::SetDigiCall(const Text& value) {
  if (!MayChange({"SetDigiCall", SetterRule::kBeforeActivation}, digiCall_, value)) return;
  digiCall_ = value;
  if (digiObject_) {
    digiObject_->DigiCall = value;
    LogLine(3, [&] { return Cat("{VOK} CallSign set to (", value, ")"); });
  } else {
    LogLine(1, "{VOK} <SetDigiCall> L2 Digi Object not allocated");
  }
}

void TVOKAPI::SetBeaconEvery(int value) {
  if (!MayChange({"SetBeacon", SetterRule::kAnyTime}, beaconEvery_, value)) return;
  if (value < kShortestBeaconInterval) {
    LogLine(1, "{VOK} <SetBeacon> Beacon Timer too short (must be > 60000)");
    return;
  }
  beaconEvery_ = value;
  if (beaconObject_) {
    beaconObject_->Interval = value;
    LogLine(3, [&] { return Cat("{VOK} Beacon set every (", value, ")"); });
  } else {
    LogLine(1, "{VOK} <SetBeacon> L2 Beacon Object not allocated");
  }
}

void TVOKAPI::SetKiss(bool value) {
  if (!MayChange({"SetKiss", SetterRule::kTellsTheLink}, kiss_, value)) return;
  kiss_ = value;
  link_->Kiss = value;
  link_->Write(0, 0, 'k', "", "", "");
}

void TVOKAPI::SetMonitor(bool value) {
  if (!MayChange({"SetMonitor", SetterRule::kTellsTheLink}, monitor_, value)) return;
  monitor_ = value;
  link_->SetMonitor(monitorMask_);
}

void TVOKAPI::SetMonitorMask(const Text& value) {
  if (!MayChange({"SetMonitorMask", SetterRule::kTellsTheLink}, monitorMask_, value)) return;
  monitorMask_ = value;
  link_->SetMonitor(value);
}

void TVOKAPI::SetPoll(bool value) {
  if (!MayChange({"SetPoll", SetterRule::kTellsTheLink}, poll_, value)) return;
  poll_ = value;
  link_->Poll = value;
  if (value) link_->Write(0, 0, 'G', "", "", "");
}

void TVOKAPI::SetRegister(bool value) {
  if (!MayChange({"SetRegister", SetterRule::kTellsTheLink, true, "No change in property"}, register_, value)) {
    return;
  }
  register_ = value;
  if (value) {
    RegisterEverywhere(callSign_);
  } else {
    VOKUnRegister(callSign_);
  }
}

void TVOKAPI::SetAX25(bool value) {
  LogLine(3, [&] { return Cat("{VOK} <SetAX25> Prev(", BoolText(ax25Open_), ") Now(", BoolText(value), ")"); });
  if (value == ax25Open_) {
    LogLine(4, "{VOK} <SetAX25> No changes made on property");
    return;
  }
  if (value) {
    AX25Open();
  } else {
    AX25Close();
  }
}

}  // namespace tw
