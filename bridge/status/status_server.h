// The status page's HTTP server, on threads of its own: GET / (the page) and
// GET /status.json, both from the latest snapshot on the board. It reads
// the board and nothing else; it changes nothing anywhere.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "bridge/status/status_board.h"

namespace tw {

// Where the program serves its status page.
struct StatusPageOptions {
  std::string address = "127.0.0.1";
  std::uint16_t port = 8201;  // 0: no status page
};

class StatusServer {
 public:
  StatusServer(const StatusBoard& board, std::string version);
  ~StatusServer();  // stops first
  StatusServer(const StatusServer&) = delete;
  StatusServer& operator=(const StatusServer&) = delete;

  // Binds `address`:`port` (0: a free port, see Port) and starts serving.
  // Returns why it cannot (the system's words when it gave any), empty on
  // success. A port another program holds is refused, never shared.
  std::string Start(const std::string& address, std::uint16_t port);
  std::uint16_t Port() const { return port_; }
  // Ends the connections and waits for the threads; a second call does
  // nothing.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::uint16_t port_ = 0;
};

}  // namespace tw
