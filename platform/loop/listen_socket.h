// A listening socket that serves one client at a time on the same object: it
// stops listening while a client is connected and listens again when the
// client leaves. With SetKeepListening it listens on while serving, so that
// the owner refuses (and can report) newcomers itself.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tw {

class ListenSocket {
 public:
  struct Handlers {
    std::function<void()> connectionRequest;  // call Accept() to take the client
    std::function<void(std::string_view bytes)> dataArrival;
    std::function<void()> close;  // the client left
    std::function<void(const std::string& description)> error;
  };

  virtual ~ListenSocket() = default;

  virtual void SetHandlers(Handlers handlers) = 0;
  // The address the next Listen binds; "0.0.0.0" (every interface) unless set.
  virtual void SetLocalAddress(std::string address) = 0;
  // Keepalive probes on each accepted client connection, so that a client
  // whose machine or network vanished is noticed (within about two minutes)
  // instead of holding the connection for ever.
  virtual void SetKeepAlive(bool on) = 0;
  // On: newcomers while a client is served are raised as connectionRequest
  // (ClientConnected() still true); the owner refuses them with Reject, and
  // Accept refuses them too. Off (the default): the system refuses them.
  virtual void SetKeepListening(bool on) = 0;
  virtual bool Listen(std::uint16_t port) = 0;  // false when the port cannot be bound
  virtual void Accept() = 0;                    // takes the pending connection request
  virtual void Reject() = 0;                    // refuses it and keeps listening
  // Refuses it as Reject does, telling it `line` first (best effort: what the
  // system takes at once, never waiting).
  virtual void RejectWith(std::string_view line) = 0;
  // "address:port" of the pending connection request, else of the client
  // served; empty when there is neither.
  virtual std::string PeerAddress() const = 0;
  // Why the last Listen failed, as the system says it ("Address already in
  // use"); empty after a Listen that succeeded.
  virtual std::string ListenError() const = 0;
  virtual void Write(std::string_view bytes) = 0;
  virtual void CloseClient() = 0;               // drops the client and listens again
  virtual void Close() = 0;                     // stops everything
  virtual bool ClientConnected() const = 0;
  virtual std::uint16_t LocalPort() const = 0;
};

}  // namespace tw
