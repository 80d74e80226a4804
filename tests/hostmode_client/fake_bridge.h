// A scripted stand-in for the bridge on an ephemeral loopback port, served
// from a thread of its own: it plays the terminal dialogue and answers a
// few host-mode blocks the way the bridge does, recording what it got.
#pragma once

#include <asio.hpp>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/hostmode_client/block_reader.h"

namespace tw::hostmode::testing {

enum class Behaviour {
  Bridge,         // the dialogue, then host mode
  Silent,         // accepts and never answers
  NoResetAnswer,  // answers the prompts but not RESET
  CloseAtOnce,    // closes right after accepting
  LastWords,      // as Bridge; when the client ends its side, one more data block, then close
};

class FakeBridge {
 public:
  explicit FakeBridge(Behaviour behaviour = Behaviour::Bridge);
  ~FakeBridge();

  std::uint16_t Port() const { return port_; }

  // The bytes the client sent before host mode, and the blocks after.
  std::string TerminalBytes();
  std::vector<HostBlock> Blocks();

  // Waits until the client has closed the connection.
  bool WaitClientGone(std::chrono::seconds timeout);

 private:
  void Serve();
  void Talk();
  void Take(std::string_view bytes);
  void Terminal(std::string_view bytes);
  void Block(const HostBlock& block);
  void Write(std::string_view bytes);

  Behaviour behaviour_;
  asio::io_context io_;
  asio::ip::tcp::acceptor acceptor_;
  asio::ip::tcp::socket socket_;
  std::uint16_t port_;
  std::atomic<bool> stop_{false};
  bool hostMode_ = false;
  std::string line_;  // terminal bytes since the last CR
  BlockReader reader_;
  std::mutex mutex_;
  std::string terminal_;
  std::vector<HostBlock> blocks_;
  std::condition_variable servedChanged_;
  bool served_ = false;
  std::thread thread_;  // last: starts once everything else is there
};

}  // namespace tw::hostmode::testing
