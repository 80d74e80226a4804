// A listening socket for tests: the test plays the client by raising the
// notifications; what the code under test writes is recorded.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/loop/listen_socket.h"

namespace tw {

class FakeListenSocket : public ListenSocket {
 public:
  void SetHandlers(Handlers handlers) override { handlers_ = std::move(handlers); }
  void SetLocalAddress(std::string address) override { localAddress = std::move(address); }
  void SetKeepAlive(bool on) override { keepAlive = on; }
  void SetKeepListening(bool on) override { keepListening = on; }
  bool Listen(std::uint16_t port) override {
    ++listenCalls;
    if (refuseListen) return false;
    listenError.clear();
    port_ = port;
    listening_ = true;
    return true;
  }
  void Accept() override {
    if (!requestPending_) return;
    if (client_) {
      Reject();
      return;
    }
    requestPending_ = false;
    client_ = true;
    listening_ = false;
  }
  void Reject() override {
    if (requestPending_) ++rejected;
    requestPending_ = false;
  }
  void RejectWith(std::string_view line) override {
    if (requestPending_) farewells.emplace_back(line);
    Reject();
  }
  std::string RequestAddress() const override { return requestPending_ ? requestAddress : std::string(); }
  std::string ListenError() const override { return listenError; }
  void Write(std::string_view bytes) override {
    if (!client_) return;
    writes.emplace_back(bytes);
    writeRoom -= std::min(writeRoom, bytes.size());
  }
  std::size_t WriteRoom() const override { return client_ ? writeRoom : 0; }
  void CloseClient() override {
    client_ = false;
    listening_ = port_ != 0;
  }
  void Close() override {
    client_ = false;
    listening_ = false;
  }
  bool ClientConnected() const override { return client_; }
  std::uint16_t LocalPort() const override { return port_; }
  std::string Place() const override { return place; }
  std::string ClientAddress() const override { return client_ ? clientAddress : std::string(); }

  // The client's side. A newcomer while a client is served reaches the owner
  // only when it keeps listening, as with the real socket.
  void ClientConnects() {
    if (client_ && !keepListening) return;
    requestPending_ = true;
    if (handlers_.connectionRequest) handlers_.connectionRequest();
  }
  void ClientSends(std::string_view bytes) {
    if (client_ && handlers_.dataArrival) handlers_.dataArrival(bytes);
  }
  void ClientLeaves() {
    client_ = false;
    listening_ = true;
    if (handlers_.close) handlers_.close();
  }

  // An I/O error on the client's connection reported without the close that
  // usually follows it: the socket no longer has a client.
  void ClientFails(const std::string& description) {
    client_ = false;
    if (handlers_.error) handlers_.error(description);
  }

  std::string TakeWritten() {
    std::string all;
    for (const auto& w : writes) all += w;
    writes.clear();
    return all;
  }
  bool Listening() const { return listening_; }

  std::vector<std::string> writes;
  // What the client's queue still takes; each write uses it up (a client
  // that reads nothing).
  std::size_t writeRoom = SIZE_MAX;
  bool refuseListen = false;
  std::string localAddress = "0.0.0.0";
  std::string place;  // as a terminal line would name itself
  std::string clientAddress = "127.0.0.1:40312";  // where each client comes from
  bool keepAlive = false;
  bool keepListening = false;
  int listenCalls = 0;
  int rejected = 0;
  std::vector<std::string> farewells;  // lines told to refused newcomers
  std::string requestAddress = "127.0.0.1:40000";  // where a newcomer comes from
  std::string listenError;  // what a refused Listen says (with refuseListen)

 private:
  Handlers handlers_;
  std::uint16_t port_ = 0;
  bool listening_ = false;
  bool client_ = false;
  bool requestPending_ = false;
};

}  // namespace tw
