// Recorders for the notifications of the loop's sockets, and helpers for
// driving a real loop over loopback TCP in bounded time.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/loop/client_socket.h"
#include "platform/loop/listen_socket.h"

namespace tw::testing {

// Generous: only a broken implementation should ever come near it.
inline constexpr std::chrono::milliseconds kPatience{10000};
// How long to keep the loop running to see that something does NOT happen.
inline constexpr std::chrono::milliseconds kQuietSpell{150};

// Every byte value, in an order that depends on the seed, so that lost,
// doubled or reordered chunks show up.
inline std::string Pattern(std::size_t size, unsigned seed = 1) {
  std::string bytes(size, '\0');
  std::uint32_t state = seed * 2654435761u + 12345u;
  for (auto& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(static_cast<unsigned char>(state >> 16));
  }
  return bytes;
}

// A readable verdict on two long byte strings, instead of a megabyte diff.
inline std::string Compare(const std::string& got, const std::string& want) {
  if (got == want) return "same";
  std::size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
  return "got " + std::to_string(got.size()) + " bytes, want " + std::to_string(want.size()) +
         ", first difference at " + std::to_string(i);
}

struct ClientEvents {
  int connected = 0;
  int disconnected = 0;
  std::vector<std::string> errors;
  std::string received;
  int reads = 0;
  std::function<void()> onConnected;
  std::function<void()> onDisconnected;
  std::function<void(std::string_view)> onRead;

  int Notifications() const {
    return connected + disconnected + static_cast<int>(errors.size()) + reads;
  }

  ClientSocket::Handlers Handlers() {
    return {
        [this] {
          ++connected;
          if (onConnected) onConnected();
        },
        [this] {
          ++disconnected;
          if (onDisconnected) onDisconnected();
        },
        [this](const std::string& description) { errors.push_back(description); },
        [this](std::string_view bytes) {
          ++reads;
          received.append(bytes);
          if (onRead) onRead(bytes);
        },
    };
  }
};

struct ServerEvents {
  int requests = 0;
  int closes = 0;
  std::vector<std::string> errors;
  std::string received;
  // What the connection-request handler does; Accept by default.
  std::function<void(ListenSocket&)> onRequest = [](ListenSocket& socket) { socket.Accept(); };
  std::function<void(ListenSocket&)> onClose;

  ListenSocket::Handlers Handlers(ListenSocket& socket) {
    return {
        [this, &socket] {
          ++requests;
          if (onRequest) onRequest(socket);
        },
        [this](std::string_view bytes) { received.append(bytes); },
        [this, &socket] {
          ++closes;
          if (onClose) onClose(socket);
        },
        [this](const std::string& description) { errors.push_back(description); },
    };
  }
};

}  // namespace tw::testing
