// A listening socket that serves one client at a time on the same object: it
// stops listening while a client is connected and listens again when the
// client leaves. With SetKeepListening it listens on while serving, so that
// the owner refuses (and can report) newcomers itself.
#pragma once

#include <cstddef>
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
  // system takes at once, never waiting). Sources with no newcomers to tell
  // keep this default.
  virtual void RejectWith(std::string_view line) {
    (void)line;
    Reject();
  }
  // "address:port" of the pending connection request; empty when there is
  // none (or the source has no addresses).
  virtual std::string RequestAddress() const { return {}; }
  // Why the last Listen failed, as the system says it ("Address already in
  // use"); empty after a Listen that succeeded, and for sources that name
  // the reason in Place.
  virtual std::string ListenError() const { return {}; }
  virtual void Write(std::string_view bytes) = 0;
  // How many more bytes the client's connection queues; a write beyond it
  // would end the connection. 0 without a client. Sources that never limit
  // what they queue keep this default.
  virtual std::size_t WriteRoom() const { return ClientConnected() ? SIZE_MAX : 0; }
  virtual void CloseClient() = 0;               // drops the client and listens again
  virtual void Close() = 0;                     // stops everything
  virtual bool ClientConnected() const = 0;
  virtual std::uint16_t LocalPort() const = 0;
  // How the log names where the client is served when that is not a TCP
  // port (a terminal line), with the reason after a failed Listen; empty for
  // the TCP socket, which the owner names by its address and port.
  virtual std::string Place() const { return {}; }
  // The connected client's address and port ("127.0.0.1:40312"); empty
  // while none is connected.
  virtual std::string ClientAddress() const = 0;
};

}  // namespace tw
