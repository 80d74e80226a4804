// TVOKAPI: construction, destruction, the trace and how events are raised.
#include "control/component/vokapi.h"

#include <atomic>

#include "control/component/vokapi_raise.h"
#include "platform/text/text.h"

namespace tw {

namespace {
std::atomic<int> postedWork{0};
}  // namespace

int TVOKAPI::PostedWork() { return postedWork.load(); }

TVOKAPI::TVOKAPI(EventLoop& loop) : loop_(loop) {
  try {
    trace_.SetOn(false);
    trace_.SetLevel(1);
    trace_.SetSink([this](const std::string& line) { DebugSink(line); });

    link_ = std::make_unique<TL2>(loop_);
    link_->Log().SetSwitch("NOT");
    link_->Log().SetLevel(1);
    link_->Log().SetFileName("VOK.LOG");
    CopyLinkSettings();
    link_->SetRegister(register_);
    AttachAlwaysWanted();

    beaconObject_ = std::make_unique<TL2Beacon>(loop_);
    beaconObject_->Log().SetSwitch("NOT");
    beaconObject_->Log().SetLevel(1);
    beaconObject_->Log().SetFileName("VOK.LOG");
    CopyBeaconSettings();
    beaconObject_->VOKL2 = link_.get();
    beaconObject_->OnPost = [this](TL2*, int port, const std::string& call, const std::string& id,
                                   const std::string& via, const std::string& text) {
      HandleBeacon(port, call, id, via, text);
    };

    digiObject_ = std::make_unique<TL2Digi>();
    digiObject_->Log().SetSwitch("NOT");
    digiObject_->Log().SetLevel(1);
    digiObject_->Log().SetFileName("VOK.LOG");
    digiObject_->DigiCall = digiCall_;
    digiObject_->OnDigipeat = [this](TL2Digi&, TL2*, int port, const std::string& source,
                                     const std::string& destination, const std::string& station,
                                     const std::string& frame, int&) {
      HandleDigi(port, source, destination, station, frame);
    };
  } catch (...) {
    LogLine(1, "{VOK} Exception on VOKAPI initialization");
  }
}

void TVOKAPI::ClearEvents() {
#define TW_EVENT_CLEAR(name, dispid, parameters) name = nullptr;
  VOKAPIX_EVENTS(TW_EVENT_CLEAR, VOKAPIX_EVENT_SKIP)
#undef TW_EVENT_CLEAR
}

TVOKAPI::~TVOKAPI() {
  // Nothing may reach the container any more, and nothing this component
  // started may outlive it: posted notices find `alive_` false, the timers
  // go with it, and the link is told to forget its handlers before it closes.
  *alive_ = false;
  TraceLog::Sink none;
  trace_.SetSink(none);
  ClearEvents();
  retryTimer_.reset();
  drainTimer_.reset();
  quickDrainTimer_.reset();
  if (beaconObject_) beaconObject_->SetActive(false);
  if (digiObject_) digiObject_->SetActive(false);
  if (link_) {
    link_->OnConnect = nullptr;
    link_->OnDisconnect = nullptr;
    link_->OnData = nullptr;
    link_->OnDataUI = nullptr;
    link_->OnMonitor = nullptr;
    link_->OnRaw = nullptr;
    link_->OnRead = nullptr;
    link_->OnRegister = nullptr;
    link_->OnVersion = nullptr;
    link_->OnPortFrames = nullptr;
    link_->OnLinkFrames = nullptr;
    link_->OnPort = nullptr;
    link_->OnVOKUp = nullptr;
    link_->OnVOKDown = nullptr;
    link_->OnVOKError = nullptr;
  }
}

void TVOKAPI::AttachAlwaysWanted() {
  TL2& link = *link_;
  link.OnConnect = [this](TL2&, int port, const std::string& from, const std::string& to,
                          const std::string& line) { HandleConnect(port, from, to, line); };
  link.OnDisconnect = [this](TL2&, int port, const std::string& from, const std::string& to,
                             const std::string& line) { HandleDisconnect(port, from, to, line); };
  link.OnData = [this](TL2&, int port, const std::string& from, const std::string& to, std::uint8_t pid,
                       const std::string& data) { HandleData(port, from, to, pid, data); };
  link.OnDataUI = [this](TL2&, int port, const std::string& from, const std::string& to, std::uint8_t pid,
                         const std::string& data) { HandleUnproto(port, from, to, pid, data); };
  link.OnPortFrames = [this](TL2&, int port, int count) { HandlePortFrames(port, count); };
  link.OnPort = [this](TL2&) { HandlePortList(); };
  link.OnLinkFrames = [this](TL2&, int port, const std::string& from, const std::string& to,
                             std::uint32_t count) { HandleLinkFrames(port, from, to, count); };
  link.OnVersion = [this](TL2&, int major, int minor) { HandleVersion(major, minor); };
  link.OnVOKUp = [this](TL2&) { HandleReady(); };
  link.OnVOKDown = [this](TL2&) { HandleDown(); };
  link.OnVOKError = [this](TL2&) { HandleError(); };
  link.OnRegister = [this](TL2&, const std::string& call, const std::string& reply) {
    HandleRegister(call, reply);
  };
}

void TVOKAPI::DebugSink(const std::string& line) {
  // A handler that logs would otherwise recurse without bound.
  if (inDebugEvent_ || !OnDebug) return;
  inDebugEvent_ = true;
  try {
    OnDebug(line);
  } catch (...) {
    // The trace has nowhere else to report a failing trace handler.
  }
  inDebugEvent_ = false;
}

namespace {
// Counts a posted task until it is gone: run, or dropped unrun by a loop
// that ends first. Either way its code belongs to this library.
struct PostedTask {
  PostedTask() { ++postedWork; }
  ~PostedTask() { --postedWork; }
  PostedTask(const PostedTask&) = delete;
  PostedTask& operator=(const PostedTask&) = delete;
};
}  // namespace

void TVOKAPI::Post(std::function<void()> task) {
  std::weak_ptr<bool> alive = alive_;
  auto counted = std::make_shared<PostedTask>();
  loop_.Post([alive, counted, task = std::move(task)] {
    auto flag = alive.lock();
    if (flag && *flag) task();
  });
}

}  // namespace tw
