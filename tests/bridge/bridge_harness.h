// The bridge on the fake loop with a fake control and a recording view; the
// test plays the mail client through the fake listening socket and raises
// the control's events itself.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/bridge_core.h"
#include "platform/text/text.h"
#include "platform/loop/fake_event_loop.h"

namespace tw::testing {

using namespace std::string_literals;

// Records every call as a line; links are kept as the control would keep them.
class FakeControl : public BridgeControl {
 public:
  void SetPort(int port) override { calls.push_back(Cat("Port ", port)); }
  void SetAddress(const std::string& address) override { calls.push_back("Address " + address); }
  void SetEnabled(bool on) override { calls.push_back(Cat("Enabled ", on ? 1 : 0)); }
  void SetActive(bool on) override { calls.push_back(Cat("Active ", on ? 1 : 0)); }
  void SetAX25(bool on) override { calls.push_back(Cat("AX25 ", on ? 1 : 0)); }
  std::string VOKVersion() override { return "1.6"; }
  int PortMax() override { return portMax; }
  std::vector<std::string> PortNames() override { return portNames; }
  void VOKRegister(const std::string& call) override { calls.push_back("VOKRegister " + call); }
  void VOKUnRegister(const std::string& call) override { calls.push_back("VOKUnRegister " + call); }
  std::int32_t AX25Connect(int port, const std::string& from, const std::string& to,
                           const std::string& via) override {
    calls.push_back(Cat("AX25Connect ", port, " ", from, " ", to, " ", via));
    if (refuseConnect) return 0;
    links[nextId] = {port, from, to, via, 1, 0, 0};
    return nextId++;
  }
  bool AX25Disconnect(std::int32_t id) override {
    calls.push_back(Cat("AX25Disconnect ", id));
    return links.contains(id) && !refuseDisconnect;
  }
  bool AX25Send(std::int32_t id, const std::string& data) override {
    calls.push_back(Cat("AX25Send ", id, " ", data));
    return links.contains(id) && !refuseSend;
  }
  // Leaves `info` as it was for an unknown id, as the control may.
  bool AX25Info(std::int32_t id, LinkInfo& info) override {
    const auto link = links.find(id);
    if (link == links.end()) return false;
    info = link->second;
    return true;
  }

  bool AX25Outstanding(std::int32_t id, std::int32_t& frames, std::int32_t& bytes) override {
    const auto held = outstanding.find(id);
    if (!links.contains(id) || held == outstanding.end()) return false;
    frames = held->second.first;
    bytes = held->second.second;
    return true;
  }

  std::string TakeCalls() {
    std::string all;
    for (const std::string& call : calls) all += (all.empty() ? "" : ";") + call;
    calls.clear();
    return all;
  }

  std::vector<std::string> calls;
  std::map<std::int32_t, LinkInfo> links;
  std::map<std::int32_t, std::pair<std::int32_t, std::int32_t>> outstanding;  // frames, bytes
  std::int32_t nextId = 1;
  std::vector<std::string> portNames;
  bool refuseConnect = false;
  bool refuseDisconnect = false;
  bool refuseSend = false;
  int portMax = 4;
};

struct RecordingView : BridgeView {
  void addlog(const std::string& line) override { lines.push_back(line); }
  void ShowMyCall(const std::string& call) override { myCall = call; }
  void ShowDefaultPort(const std::string& text) override { port = text; }
  void ShowAccept(const std::string& text) override { accept = text; }
  void ShowLinksUp(int count) override { linksUp.push_back(count); }

  std::vector<std::string> lines;
  std::string myCall = "(unset)";
  std::string port;
  std::string accept;
  std::vector<int> linksUp;
};

inline std::string Block(std::string_view text) { return "\xC0"s + std::string(text) + "\xC0"; }

class BridgeHarness {
 public:
  // Timers in the order the bridge creates them.
  FakeTimer& ListenRetryTimer() { return *loop.timers.at(0); }
  FakeTimer& SupervisorTimer() { return *loop.timers.at(1); }
  FakeListenSocket& Socket() { return *loop.listenSockets.at(0); }

  void Start(const std::string& commandLine = "N0CALL", bool hostMode = false) {
    ASSERT_EQ(core.initvars({commandLine, hostMode, {}, {}}), "");
    Forget();
  }
  // Started with a client attached, in host mode.
  void StartHost(const std::string& commandLine = "N0CALL") {
    Start(commandLine, true);
    ClientConnects();
  }
  void ClientConnects() {
    Socket().ClientConnects();
    Forget();
  }
  void Forget() {
    control.calls.clear();
    view.lines.clear();
    Socket().writes.clear();
  }

  // What the bridge wrote back to what the client sent.
  std::string Reply(std::string_view bytes) {
    Socket().ClientSends(bytes);
    return Socket().TakeWritten();
  }
  std::string Written() { return Socket().TakeWritten(); }

  // An incoming link on `port` from `remote`, raised by the control.
  std::int32_t Incoming(const std::string& remote, int port = 1) {
    const std::int32_t id = control.nextId++;
    control.links[id] = {port, "N0CALL", remote, "", 4, 0, 0};
    core.OnAX25Connect(id);
    return id;
  }
  // Stream `letter` connected to `remote` by the client.
  std::int32_t Outgoing(char letter, const std::string& remote) {
    const std::int32_t id = control.nextId;
    Reply(Block("C1"s + letter + "C " + remote));
    core.OnAX25Connect(id);
    Forget();
    return id;
  }
  void Ended(std::int32_t id) {
    control.links.erase(id);
    core.OnAX25Disconnect(id);
  }

  bool Logged(std::string_view line) const {
    return std::find(view.lines.begin(), view.lines.end(), line) != view.lines.end();
  }
  StreamState State(int s) const { return core.Streams()[s].strmstate; }

  // Declared before the core, which they must outlive.
  FakeEventLoop loop;
  FakeControl control;
  RecordingView view;
  BridgeCore core{loop, control, view};
};

class BridgeTest : public ::testing::Test, public BridgeHarness {};

}  // namespace tw::testing
