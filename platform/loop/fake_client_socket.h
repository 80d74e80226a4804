// A client socket for tests: records what is written, and lets the test play
// the network's part by raising the notifications.
#pragma once

#include <string>
#include <vector>

#include "platform/loop/client_socket.h"

namespace tw {

class FakeClientSocket : public ClientSocket {
 public:
  void SetHandlers(Handlers handlers) override { handlers_ = std::move(handlers); }

  void Connect(const std::string& host, std::uint16_t port) override {
    host_ = host;
    port_ = port;
    active_ = true;
    ++connectCalls;
  }
  void Write(std::string_view bytes) override { writes.emplace_back(bytes); }
  void Close() override {
    bool wasConnected = connected_;
    active_ = false;
    connected_ = false;
    ++closeCalls;
    if (wasConnected && handlers_.disconnected) handlers_.disconnected();
  }
  bool Active() const override { return active_; }
  std::string RemoteHost() const override { return host_; }
  std::uint16_t RemotePort() const override { return port_; }

  // The network's side.
  void CompleteConnect() {
    connected_ = true;
    if (handlers_.connected) handlers_.connected();
  }
  void PeerCloses() {
    active_ = false;
    connected_ = false;
    if (handlers_.disconnected) handlers_.disconnected();
  }
  void Fail(const std::string& description = "connection refused") {
    active_ = false;
    connected_ = false;
    if (handlers_.error) handlers_.error(description);
  }
  void Receive(std::string_view bytes) {
    if (handlers_.read) handlers_.read(bytes);
  }

  // Everything written since the last call, joined.
  std::string TakeWritten() {
    std::string all;
    for (const auto& w : writes) all += w;
    writes.clear();
    return all;
  }

  std::vector<std::string> writes;
  int connectCalls = 0;
  int closeCalls = 0;

 private:
  Handlers handlers_;
  std::string host_;
  std::uint16_t port_ = 0;
  bool active_ = false;
  bool connected_ = false;
};

}  // namespace tw
