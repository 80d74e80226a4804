// A TL2 on the fake loop, with its trace collected and its socket at hand,
// plus builders for the engine's frames as they travel on the wire.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "control/link/frame_codec.h"
#include "control/link/frame_reader.h"
#include "control/link/tl2.h"
#include "platform/loop/fake_event_loop.h"

namespace tw::testing {

using namespace std::string_literals;

// A 36-byte header written byte by byte, independently of the codec under
// test: `portByte` is the wire byte (port - 1), `length` goes to bytes 28/29.
inline std::string WireHeader(std::uint8_t portByte, char kind, std::uint8_t pid,
                              std::string_view from, std::string_view to, std::size_t length) {
  std::string h(36, '\0');
  h[0] = static_cast<char>(portByte);
  h[4] = kind;
  h[6] = static_cast<char>(pid);
  for (std::size_t i = 0; i < from.size() && i < 10; ++i) h[8 + i] = from[i];
  for (std::size_t i = 0; i < to.size() && i < 10; ++i) h[18 + i] = to[i];
  h[28] = static_cast<char>(length & 0xFF);
  h[29] = static_cast<char>((length >> 8) & 0xFF);
  return h;
}

// A received frame for `port` (one-based, as the link will report it).
inline std::string InFrame(char kind, int port = 1, std::string_view data = {},
                           std::string_view from = {}, std::string_view to = {},
                           std::uint8_t pid = 0) {
  return WireHeader(static_cast<std::uint8_t>(port - 1), kind, pid, from, to, data.size()) +
         std::string(data);
}

inline std::uint8_t ByteAt(std::string_view bytes, std::size_t i) {
  return static_cast<std::uint8_t>(bytes.at(i));
}

// Data whose every byte tells its position, so that a lost or repeated
// slice shows.
inline std::string Numbered(std::size_t n) {
  std::string data(n, '\0');
  for (std::size_t i = 0; i < n; ++i) data[i] = static_cast<char>(i % 251);
  return data;
}

class LinkHarness {
 public:
  static constexpr std::size_t kStampPrefix = 20;  // "YYYY-MM-DD HH:MM:SS "

  LinkHarness() : socket(*loop.clientSockets.at(0)) {
    link.Log().SetSwitch("YES");
    link.Log().SetLevel(5);
    link.Log().SetSink([this](const std::string& line) { lines.push_back(line); });
  }

  // Settings in place, connection up, and what the link sent on connecting
  // (and logged so far) forgotten.
  void Connect(const std::string& callSign = "N0CALL") {
    link.SetAddress("127.0.0.1");
    link.SetCallSign(callSign);
    link.SetActive(true);
    socket.CompleteConnect();
    socket.writes.clear();
    lines.clear();
  }

  // The frames written since the last call, each write cut into frames; a
  // write that is not exactly whole frames fails the test.
  std::vector<Frame> Sent() {
    std::vector<Frame> frames;
    for (const std::string& write : socket.writes) {
      FrameReader reader;
      reader.Append(write);
      while (auto frame = reader.Next()) frames.push_back(std::move(*frame));
      EXPECT_EQ(reader.Buffered(), 0u) << "a write ends inside a frame";
      EXPECT_FALSE(reader.WaitingForData()) << "a write ends inside a frame";
    }
    socket.writes.clear();
    return frames;
  }

  std::string SentKinds() {
    std::string kinds;
    for (const Frame& f : Sent()) kinds.push_back(f.header.kind);
    return kinds;
  }

  void Receive(std::string_view bytes) { socket.Receive(bytes); }

  // Dated lines without their date and time.
  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const std::string& line : lines) {
      if (line.size() >= kStampPrefix && line[0] != ' ') out.push_back(line.substr(kStampPrefix));
    }
    return out;
  }

  bool Logged(std::string_view message) const {
    auto m = Messages();
    return std::find(m.begin(), m.end(), message) != m.end();
  }

  std::size_t CountLogged(std::string_view message) const {
    auto m = Messages();
    return static_cast<std::size_t>(std::count(m.begin(), m.end(), message));
  }

  // Declared before the link: its destructor still writes a line.
  std::vector<std::string> lines;
  FakeEventLoop loop;
  TL2 link{loop};
  FakeClientSocket& socket;
};

}  // namespace tw::testing
