// TVOKAPI: the property setters that do more than store.
#include "control/component/vokapi.h"
#include "platform/text/text.h"

namespace tw {

namespace {
constexpr int kShortestBeaconInterval = 60000;
}  // namespace

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
  LogLine(3, "{VOK} <SetCallSign>");
  if (active_) {
    LogLine(3, "{VOK} <SetCallSign> Could not change callsign while active");
    return;
  }
  if (!link_) {
    LogLine(1, "{VOK} <SetCallSign> L2 Object not allocated");
    return;
  }
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
  LogLine(3, "{VOK} <SetBeaconCall>");
  if (active_) {
    LogLine(3, "{VOK} <SetBeaconCall> Could not change callsign while active");
    return;
  }
  if (!link_) {
    LogLine(1, "{VOK} <SetBeaconCall> L2 Object not allocated");
    return;
  }
  beaconCall_ = value;
  if (beaconObject_) {
    beaconObject_->Call = value;
    LogLine(3, [&] { return Cat("{VOK} Beacon Call set as (", value, ")"); });
  } else {
    LogLine(1, "{VOK} <SetBeaconCall> L2 Beacon Object not allocated");
  }
}

void TVOKAPI::SetDigiCall(const Text& value) {
  LogLine(3, "{VOK} <SetDigiCall>");
  if (active_) {
    LogLine(3, "{VOK} <SetDigiCall> Could not change callsign while active");
    return;
  }
  if (!link_) {
    LogLine(1, "{VOK} <SetDigiCall> L2 Object not allocated");
    return;
  }
  digiCall_ = value;
  if (digiObject_) {
    digiObject_->DigiCall = value;
    LogLine(3, [&] { return Cat("{VOK} CallSign set to (", value, ")"); });
  } else {
    LogLine(1, "{VOK} <SetDigiCall> L2 Digi Object not allocated");
  }
}

void TVOKAPI::SetBeaconEvery(int value) {
  LogLine(3, "{VOK} <SetBeacon>");
  if (!link_) {
    LogLine(1, "{VOK} <SetBeacon> L2 Object not allocated");
    return;
  }
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
  LogLine(3, "{VOK} <SetKiss>");
  if (!active_) {
    LogLine(3, [&] { return Cat("{VOK} <SetKiss> Property Change Prev(", BoolText(kiss_), ") Now(", BoolText(value), ")"); });
    kiss_ = value;
    return;
  }
  if (!link_) {
    LogLine(1, "{VOK} <SetKiss> L2 Object not allocated");
    return;
  }
  if (value == kiss_) {
    LogLine(1, "{VOK} <SetKiss> Property not changed");
    return;
  }
  kiss_ = value;
  link_->Kiss = value;
  link_->Write(0, 0, 'k', "", "", "");
}

void TVOKAPI::SetMonitor(bool value) {
  LogLine(3, "{VOK} <SetMonitor>");
  if (!active_) {
    LogLine(3, [&] { return Cat("{VOK} <SetMonitor> Property Change Prev(", BoolText(monitor_), ") Now(", BoolText(value), ")"); });
    monitor_ = value;
    return;
  }
  if (!link_) {
    LogLine(1, "{VOK} <SetMonitor> L2 Object not allocated");
    return;
  }
  if (value == monitor_) {
    LogLine(1, "{VOK} <SetMonitor> Property not changed");
    return;
  }
  monitor_ = value;
  link_->SetMonitor(monitorMask_);
}

void TVOKAPI::SetMonitorMask(const Text& value) {
  LogLine(3, "{VOK} <SetMonitorMask>");
  if (!active_) {
    LogLine(3, [&] { return Cat("{VOK} <SetMonitorMask> Property Change Prev(", monitorMask_, ") Now(", value, ")"); });
    monitorMask_ = value;
    return;
  }
  if (!link_) {
    LogLine(1, "{VOK} <SetMonitorMask> L2 Object not allocated");
    return;
  }
  if (value == monitorMask_) {
    LogLine(1, "{VOK} <SetMonitorMask> Property not changed");
    return;
  }
  monitorMask_ = value;
  link_->SetMonitor(value);
}

void TVOKAPI::SetPoll(bool value) {
  LogLine(3, "{VOK} <SetPoll>");
  if (!active_) {
    LogLine(3, [&] { return Cat("{VOK} <SetPoll> Property Change Prev(", BoolText(poll_), ") Now(", BoolText(value), ")"); });
    poll_ = value;
    return;
  }
  if (!link_) {
    LogLine(1, "{VOK} <SetPoll> L2 Object not allocated");
    return;
  }
  if (value == poll_) {
    LogLine(1, "{VOK} <SetPoll> Property not changed");
    return;
  }
  poll_ = value;
  link_->Poll = value;
  if (value) link_->Write(0, 0, 'G', "", "", "");
}

void TVOKAPI::SetRegister(bool value) {
  LogLine(3, "{VOK} <SetRegister>");
  LogLine(3, [&] { return Cat("{VOK} <SetRegister> Property Change Prev(", BoolText(register_), ") Now(", BoolText(value), ")"); });
  if (!active_) {
    register_ = value;
    return;
  }
  if (!link_) {
    LogLine(1, "{VOK} <SetRegister> L2 Object not allocated");
    return;
  }
  if (value == register_) {
    LogLine(1, "{VOK} <SetRegister> No change in property");
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
