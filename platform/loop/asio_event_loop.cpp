#include "platform/loop/asio_event_loop.h"

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>

#include "platform/loop/asio_client_socket.h"
#include "platform/loop/asio_line_client.h"
#include "platform/loop/asio_listen_socket.h"
#include "platform/loop/asio_timer.h"

namespace tw {

struct AsioEventLoop::Impl {
  asio::io_context context;
};

namespace {

// One run of the context. While it lasts it can keep the context from
// running out of work; at its end, normal or by an exception from a
// handler, it leaves the context runnable again: a stop is consumed by the
// run it ended, and letting go of the last piece of work (which stops the
// context too) must not leave it stopped.
class Session {
 public:
  Session(asio::io_context& context, bool keepAlive) : context_(context), work_(context.get_executor()) {
    if (!keepAlive) work_.reset();
  }
  ~Session() {
    work_.reset();
    if (context_.stopped()) context_.restart();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // With the work kept, only a stop makes the context stopped.
  bool Stopped() const { return context_.stopped(); }

 private:
  asio::io_context& context_;
  asio::executor_work_guard<asio::io_context::executor_type> work_;
};

}  // namespace

AsioEventLoop::AsioEventLoop() : impl_(std::make_unique<Impl>()) {}

AsioEventLoop::~AsioEventLoop() = default;

std::unique_ptr<ClientSocket> AsioEventLoop::NewClientSocket() {
  return std::make_unique<AsioClientSocket>(impl_->context);
}

std::unique_ptr<ListenSocket> AsioEventLoop::NewListenSocket() {
  return std::make_unique<AsioListenSocket>(impl_->context);
}

std::unique_ptr<ListenSocket> AsioEventLoop::NewLineClient(const ClientLine& line) {
  return std::make_unique<AsioLineClient>(impl_->context, line);
}

std::unique_ptr<Timer> AsioEventLoop::NewTimer() { return std::make_unique<AsioTimer>(impl_->context); }

void AsioEventLoop::Post(std::function<void()> task) { asio::post(impl_->context, std::move(task)); }

void AsioEventLoop::Run() {
  Session session(impl_->context, true);
  impl_->context.run();
}

void AsioEventLoop::RunUntilIdle() {
  Session session(impl_->context, false);
  impl_->context.run();
}

bool AsioEventLoop::RunFor(std::chrono::milliseconds duration) {
  Session session(impl_->context, true);
  impl_->context.run_for(duration);
  return session.Stopped();
}

bool AsioEventLoop::Poll(std::size_t limit) {
  Session session(impl_->context, true);
  for (std::size_t i = 0; i < limit; ++i) {
    if (impl_->context.poll_one() == 0) break;
  }
  return session.Stopped();
}

bool AsioEventLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  Session session(impl_->context, true);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  bool finished = done();
  while (!finished && !impl_->context.stopped() && std::chrono::steady_clock::now() < deadline) {
    impl_->context.run_one_until(deadline);
    finished = done();
  }
  return finished;
}

void AsioEventLoop::Stop() { impl_->context.stop(); }

asio::io_context& AsioEventLoop::Context() { return impl_->context; }

}  // namespace tw
