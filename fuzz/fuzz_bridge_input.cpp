// The client's bytes, in random chunks, through the block reader and both
// interpreters (starting in either mode), mixed with the control's events,
// against a control whose every result is random and which re-enters the
// bridge where the real one may. Checks the stream table's consistency and
// the bounds on everything the bridge buffers; and that the block reader
// cuts the same blocks however the bytes are chunked.
#include <cstddef>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bridge/bridge_core.h"
#include "fuzz/fuzz_check.h"
#include "platform/loop/fake_event_loop.h"

namespace {

using tw::fuzz::Require;

class RandomControl : public tw::BridgeControl {
 public:
  explicit RandomControl(std::uint32_t seed) : random_(seed) {}

  void SetPort(int) override {}
  void SetAddress(const std::string&) override {}
  void SetEnabled(bool) override {}
  void SetActive(bool on) override {
    if (!on) EndAll();
  }
  void SetAX25(bool) override {}
  std::string VOKVersion() override { return std::string(Pick(4), '\xC0'); }
  int PortMax() override { return static_cast<int>(Pick(17)); }
  std::vector<std::string> PortNames() override { return std::vector<std::string>(Pick(4), "\xC0"); }
  void VOKRegister(const std::string&) override {}
  void VOKUnRegister(const std::string&) override {}
  std::int32_t AX25Connect(int port, const std::string&, const std::string&, const std::string&) override {
    Require(port >= 1 && port <= 16, "connect on a radio port 1 to 16");
    if (Pick(4) == 0) return 0;
    links.insert(next);
    return next++;
  }
  bool AX25Disconnect(std::int32_t id) override {
    // Sometimes the end is reported at once, from inside the call.
    if (Pick(4) == 0 && links.erase(id) == 1 && core != nullptr) core->OnAX25Disconnect(id);
    return Pick(2) == 0;
  }
  bool AX25Send(std::int32_t, const std::string& data) override {
    Require(!data.empty(), "nothing empty is sent");
    return Pick(3) != 0;
  }
  bool AX25Outstanding(std::int32_t, std::int32_t& frames, std::int32_t& bytes) override {
    if (Pick(3) == 0) return false;
    frames = static_cast<std::int32_t>(Pick(40)) - 2;
    bytes = static_cast<std::int32_t>(Pick(70000)) - 2;
    return true;
  }
  bool AX25Info(std::int32_t, LinkInfo& info) override {
    if (Pick(3) == 0) return false;
    info.iPort = static_cast<std::int32_t>(Pick(18));
    info.szTo = std::string(Pick(12), static_cast<char>(Pick(256)));
    info.szVIA = Pick(2) ? "" : "RELAY";
    return true;
  }

  void EndAll() {
    const std::set<std::int32_t> ended = std::exchange(links, {});
    for (std::int32_t id : ended) {
      if (core != nullptr) core->OnAX25Disconnect(id);
    }
  }
  unsigned Pick(unsigned n) { return static_cast<unsigned>(random_() % n); }

  tw::BridgeCore* core = nullptr;
  std::set<std::int32_t> links;
  std::int32_t next = 1;

 private:
  std::minstd_rand random_;
};

struct NullView : tw::BridgeView {
  void addlog(const std::string& line) override {
    for (char c : line) Require(c >= 0x20 && c < 0x7F, "log lines are printable");
  }
  void ShowMyCall(const std::string&) override {}
  void ShowDefaultPort(const std::string&) override {}
  void ShowAccept(const std::string&) override {}
};

void CheckInvariants(const tw::BridgeCore& core) {
  std::set<std::int32_t> ids;
  for (int s = 1; s <= tw::kStreamCount; ++s) {
    const tw::Stream& stream = core.Streams()[s];
    const bool free = stream.strmstate == tw::StreamState::Disconnected;
    Require(free == (stream.chanid == 0), "a stream holds a link exactly while it is busy");
    if (!free) Require(ids.insert(stream.chanid).second, "no link is held by two streams");
    Require(core.Held().Held(s) <= tw::HeldBlocks::kStreamBudget + tw::HeldBlocks::kDisconnectReserve,
            "held blocks within the budget");
  }
  Require(core.rxbuf().OpenBlock() <= tw::BlockReader::kMaxBlock, "open block bounded");
  Require(core.Terminal().Held().size() < tw::TerminalReader::kMaxHeld, "terminal beginning bounded");
}

std::vector<std::string> Blocks(tw::BlockReader& reader, std::string_view bytes) {
  reader.Append(bytes);
  std::vector<std::string> blocks;
  while (auto block = reader.Next()) blocks.push_back(std::move(*block));
  return blocks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const bool hostMode = (data[0] & 1) != 0;
  std::minstd_rand random(1u + data[1] + 256u * data[2]);
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 3, size - 3);

  tw::FakeEventLoop loop;
  RandomControl control(static_cast<std::uint32_t>(random()));
  NullView view;
  tw::BridgeCore core(loop, control, view);
  control.core = &core;
  Require(core.initvars({"N0CALL", hostMode, {}, {}}).empty(), "starts");
  tw::FakeListenSocket& socket = *loop.listenSockets.at(0);
  socket.ClientConnects();

  tw::BlockReader whole;
  tw::BlockReader pieces;
  const std::vector<std::string> wholeBlocks = Blocks(whole, bytes);
  std::vector<std::string> pieceBlocks;

  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t piece = std::min<std::size_t>(1 + random() % (random() % 2 ? 8 : 300), bytes.size() - at);
    const std::string_view chunk = bytes.substr(at, piece);
    at += piece;
    for (std::string& block : Blocks(pieces, chunk)) pieceBlocks.push_back(std::move(block));
    socket.ClientSends(chunk);

    const std::int32_t id = static_cast<std::int32_t>(1 + random() % static_cast<unsigned>(control.next + 1));
    switch (random() % 12) {
      case 0:
        control.links.insert(id);
        if (id >= control.next) control.next = id + 1;
        core.OnAX25Connect(id);
        break;
      case 1:
        control.links.erase(id);
        core.OnAX25Disconnect(id);
        break;
      case 2:
        core.OnAX25Receive(id, std::string(chunk.substr(0, random() % (chunk.size() + 1))) + std::string(random() % 600, '\xC0'));
        break;
      case 3:
        if (random() % 4 == 0) {
          socket.ClientLeaves();
          socket.ClientConnects();
        }
        break;
      case 4:
        if (random() % 4 == 0) {
          control.EndAll();
          core.OnReady(false);
          core.OnError();
          loop.timers.at(1)->Fire();
          core.OnReady(true);
        }
        break;
      default:
        break;
    }
    CheckInvariants(core);
  }
  Require(pieceBlocks == wholeBlocks, "the same blocks however the bytes are cut");
  Require(pieces.TakeOversized() == whole.TakeOversized(), "the same blocks dropped however the bytes are cut");

  core.Form_Unload();
  CheckInvariants(core);
  Require(core.Held().Empty(), "nothing held after shutdown");
  return 0;
}
