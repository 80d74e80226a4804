#include "tests/integration/recording_link.h"

namespace tw::integration {

namespace {

constexpr std::size_t kMaxTrace = 256 * 1024;

template <class Into>
auto NoteInto(Into& into) {
  return [&into](TL2&, int port, const std::string& station, const std::string& line) {
    into.push_back({port, station, line});
  };
}

template <class Into>
auto LinkNoteInto(Into& into) {
  return [&into](TL2&, int port, const std::string& callFrom, const std::string& callTo,
                 const std::string& line) { into.push_back({port, callFrom, callTo, line}); };
}

}  // namespace

RecordingLink::RecordingLink(EventLoop& loop, std::uint16_t enginePort, const std::string& call)
    : link(loop) {
  link.Log().SetOn(true);
  link.Log().SetLevel(4);
  link.Log().SetSink([this](const std::string& line) {
    if (trace.size() < kMaxTrace) trace += line + "\n";
  });
  link.SetAddress("127.0.0.1");
  link.SetPort(enginePort);
  link.SetCallSign(call);

  link.OnVOKUp = [this](TL2& l) {
    ++ups;
    startup = {};
    if (registerOnUp) l.SetRegister(true);
  };
  link.OnVOKDown = [this](TL2&) { ++downs; };
  link.OnVOKError = [this](TL2&) { ++errors; };

  link.OnVersion = [this](TL2&, int major, int minor) { startup.versions.emplace_back(major, minor); };
  link.OnPort = [this](TL2&) { ++startup.portLists; };
  link.OnParameter = [this](TL2&) { ++startup.parameters; };
  link.OnPortFrames = [this](TL2&, int port, int count) { startup.portFrames.emplace_back(port, count); };
  link.OnRegister = [this](TL2&, const std::string& callSign, const std::string& reply) {
    startup.registerReplies.emplace_back(callSign, reply);
  };

  link.OnMyConnect = NoteInto(myConnects);
  link.OnHisConnect = NoteInto(hisConnects);
  link.OnStationConnect = NoteInto(stationConnects);
  link.OnConnect = LinkNoteInto(connects);
  link.OnRetryOut = NoteInto(retryOuts);
  link.OnHisDisconnect = NoteInto(hisDisconnects);
  link.OnMyDisconnect = NoteInto(myDisconnects);
  link.OnStationDisconnect = NoteInto(stationDisconnects);
  link.OnDisconnect = LinkNoteInto(disconnects);

  link.OnData = [this](TL2&, int port, const std::string& callFrom, const std::string& callTo,
                       std::uint8_t pid, const std::string& bytes) {
    data.push_back({port, callFrom, callTo, pid, bytes});
    received += bytes;
  };
  link.OnDataUI = [this](TL2&, int port, const std::string& source, const std::string& destination,
                         std::uint8_t pid, const std::string& info) {
    unproto.push_back({port, source, destination, pid, info});
  };
  link.OnRaw = [this](TL2&, int port, const std::string& frame) { raw.push_back({port, frame}); };
  link.OnRead = [this](TL2&, int port, std::uint8_t, char kind, const std::string& callFrom,
                       const std::string& callTo, const std::string& bytes) {
    arrivals.push_back({port, kind, callFrom, callTo, bytes});
  };
}

bool RecordingLink::Settled() const {
  return link.Connected() && !startup.versions.empty() && startup.portLists > 0 &&
         static_cast<int>(startup.portFrames.size()) >= link.PortMax() &&
         (!registerOnUp || link.Registered());
}

}  // namespace tw::integration
