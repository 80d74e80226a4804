// A mail client's end of a host-mode connection to the bridge, for
// integration tests, benchmarks and the tw-hostmode-client program.
//
// It runs on an Asio io_context of its own, on the caller's thread: every
// call does its I/O before it returns, blocking for at most the timeout it
// is given. A read is always pending, also while a send is under way, so a
// caller that sends a lot while the bridge sends back never deadlocks on
// full socket buffers. One thread drives one session; it is not
// thread-safe, except that other threads may post work to Context().
//
// What arrives is kept until taken: data ("D" blocks) per stream, all
// other blocks in arrival order, text outside blocks as one running text.
// Because the connection is read in order, once a block has been waited
// for, all data sent before it is in Data(). Kept blocks and data stay
// until taken; Connect starts afresh with none.
//
// A typical test:
//
//   HostModeSession client;
//   ASSERT_TRUE(client.Open("127.0.0.1", port)) << client.Error();
//   client.SendCommand('A', "C ECHO");
//   ASSERT_TRUE(client.WaitForStatus('A', "*** CONNECTED to ECHO"));
//   client.SendData('A', payload);
//   ASSERT_TRUE(client.WaitForData('A', payload.size()));
//   EXPECT_EQ(client.Data('A').bytes, payload);
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/hostmode_client/block_reader.h"
#include "tools/hostmode_client/host_block.h"

namespace asio {
class io_context;
}

namespace tw::hostmode {

class HostModeSession {
 public:
  using Millis = std::chrono::milliseconds;
  using Match = std::function<bool(const HostBlock&)>;

  static constexpr Millis kDefaultTimeout{5000};

  struct Options {
    // How long one Send* call may take; after that the connection is
    // closed, since the bridge has stopped reading.
    Millis sendTimeout{30000};
    // Data bytes per "D" block that SendData writes (before escaping).
    std::size_t dataPerBlock = 128;
    // Longest block the reader accepts before dropping it.
    std::size_t maxBlock = BlockReader::kDefaultMaxBlock;
    // False: nothing received is kept (for a caller that only watches
    // OnReceived); WaitFor*, Data and Text then find nothing.
    bool keepReceived = true;
  };

  // What arrived on one stream in "D" blocks.
  struct DataLog {
    Bytes bytes;                   // unescaped, in order
    std::size_t blocks = 0;        // how many blocks carried it
    std::size_t largestBlock = 0;  // data bytes in the largest of them
  };

  HostModeSession();
  explicit HostModeSession(Options options);
  ~HostModeSession();
  HostModeSession(const HostModeSession&) = delete;
  HostModeSession& operator=(const HostModeSession&) = delete;

  // --- The connection. Each returns false on failure, and Error() says why.

  // Opens the TCP connection (host name or address).
  bool Connect(const std::string& host, std::uint16_t port, Millis timeout = kDefaultTimeout);

  // Opens a terminal line instead (a pseudo-terminal's slave or a serial
  // device), as a serial-port program does: read and write, not as the
  // controlling terminal, raw 8-bit bytes.
  bool OpenLine(const std::string& path);

  // Plays the terminal dialogue: CR, waits for "cmd:", "INTFACE HOST" CR,
  // waits for "cmd:", "RESET" CR, waits for FEND FEND "S00" FEND. Each wait
  // may take `stepTimeout`. Blocks that follow the reset answer are kept.
  bool EnterHostMode(Millis stepTimeout = kDefaultTimeout);

  // Connect, then EnterHostMode.
  bool Open(const std::string& host, std::uint16_t port, Millis timeout = kDefaultTimeout);

  // Closes at once; bytes not yet written are lost.
  void Close();

  // Leaves politely: ends the sending side, then reads (and hands to
  // OnReceived) what the bridge still sends until it closes its side, so
  // nothing the bridge wrote is thrown away by this end. False when the
  // bridge did not close within `timeout`; the connection is closed then too.
  bool Leave(Millis timeout = kDefaultTimeout);

  // Connected, and neither side has closed.
  bool IsOpen() const;

  // Waits until the bridge closes the connection.
  bool WaitClosed(Millis timeout = kDefaultTimeout);

  const std::string& Error() const;

  // --- Sending. Each returns once its bytes are written.

  // FEND "C" port stream text FEND; the text is not escaped and must not
  // hold FEND.
  bool SendCommand(char stream, std::string_view text, char port = kStreamPort);

  // The data in "D" blocks on port "1" of `stream`, options.dataPerBlock
  // bytes each, escaped.
  bool SendData(char stream, std::string_view data);

  // FEND what FEND: '?' or 'q'.
  bool SendGlobal(char what);

  // The bytes unchanged, for malformed input and terminal-mode lines.
  bool SendRaw(std::string_view bytes);

  // --- Receiving.

  // The first kept non-data block that matches, taken out of the kept
  // blocks; waits for more until `timeout`. Blocks that do not match stay.
  std::optional<HostBlock> WaitFor(const Match& match, Millis timeout = kDefaultTimeout);

  // An "S" block on port "1" of `stream` whose text starts with `prefix`
  // ("*** CONNECTED to ECHO", "*** DISCONNECTED").
  std::optional<HostBlock> WaitForStatus(char stream, std::string_view prefix, Millis timeout = kDefaultTimeout);

  // A "C" block with this port and stream whose text starts with `prefix`
  // (the empty prefix takes any reply there).
  std::optional<HostBlock> WaitForReply(char port, char stream, std::string_view prefix = {},
                                        Millis timeout = kDefaultTimeout);

  // The kept non-data blocks not yet taken, oldest first; empties the list.
  std::vector<HostBlock> TakeBlocks();

  // Waits until at least `count` data bytes have arrived on `stream` since
  // the last TakeData(stream). False when they did not come in time.
  bool WaitForData(char stream, std::size_t count, Millis timeout = kDefaultTimeout);

  // What arrived on `stream` so far.
  const DataLog& Data(char stream);
  DataLog TakeData(char stream);

  // Waits until `needle` is part of the text received outside blocks (the
  // terminal-mode answers, such as those to FEND "q" FEND). The text is
  // bounded: only its last 64 KiB are kept.
  bool WaitForText(std::string_view needle, Millis timeout = kDefaultTimeout);
  const Bytes& Text() const;

  // Blocks too long for the reader, dropped.
  std::size_t Overflows() const;

  // Every item as it arrives, before it is kept; terminal-mode text during
  // the dialogue included.
  std::function<void(const Received&)> OnReceived;

  // --- For callers that interleave their own work with the connection.

  // Runs the connection until `until` returns true, the connection is
  // gone, or `timeout` passes; returns what `until` returns at the end.
  bool Pump(Millis timeout, const std::function<bool()>& until);

  // Work posted here runs inside Pump, on the caller's thread.
  asio::io_context& Context();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tw::hostmode
