#include "bridge/status/status_server.h"

#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <httplib.h>

#include "bridge/status/status_html.h"
#include "bridge/status/status_json.h"

namespace tw {

namespace {

// Two threads answer; a page is small and built in no time.
constexpr std::size_t kThreads = 2;
constexpr time_t kTimeoutSeconds = 5;

}  // namespace

struct StatusServer::Impl {
  httplib::Server server;
  std::thread thread;
  std::atomic<bool> ended{false};
};

StatusServer::StatusServer(const StatusBoard& board, std::string version) : impl_(std::make_unique<Impl>()) {
  httplib::Server& server = impl_->server;
  server.new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
  // The library's default also sets SO_REUSEPORT, which would let a second
  // program bind the same port and take half of the requests. Only what a
  // quick restart needs: the old connections' TIME_WAIT does not block.
  server.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  server.set_read_timeout(kTimeoutSeconds);
  server.set_write_timeout(kTimeoutSeconds);
  server.set_keep_alive_max_count(20);
  server.set_payload_max_length(1024);
  server.set_default_headers({{"Cache-Control", "no-store"}});
  server.Get("/", [&board, version](const httplib::Request&, httplib::Response& response) {
    response.set_content(StatusHtml(*board.Latest(), version), "text/html; charset=utf-8");
  });
  server.Get("/status.json", [&board, version](const httplib::Request&, httplib::Response& response) {
    response.set_content(StatusJson(*board.Latest(), version), "application/json");
  });
}

StatusServer::~StatusServer() { Stop(); }

std::string StatusServer::Start(const std::string& address, std::uint16_t port) {
  httplib::Server& server = impl_->server;
  if (impl_->thread.joinable()) return "already serving";
  errno = 0;
  const int bound = port == 0 ? server.bind_to_any_port(address) : (server.bind_to_port(address, port) ? port : -1);
  if (bound <= 0) {
    const int cause = errno;
    return cause == 0 ? std::string("cannot bind") : std::string(std::strerror(cause));
  }
  port_ = static_cast<std::uint16_t>(bound);
  impl_->thread = std::thread([impl = impl_.get()] {
    impl->server.listen_after_bind();
    impl->ended = true;
  });
  return {};
}

void StatusServer::Stop() {
  if (!impl_->thread.joinable()) return;
  // A stop before the server thread is running would be missed.
  while (!impl_->ended && !impl_->server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (!impl_->ended) impl_->server.stop();
  impl_->thread.join();
}

}  // namespace tw
