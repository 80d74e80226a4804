// A TVOKAPI on the fake loop, with its events recorded as text in the order
// they came and the engine's side of the socket at hand.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "control/component/vokapi.h"
#include "platform/loop/fake_event_loop.h"
#include "tests/link/link_harness.h"

namespace tw::testing {

// The engine's version reply for 2005.127.
inline std::string VersionReply() {
  std::string data(8, '\0');
  data[0] = static_cast<char>(2005 & 0xFF);
  data[1] = static_cast<char>(2005 >> 8);
  data[4] = 127;
  return InFrame('R', 1, data);
}

inline std::string Count32(std::uint32_t n) {
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i) data[static_cast<std::size_t>(i)] = static_cast<char>((n >> (8 * i)) & 0xFF);
  return data;
}

class ComponentHarness {
 public:
  static constexpr const char* kOwn = "N0CALL";

  ComponentHarness() {
    api.OnReady = [this](bool ready) { Note(ready ? "OnReady(true)" : "OnReady(false)"); };
    api.OnError = [this] { Note("OnError"); };
    api.OnConnect = [this](int port, const std::string& from, const std::string& to, const std::string&) {
      Note("OnConnect(" + std::to_string(port) + "," + from + "," + to + ")");
    };
    api.OnDisconnect = [this](int port, const std::string& from, const std::string& to, const std::string&) {
      Note("OnDisconnect(" + std::to_string(port) + "," + from + "," + to + ")");
    };
    api.OnRegister = [this](const std::string& call, bool ok) {
      Note("OnRegister(" + call + (ok ? ",true)" : ",false)"));
    };
    api.OnAX25Connect = [this](int id) {
      Note("OnAX25Connect(" + std::to_string(id) + ")");
      if (onConnect) onConnect(id);
    };
    api.OnAX25Disconnect = [this](int id) {
      Note("OnAX25Disconnect(" + std::to_string(id) + ")");
      if (onDisconnect) onDisconnect(id);
    };
    api.OnAX25Receive = [this](int id, const std::string& data) {
      Note("OnAX25Receive(" + std::to_string(id) + "," + std::to_string(data.size()) + ")");
      received += data;
    };
  }

  FakeClientSocket& Socket() { return *loop.clientSockets.at(0); }

  // Active, with the channel table open and the engine's answers to the
  // start-up requests given: `ports` radio ports.
  void BringUp(int ports = 2) {
    api.SetCallSign(kOwn);
    api.SetActive(true);
    api.SetAX25(true);
    Socket().CompleteConnect();
    std::string list = std::to_string(ports) + ";";
    for (int p = 1; p <= ports; ++p) list += "Port" + std::to_string(p) + " radio;";
    Engine(InFrame('G', 1, list));
    Engine(VersionReply());
    for (int p = 1; p <= ports; ++p) Engine(InFrame('y', p, Count32(0)));
    Socket().writes.clear();
    events.clear();
  }

  void Engine(const std::string& bytes) { Socket().Receive(bytes); }

  // The engine reports a link: `remote` is in call-from, as engines send it.
  void EngineConnects(const std::string& remote, int port = 1, const std::string& own = kOwn) {
    Engine(InFrame('C', port, "*** CONNECTED With Station " + remote + "\r", remote, own));
  }
  void EngineDisconnects(const std::string& remote, int port = 1, const std::string& own = kOwn) {
    Engine(InFrame('d', port, "*** DISCONNECTED From Station " + remote + "\r", remote, own));
  }
  void EngineData(const std::string& remote, const std::string& data, int port = 1,
                  const std::string& own = kOwn) {
    Engine(InFrame('D', port, data, remote, own, 0xF0));
  }

  // The frames written since the last call.
  std::vector<Frame> Sent() {
    std::vector<Frame> frames;
    FrameReader reader;
    for (const std::string& write : Socket().writes) reader.Append(write);
    Socket().writes.clear();
    while (auto frame = reader.Next()) frames.push_back(std::move(*frame));
    return frames;
  }
  std::string SentKinds() {
    std::string kinds;
    for (const Frame& f : Sent()) kinds.push_back(f.header.kind);
    return kinds;
  }

  void Note(const std::string& event) { events.push_back(event); }
  std::string Events() const {
    std::string all;
    for (const auto& e : events) all += (all.empty() ? "" : " ") + e;
    return all;
  }

  FakeTimer* TimerWithInterval(unsigned ms) {
    for (FakeTimer* t : loop.timers) {
      if (t->Interval() == ms) return t;
    }
    return nullptr;
  }
  // Fires the component's timer of that interval; a missing one fails the test.
  void Fire(unsigned ms) {
    FakeTimer* timer = TimerWithInterval(ms);
    if (timer == nullptr) {
      ADD_FAILURE() << "no timer of " << ms << " ms";
      return;
    }
    timer->Fire();
  }

  FakeEventLoop loop;
  TVOKAPI api{loop};
  std::vector<std::string> events;
  std::string received;
  std::function<void(int)> onConnect;
  std::function<void(int)> onDisconnect;
};

}  // namespace tw::testing
