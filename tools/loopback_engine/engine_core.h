// The loopback packet engine without its sockets. Clients are numbers; the
// bytes each one sends go in through Receive, the bytes the engine sends to
// clients come out of TakeOutput, and time moves on only through Tick. The
// same object serves a real TCP server (server.h) and the tests.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/link/frame_codec.h"
#include "control/link/frame_reader.h"
#include "control/link/trace_log.h"
#include "tools/loopback_engine/link_table.h"
#include "tools/loopback_engine/ui_frame.h"

namespace tw::loopback {

// Milliseconds since a fixed, arbitrary start.
using Millis = std::chrono::milliseconds;

inline constexpr std::string_view kEchoCall = "ECHO";
inline constexpr int kMaxPorts = 16;
inline constexpr std::size_t kHeardPerPort = 20;

struct EngineConfig {
  int ports = 2;  // 1 to kMaxPorts
  Millis retryDelay{3000};
  std::size_t maxCallsPerClient = 16;
  std::size_t maxLinksPerClient = 32;  // links and unanswered connects together
  // The radio's pace for connected data, in bits per second: each port sends
  // one data frame after another, baud / 8 bytes of data per second. 0
  // delivers at once.
  std::uint32_t baud = 0;
  std::size_t maxQueuedFrames = 16384;  // data frames waiting per port
};

struct Outgoing {
  ClientId client = 0;
  std::string bytes;
};

// "HH:MM:SS" of the local clock.
std::string LocalTimeOfDay();

class LoopbackEngine {
 public:
  using TimeOfDay = std::function<std::string()>;

  explicit LoopbackEngine(EngineConfig config = {}, TimeOfDay timeOfDay = LocalTimeOfDay);

  ClientId Connect();

  // Handles every complete frame in `bytes`. False when the client broke its
  // frame stream: it has then been disconnected like Disconnect does, and its
  // connection must be closed.
  bool Receive(ClientId client, std::string_view bytes);

  // The client is gone: its links end (their other ends are told) and its
  // call-signs are free again.
  void Disconnect(ClientId client);

  // Moves the engine's clock to `now` and sends the retry-outs and the paced
  // data frames that are due.
  void Tick(Millis now);

  // When Tick next has something to do.
  std::optional<Millis> NextDeadline() const;

  // Everything sent since the last call, in order; consecutive sends to one
  // client are joined.
  std::vector<Outgoing> TakeOutput();

  TraceLog& Log() { return log_; }

  std::size_t ClientCount() const { return clients_.size(); }
  std::size_t LinkCount() const { return links_.Size(); }
  // Bytes a client has sent that do not yet make a complete frame.
  std::size_t BufferedBytes(ClientId client) const;

 private:
  struct Client {
    FrameReader reader;
    bool monitor = false;
    bool raw = false;
    std::size_t calls = 0;
  };
  struct Registration {
    ClientId client = 0;
    std::string call;  // as its client spelled it
  };
  struct PendingConnect {
    ClientId client = 0;
    int port = 0;
    std::string own;
    std::string remote;
    Millis due{0};
  };
  struct Heard {
    std::string call;
    std::string first;
    std::string last;
  };
  // A data frame waiting for its turn on the air (paced ports only).
  struct AirFrame {
    LinkId link = 0;
    bool fromCaller = true;  // sent by the caller's end; else by the called end or the echo station
    std::uint8_t pid = 0;
    std::string data;  // at most 255 bytes
  };
  // One port's transmitter: its frames go out in order, one at a time.
  struct Channel {
    std::deque<AirFrame> frames;
    Millis headDone{0};  // when frames.front() has been sent
  };

  void Handle(ClientId client, Client& state, const Frame& frame);
  void Register(ClientId client, Client& state, const FrameHeader& header);
  void Unregister(ClientId client, Client& state, const FrameHeader& header);
  void ConnectRequest(ClientId client, const FrameHeader& header);
  void DisconnectRequest(ClientId client, const FrameHeader& header);
  void Data(ClientId client, const Frame& frame);
  void Unproto(ClientId client, const FrameHeader& header, const std::vector<std::string>& digis,
               std::string_view info);
  void Raw(ClientId client, const Frame& frame);
  void HeardList(ClientId client, const FrameHeader& header);

  void ScheduleRetryOut(ClientId client, int port, const std::string& own, const std::string& remote);
  std::vector<PendingConnect>::iterator FindPending(ClientId client, int port, std::string_view own,
                                                    std::string_view remote);
  std::size_t LinksHeldBy(ClientId client) const;
  void EndLink(LinkId id, std::optional<ClientId> gone);

  // Pacing: queue a frame on its link's port (`start` is when the port may
  // begin sending it if idle), send the due frames, and drop a link's frames.
  Millis AirTime(std::size_t bytes) const;
  void Transmit(int port, AirFrame frame, Millis start);
  void SendDueFrames();
  void DeliverHead(int port);
  void EchoHeard(int port, std::size_t bytes);
  void DiscardFrames(LinkId id, int port);
  std::uint32_t LinkFrames(ClientId client, int port, std::string_view own, std::string_view remote) const;
  std::uint32_t PortFrames(int port) const;
  void NoteHeard(int port, std::string_view call);
  bool ValidPort(int port) const { return port >= 1 && port <= config_.ports; }

  // One frame whatever its length (replies and notices).
  void Send(ClientId client, int port, std::uint8_t pid, char kind, std::string_view from,
            std::string_view to, std::string_view data);
  // Connected data, cut into pieces of at most 255 bytes like I frames.
  void SendData(ClientId client, int port, std::uint8_t pid, std::string_view from,
                std::string_view to, std::string_view data);
  void Queue(ClientId client, std::string_view bytes);

  EngineConfig config_;
  TimeOfDay timeOfDay_;
  TraceLog log_;
  Millis now_{0};
  ClientId nextClient_ = 1;
  std::map<ClientId, Client> clients_;
  std::map<std::string, Registration> registrations_;  // by call as written
  LinkTable links_;
  std::vector<PendingConnect> pending_;
  std::vector<std::vector<Heard>> heard_;  // by port, index 0 unused
  std::vector<Channel> channels_;          // by port, index 0 unused
  std::vector<Outgoing> output_;
};

}  // namespace tw::loopback
