#include "platform/loop/asio_event_loop.h"

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>

#include "platform/loop/asio_client_socket.h"
#include "platform/loop/asio_listen_socket.h"
#include "platform/loop/asio_timer.h"

namespace tw {

struct AsioEventLoop::Impl {
  asio::io_context context;

  // A stop is consumed by the run it ended; the next run starts afresh. The
  // run's work guard goes first: letting go of the last piece of work stops
  // the context too.
  template <class Guard>
  void Finish(Guard& work) {
    work.reset();
    if (context.stopped()) context.restart();
  }
  void Finish() {
    if (context.stopped()) context.restart();
  }
};

AsioEventLoop::AsioEventLoop() : impl_(std::make_unique<Impl>()) {}

AsioEventLoop::~AsioEventLoop() = default;

std::unique_ptr<ClientSocket> AsioEventLoop::NewClientSocket() {
  return std::make_unique<AsioClientSocket>(impl_->context);
}

std::unique_ptr<ListenSocket> AsioEventLoop::NewListenSocket() {
  return std::make_unique<AsioListenSocket>(impl_->context);
}

std::unique_ptr<Timer> AsioEventLoop::NewTimer() { return std::make_unique<AsioTimer>(impl_->context); }

void AsioEventLoop::Post(std::function<void()> task) { asio::post(impl_->context, std::move(task)); }

void AsioEventLoop::Run() {
  auto work = asio::make_work_guard(impl_->context);
  impl_->context.run();
  impl_->Finish(work);
}

void AsioEventLoop::RunUntilIdle() {
  impl_->context.run();
  impl_->Finish();
}

void AsioEventLoop::RunFor(std::chrono::milliseconds duration) {
  auto work = asio::make_work_guard(impl_->context);
  impl_->context.run_for(duration);
  impl_->Finish(work);
}

bool AsioEventLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  auto work = asio::make_work_guard(impl_->context);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  bool finished = done();
  while (!finished && !impl_->context.stopped() && std::chrono::steady_clock::now() < deadline) {
    impl_->context.run_one_until(deadline);
    finished = done();
  }
  impl_->Finish(work);
  return finished;
}

void AsioEventLoop::Stop() { impl_->context.stop(); }

asio::io_context& AsioEventLoop::Context() { return impl_->context; }

}  // namespace tw
