// The engine behind its real TCP server on an ephemeral loopback port, with
// blocking clients on the test's thread and the server on its own.
#include <gtest/gtest.h>
#include <poll.h>

#include <asio.hpp>
#include <chrono>
#include <optional>
#include <thread>

#include "control/link/frame_codec.h"
#include "control/link/frame_reader.h"
#include "tools/loopback_engine/server.h"

namespace tw::loopback {
namespace {

using asio::ip::tcp;
using namespace std::string_literals;

constexpr int kReadTimeoutMs = 5000;

class RunningServer {
 public:
  explicit RunningServer(EngineConfig config, ServerLimits limits = {})
      : engine_(config), server_(io_, engine_, 0, limits), thread_([this] { io_.run(); }) {}
  ~RunningServer() {
    asio::post(io_, [this] { server_.Stop(); });
    thread_.join();
  }
  std::uint16_t Port() const { return port_; }

 private:
  asio::io_context io_;
  LoopbackEngine engine_;
  EngineServer server_;
  std::uint16_t port_ = server_.Port();  // read before the loop thread starts
  std::thread thread_;
};

class Client {
 public:
  explicit Client(std::uint16_t port) : socket_(io_) {
    socket_.connect(tcp::endpoint(asio::ip::address_v4::loopback(), port));
  }

  void Send(int port, char kind, std::string_view from = "", std::string_view to = "",
            std::string_view data = "", std::uint8_t pid = 0) {
    asio::write(socket_, asio::buffer(EncodeFrame(port, pid, kind, from, to, data)));
  }

  // The next frame, or nothing when none comes within the timeout or the
  // server closed the connection.
  std::optional<Frame> Next() {
    while (true) {
      if (auto frame = reader_.Next()) return frame;
      pollfd ready{socket_.native_handle(), POLLIN, 0};
      if (::poll(&ready, 1, kReadTimeoutMs) != 1) return std::nullopt;
      char buffer[4096];
      std::error_code ec;
      std::size_t n = socket_.read_some(asio::buffer(buffer), ec);
      if (ec) return std::nullopt;
      reader_.Append(std::string_view(buffer, n));
    }
  }

  // Waits for the server to close the connection.
  bool Closed() {
    pollfd ready{socket_.native_handle(), POLLIN, 0};
    if (::poll(&ready, 1, kReadTimeoutMs) != 1) return false;
    char byte;
    std::error_code ec;
    socket_.read_some(asio::buffer(&byte, 1), ec);
    return ec == asio::error::eof || ec == asio::error::connection_reset;
  }

  void Close() { socket_.close(); }

 private:
  asio::io_context io_;
  tcp::socket socket_;
  FrameReader reader_;
};

TEST(EngineServer, ClientsConnectExchangeDataAndSeeTheirPeerLeave) {
  RunningServer server(EngineConfig{});
  Client a(server.Port());
  Client b(server.Port());
  a.Send(0, 'R');
  auto version = a.Next();
  ASSERT_TRUE(version);
  EXPECT_EQ(version->data, "\xD5\x07\0\0\x7F\0\0\0"s);

  b.Send(0, 'X', "N0BBB");
  ASSERT_TRUE(b.Next());
  a.Send(1, 'C', "N0AAA", "N0BBB");
  auto with = a.Next();
  auto to = b.Next();
  ASSERT_TRUE(with && to);
  EXPECT_EQ(with->data, "*** CONNECTED With Station N0BBB\r\0"s);
  EXPECT_EQ(to->data, "*** CONNECTED To Station N0AAA\r\0"s);

  std::string data(1000, '\xC0');
  a.Send(1, 'D', "N0AAA", "N0BBB", data, 0xF0);
  std::string got;
  while (got.size() < data.size()) {
    auto piece = b.Next();
    ASSERT_TRUE(piece);
    got += piece->data;
  }
  EXPECT_EQ(got, data);

  a.Close();
  auto gone = b.Next();
  ASSERT_TRUE(gone);
  EXPECT_EQ(gone->data, "*** DISCONNECTED From Station N0AAA\r\0"s);
}

TEST(EngineServer, RetryOutArrivesFromTheTimer) {
  EngineConfig config;
  config.retryDelay = Millis(50);
  RunningServer server(config);
  Client a(server.Port());
  // When it is due is the core's business (tested without sockets); here the
  // server's timer must deliver it at all.
  a.Send(1, 'C', "N0AAA", "NOBODY");
  auto notice = a.Next();
  ASSERT_TRUE(notice);
  EXPECT_EQ(notice->data, "*** DISCONNECTED RETRYOUT With NOBODY\r\0"s);
}

TEST(EngineServer, PacedDataArrivesFromTheTimer) {
  EngineConfig config;
  config.baud = 20400;  // 255 bytes in 100 ms
  RunningServer server(config);
  Client a(server.Port());
  Client b(server.Port());
  b.Send(0, 'X', "N0BBB");
  ASSERT_TRUE(b.Next());
  a.Send(1, 'C', "N0AAA", "N0BBB");
  ASSERT_TRUE(a.Next());
  ASSERT_TRUE(b.Next());

  // Nobody sends anything more: only the server's timer can deliver.
  std::string data(510, '\xC0');
  a.Send(1, 'D', "N0AAA", "N0BBB", data, 0xF0);
  std::string got;
  while (got.size() < data.size()) {
    auto piece = b.Next();
    ASSERT_TRUE(piece);
    got += piece->data;
  }
  EXPECT_EQ(got, data);
}

TEST(EngineServer, BrokenFramingAndClientsBeyondTheLimitAreClosed) {
  ServerLimits limits;
  limits.maxClients = 1;
  RunningServer server(EngineConfig{}, limits);
  Client a(server.Port());
  a.Send(0, 'G');
  ASSERT_TRUE(a.Next());
  Client extra(server.Port());
  EXPECT_TRUE(extra.Closed());

  std::string garbage(36, '\x07');
  a.Send(0, 'R');
  ASSERT_TRUE(a.Next());
  a.Send(0, '\x07', "", "", garbage);
  EXPECT_TRUE(a.Closed());
}

}  // namespace
}  // namespace tw::loopback
