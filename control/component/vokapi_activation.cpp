// TVOKAPI: activation, deactivation and reconnection.
//
// Activation is wanted from SetActive(true) to SetActive(false); the
// component is Active from the engine's version reply until the link goes
// down. While activation is wanted, a failed attempt or a connection lost
// without being asked for is retried after a pause (an engine that restarts
// needs a few seconds), until the budget in Retry is spent; then OnError.
#include "control/component/vokapi.h"
#include "control/component/vokapi_raise.h"
#include "platform/text/text.h"

namespace tw {

void TVOKAPI::SetActive(bool value) {
  try {
    LogLine(3, "{VOK} <SetActive>");
    LogLine(3, [&] { return Cat("{VOK} <SetActive> Property Change Prev(", BoolText(active_), ") Now(", BoolText(value), ")"); });
    if (!link_) {
      LogLine(1, "{VOK} <SetActive> L2 Object not allocated");
      return;
    }
    // Switching off must also stop an attempt or a retry under way, which
    // the Active flag alone does not show.
    const bool current = value ? active_ : (active_ || wanted_);
    if (value == current) {
      LogLine(1, "{VOK} <SetActive> Property not changed");
      return;
    }
    if (value) {
      Activate();
    } else {
      Deactivate();
    }
  } catch (...) {
    LogLine(1, "{VOK} <SetActive> Exception on Module SetActive");
  }
}

void TVOKAPI::CopyLinkSettings() {
  link_->SetAddress(address_);
  link_->SetPort(port_);
  link_->SetCallSign(callSign_);
  link_->Kiss = kiss_;
  link_->SetMonitor(monitorMask_);
  link_->Poll = poll_;
}

void TVOKAPI::CopyBeaconSettings() {
  beaconObject_->Interval = beaconEvery_;
  beaconObject_->Text = beaconText_;
  beaconObject_->Id = beaconId_;
  beaconObject_->Call = beaconCall_;
  beaconObject_->Via = beaconPath_;
  beaconObject_->Pid = static_cast<std::uint8_t>(beaconPid_ & 0xFF);
}

void TVOKAPI::Activate() {
  LogLine(1, "{VOK} <SetActive> Set to TRUE");
  wanted_ = true;
  // A retry that was waiting is replaced by this attempt, made now.
  if (retryTimer_) retryTimer_->SetEnabled(false);
  CopyLinkSettings();
  retry_ = kRetries;
  CopyBeaconSettings();
  if (OnRead) {
    link_->OnRead = [this](TL2&, int port, std::uint8_t pid, char kind, const std::string& from,
                           const std::string& to, const std::string& data) {
      HandleRead(port, pid, kind, from, to, data);
    };
  }
  if (monitor_) {
    link_->OnMonitor = [this](TL2& link, int port, const std::string& from, const std::string& to,
                              std::uint8_t pid, const std::string& text) {
      HandleMonitor(link, port, from, to, pid, text);
    };
  }
  if (kiss_) {
    link_->OnRaw = [this](TL2& link, int port, const std::string& frame) { HandleRaw(link, port, frame); };
  }
  digiObject_->DigiCall = digiCall_;
  link_->SetCallSign(callSign_);
  LogLine(1, [&] { return Cat("{VOK} <SetActive> Current L2 Status is (", BoolText(link_->Connected()), ")"); });
  link_->SetActive(true);
}

void TVOKAPI::Deactivate() {
  LogLine(1, "{VOK} <SetActive> Set to FALSE");
  wanted_ = false;
  if (retryTimer_) retryTimer_->SetEnabled(false);
  if (ax25Open_) {
    LogLine(4, "{VOK} AX.25 Link Manager Released");
    AX25Close();
  }
  if (beacon_ && beaconObject_) {
    LogLine(4, "{VOK} Beacon Inactivated");
    beaconObject_->SetActive(false);
  }
  if (digi_ && digiObject_) {
    LogLine(4, "{VOK} Digi Inactivated");
    digiObject_->SetActive(false);
  }
  // Also an attempt still connecting: it is aborted.
  LogLine(4, "{VOK} VOKPE Inactivated");
  link_->SetActive(false);
}

void TVOKAPI::ScheduleRetry() {
  if (!wanted_) return;
  if (retry_ > 0) --retry_;
  if (retry_ == 0) {
    Raise("OnError", OnError);
    return;
  }
  if (!retryTimer_) {
    retryTimer_ = loop_.NewTimer();
    retryTimer_->SetHandler([this] { RetryTick(); });
    retryTimer_->SetInterval(kRetryIntervalMs);
  }
  LogLine(3, [&] { return Cat("{VOK} <Reconnect> Next attempt in ", kRetryIntervalMs / 1000, " s, ", int{retry_}, " left"); });
  retryTimer_->SetEnabled(true);
}

void TVOKAPI::RetryTick() {
  retryTimer_->SetEnabled(false);
  if (!wanted_) return;
  LogLine(3, "{VOK} <Reconnect> Attempt");
  link_->SetActive(true);
}

void TVOKAPI::LinkLost() {
  active_ = false;
  portInfo_ = false;
  registeredCalls_.clear();
  reportedCalls_.clear();
  awaitedAnswers_.clear();
  portList_ = false;
  EndEveryChannel();
}

void TVOKAPI::HandleReady() {
  LogLine(3, "{VOK} <OnVOKReady>");
  registeredCalls_.clear();
  reportedCalls_.clear();
  awaitedAnswers_.clear();
  portList_ = false;
  if (register_) RegisterEverywhere(callSign_);
}

void TVOKAPI::HandleVersion(int major, int minor) {
  LogLine(3, "{VOK} <OnVersion>");
  vokVersion_ = Cat(major, ".", minor);
  active_ = true;
  // The engine answered: a later loss starts with the whole budget again.
  retry_ = kRetries;
  Raise("OnReady", OnReady, true);
}

void TVOKAPI::HandleDown() {
  LinkLost();
  LogLine(3, "{VOK} <OnVOKDown> L2 Object is now Active(FALSE)");
  Raise("OnReady", OnReady, false);
  // The engine went away without being asked to (it exited, or restarts).
  ScheduleRetry();
}

void TVOKAPI::HandleError() {
  LogLine(3, "{VOK} <OnVOKError>");
  if (active_) {
    // An error on a link the engine had answered ends it like a loss.
    LinkLost();
    Raise("OnReady", OnReady, false);
  } else {
    EndEveryChannel();
  }
  ScheduleRetry();
}

}  // namespace tw
