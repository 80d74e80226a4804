#include "tools/loopback_engine/server.h"

#include <array>
#include <asio.hpp>
#include <map>
#include <string>
#include <utility>

#include "platform/text/text.h"

namespace tw::loopback {

namespace {

using asio::ip::tcp;
using SteadyClock = std::chrono::steady_clock;

constexpr std::size_t kReadChunk = 16384;

struct Session {
  explicit Session(tcp::socket s) : socket(std::move(s)) {}
  tcp::socket socket;
  ClientId id = 0;
  std::array<char, kReadChunk> readBuffer{};
  std::string queued;   // waits for the write under way
  std::string writing;  // handed to the socket; empty when no write is under way
  bool closed = false;
};

}  // namespace

struct EngineServer::Impl : std::enable_shared_from_this<EngineServer::Impl> {
  Impl(asio::io_context& io, LoopbackEngine& e, std::uint16_t port, ServerLimits l)
      : engine(e),
        limits(l),
        acceptor(io, tcp::endpoint(asio::ip::address_v4::loopback(), port)),
        timer(io),
        acceptRetry(io),
        start(SteadyClock::now()) {}

  Millis Now() const { return std::chrono::duration_cast<Millis>(SteadyClock::now() - start); }

  void Accept() {
    acceptor.async_accept([self = shared_from_this()](std::error_code ec, tcp::socket socket) {
      self->Accepted(ec, std::move(socket));
    });
  }

  void Accepted(std::error_code ec, tcp::socket socket) {
    if (stopped) return;
    if (!ec) {
      if (sessions.size() >= limits.maxClients) {
        engine.Log().LogLine(1, "{LBE} Too many clients, connection refused");
        socket.close(ec);
      } else {
        socket.set_option(tcp::no_delay(true), ec);
        auto session = std::make_shared<Session>(std::move(socket));
        engine.Tick(Now());
        session->id = engine.Connect();
        sessions.emplace(session->id, session);
        Read(session);
      }
    } else if (ec != asio::error::operation_aborted) {
      // Out of descriptors and the like: try again later instead of spinning.
      engine.Log().LogLine(1, [&] { return Cat("{LBE} Accept failed (", ec.message(), "), retrying"); });
      acceptRetry.expires_after(std::chrono::milliseconds(500));
      acceptRetry.async_wait([self = shared_from_this()](std::error_code waitError) {
        if (!waitError && !self->stopped) self->Accept();
      });
      Flush();
      return;
    }
    Accept();
    Flush();
  }

  void Read(const std::shared_ptr<Session>& session) {
    session->socket.async_read_some(
        asio::buffer(session->readBuffer),
        [self = shared_from_this(), session](std::error_code ec, std::size_t n) {
          if (session->closed) return;
          if (ec) {
            self->Close(session, true);
          } else {
            self->engine.Tick(self->Now());
            if (self->engine.Receive(session->id, std::string_view(session->readBuffer.data(), n))) {
              self->Read(session);
            } else {
              self->Close(session, false);
            }
          }
          self->Flush();
        });
  }

  // Hands the engine's output to the sockets. Dropping a client makes the
  // engine tell that client's peers, hence the loop.
  void Flush() {
    for (auto out = engine.TakeOutput(); !out.empty(); out = engine.TakeOutput()) {
      for (Outgoing& piece : out) {
        auto found = sessions.find(piece.client);
        if (found == sessions.end()) continue;
        std::shared_ptr<Session> session = found->second;
        session->queued += piece.bytes;
        if (session->queued.size() + session->writing.size() > limits.maxBacklog) {
          engine.Log().LogLine(1, [&] { return Cat("{LBE} Client(", session->id, ") reads too slowly, dropped"); });
          Close(session, true);
          continue;
        }
        Write(session);
      }
    }
    ArmTimer();
  }

  void Write(const std::shared_ptr<Session>& session) {
    if (!session->writing.empty() || session->queued.empty()) return;
    std::swap(session->writing, session->queued);
    asio::async_write(session->socket, asio::buffer(session->writing),
                      [self = shared_from_this(), session](std::error_code ec, std::size_t) {
                        if (session->closed) return;
                        session->writing.clear();
                        if (ec) {
                          self->Close(session, true);
                          self->Flush();
                          return;
                        }
                        self->Write(session);
                      });
  }

  void ArmTimer() {
    std::optional<Millis> next = stopped ? std::nullopt : engine.NextDeadline();
    if (next == armedFor) return;
    armedFor = next;
    if (!next) {
      timer.cancel();
      return;
    }
    timer.expires_at(start + *next);
    timer.async_wait([self = shared_from_this()](std::error_code ec) {
      if (ec || self->stopped) return;
      self->armedFor.reset();
      self->engine.Tick(self->Now());
      self->Flush();
    });
  }

  void Close(const std::shared_ptr<Session>& session, bool tellEngine) {
    if (session->closed) return;
    session->closed = true;
    std::error_code ignored;
    session->socket.close(ignored);
    sessions.erase(session->id);
    if (tellEngine) engine.Disconnect(session->id);
  }

  void Stop() {
    if (stopped) return;
    stopped = true;
    std::error_code ignored;
    acceptor.close(ignored);
    timer.cancel();
    acceptRetry.cancel();
    auto all = sessions;
    for (auto& [id, session] : all) Close(session, true);
    engine.TakeOutput();
  }

  LoopbackEngine& engine;
  ServerLimits limits;
  tcp::acceptor acceptor;
  asio::steady_timer timer;
  asio::steady_timer acceptRetry;
  SteadyClock::time_point start;
  std::optional<Millis> armedFor;
  std::map<ClientId, std::shared_ptr<Session>> sessions;
  bool stopped = false;
};

EngineServer::EngineServer(asio::io_context& io, LoopbackEngine& engine, std::uint16_t port,
                           ServerLimits limits)
    : impl_(std::make_shared<Impl>(io, engine, port, limits)) {
  impl_->Accept();
}

EngineServer::~EngineServer() {
  // Handlers still queued on the io_context keep the state alive; stopping
  // makes each of them return without touching the engine.
  impl_->Stop();
}

std::uint16_t EngineServer::Port() const { return impl_->acceptor.local_endpoint().port(); }

void EngineServer::Stop() { impl_->Stop(); }

}  // namespace tw::loopback
