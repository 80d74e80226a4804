#include "platform/loop/asio_line_client.h"

#include <cerrno>
#include <utility>

#include <asio/error.hpp>
#include <asio/post.hpp>

namespace tw {

namespace {

// A burst leaves its capacity behind in the queue strings; give it back once
// the queue is idle.
constexpr std::size_t kKeepCapacity = 256 * 1024;

void Release(std::string& buffer) {
  buffer.clear();
  if (buffer.capacity() > kKeepCapacity) std::string().swap(buffer);
}

// How the master of a pseudo-terminal reports that the slave's last holder
// closed it: not an error, the client's way of leaving.
bool SlaveClosed(const std::error_code& ec) {
  return ec.value() == EIO && ec.category() == asio::error::get_system_category();
}

asio::serial_port_base::flow_control::type FlowType(SerialFlow flow) {
  using Flow = asio::serial_port_base::flow_control;
  switch (flow) {
    case SerialFlow::RtsCts:
      return Flow::hardware;
    case SerialFlow::XonXoff:
      return Flow::software;
    case SerialFlow::None:
      break;
  }
  return Flow::none;
}

}  // namespace

AsioLineClient::AsioLineClient(asio::io_context& context, ClientLine line)
    : context_(context),
      line_(std::move(line)),
      port_(context),
      timer_(context),
      self_(std::make_shared<AsioLineClient*>(this)) {}

AsioLineClient::~AsioLineClient() {
  *self_ = nullptr;
  Close();
}

std::string AsioLineClient::Place() const {
  std::string place;
  if (IsPty()) {
    place = "pseudo-terminal " + line_.path;
    if (!pty_.SlaveName().empty()) place += " (" + pty_.SlaveName() + ")";
  } else {
    place = "serial line " + line_.path + " at " + std::to_string(line_.baud) + " baud 8N1, " +
            std::string(SerialFlowText(line_.flow));
  }
  if (!openError_.empty()) return place + ": " + openError_;
  return place + ", no TCP listener";
}

bool AsioLineClient::Listen(std::uint16_t) {
  if (state_ != State::Closed) return true;
  openError_.clear();
  if (IsPty()) {
    openError_ = pty_.Open(line_.path);
    if (!openError_.empty()) return false;
    std::error_code ec;
    port_.assign(pty_.Master(), ec);
    if (ec) {
      openError_ = ec.message();
      pty_.Close();
      return false;
    }
    pty_.HandOverMaster();
    state_ = State::Waiting;
    WaitThenLook(kLookInterval);
    return true;
  }
  openError_ = OpenDevice();
  if (!openError_.empty()) return false;
  state_ = State::Waiting;
  // Offered from the loop, not from inside the owner's call.
  asio::post(context_, [self = self_] {
    AsioLineClient* owner = *self;
    if (owner != nullptr && owner->state_ == State::Waiting) owner->Offer();
  });
  return true;
}

std::string AsioLineClient::OpenDevice() {
  using Base = asio::serial_port_base;
  std::error_code ec;
  port_.open(line_.path, ec);
  if (!ec) port_.set_option(Base::baud_rate(line_.baud), ec);
  if (!ec) port_.set_option(Base::character_size(8), ec);
  if (!ec) port_.set_option(Base::parity(Base::parity::none), ec);
  if (!ec) port_.set_option(Base::stop_bits(Base::stop_bits::one), ec);
  if (!ec) port_.set_option(Base::flow_control(FlowType(line_.flow)), ec);
  if (ec) {
    std::error_code ignored;
    port_.close(ignored);
    return ec.message();
  }
  return {};
}

void AsioLineClient::Offer() {
  state_ = State::Offered;
  auto handler = handlers_.connectionRequest;
  if (handler) {
    handler();
  } else {
    Reject();
  }
}

void AsioLineClient::Accept() {
  if (state_ != State::Offered) return;
  state_ = State::Serving;
  stay_ = std::make_shared<Stay>();
  Pump(stay_);
}

void AsioLineClient::Reject() {
  if (state_ == State::Offered) EndStay(false);
}

void AsioLineClient::Write(std::string_view bytes) {
  if (state_ != State::Serving || bytes.empty()) return;
  const std::shared_ptr<Stay> stay = stay_;
  const std::size_t queued = stay->outbox.size() + stay->sending.size() - stay->sent;
  if (queued > writeLimit_ || bytes.size() > writeLimit_ - queued) {
    // The owner hears of it from the loop, not from inside its Write.
    EndStay(false);
    asio::post(context_, [self = self_] {
      AsioLineClient* owner = *self;
      if (owner == nullptr) return;
      const std::string failure = "send queue full";
      auto error = owner->handlers_.error;
      if (error) error(failure);
      if (*self == nullptr) return;
      auto close = owner->handlers_.close;
      if (close) close();
    });
    return;
  }
  stay->outbox.append(bytes);
  Pump(stay);
}

void AsioLineClient::CloseClient() {
  if (state_ == State::Serving) {
    EndStay(false);
  } else if (state_ == State::Offered) {
    Reject();
  }
}

void AsioLineClient::Close() {
  state_ = State::Closed;
  ++timerGeneration_;
  timer_.cancel();
  if (stay_) std::exchange(stay_, nullptr)->over = true;
  std::error_code ignored;
  port_.close(ignored);
  pty_.Close();
}

// Starts the read and the write the stay calls for.
void AsioLineClient::Pump(const std::shared_ptr<Stay>& stay) {
  if (stay->over) return;
  if (!stay->reading) {
    stay->reading = true;
    port_.async_read_some(asio::buffer(stay->readBuffer),
                          [self = self_, stay](const std::error_code& ec, std::size_t count) {
                            if (*self != nullptr) (*self)->ReadDone(stay, ec, count);
                          });
  }
  if (!stay->writing && (stay->sent < stay->sending.size() || !stay->outbox.empty())) {
    if (stay->sent >= stay->sending.size()) {
      Release(stay->sending);
      stay->sending.swap(stay->outbox);
      stay->sent = 0;
    }
    stay->writing = true;
    // One write at a time, continued here: a write composed of several
    // would carry on after the stay ended.
    port_.async_write_some(asio::buffer(stay->sending.data() + stay->sent, stay->sending.size() - stay->sent),
                           [self = self_, stay](const std::error_code& ec, std::size_t count) {
                             if (*self != nullptr) (*self)->WriteDone(stay, ec, count);
                           });
  }
}

// A far end that closed a pseudo-terminal has simply left; anything else is a
// failure of the line, reported as such.
void AsioLineClient::LeaveOn(const std::error_code& ec) {
  if (IsPty() && SlaveClosed(ec)) {
    Leave(nullptr, true);
  } else {
    const std::string failure = Failure(ec);
    Leave(&failure, false);
  }
}

void AsioLineClient::ReadDone(const std::shared_ptr<Stay>& stay, const std::error_code& ec, std::size_t count) {
  stay->reading = false;
  if (stay->over) return;
  if (ec) {
    LeaveOn(ec);
    return;
  }
  // The handler may destroy this object.
  const auto alive = self_;
  auto handler = handlers_.dataArrival;
  if (handler) handler(std::string_view(stay->readBuffer.data(), count));
  if (*alive != nullptr) Pump(stay);
}

void AsioLineClient::WriteDone(const std::shared_ptr<Stay>& stay, const std::error_code& ec, std::size_t count) {
  stay->writing = false;
  if (stay->over) return;
  if (ec) {
    LeaveOn(ec);
    return;
  }
  stay->sent += count;
  Pump(stay);
}

// Short enough for one log line; the start-up line named the device.
std::string AsioLineClient::Failure(const std::error_code& ec) const {
  if (IsPty()) return ec.message() + " on the pseudo-terminal";
  const auto ms = reopenDelay_.count();
  return ec.message() + " on the serial line; opening it again every " +
         (ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms");
}

void AsioLineClient::EndStay(bool farEndGone) {
  if (stay_) std::exchange(stay_, nullptr)->over = true;
  std::error_code ignored;
  if (IsPty()) {
    port_.cancel(ignored);
    if (farEndGone) {
      // Left behind for nobody; the next client starts clean.
      pty_.DropUnread();
      pty_.ResetSlave();
      state_ = State::Waiting;
    } else {
      state_ = State::Shunned;
    }
    WaitThenLook(kLookInterval);
  } else {
    port_.close(ignored);
    state_ = State::Waiting;
    WaitThenLook(reopenDelay_);
  }
}

// The handlers are copies and `alive` is checked between them, because each
// may change the handlers or the object's state.
void AsioLineClient::Leave(const std::string* failure, bool farEndGone) {
  EndStay(farEndGone);
  const Handlers handlers = handlers_;
  const auto alive = self_;
  if (failure != nullptr && handlers.error) handlers.error(*failure);
  if (*alive == nullptr) return;
  if (handlers.close) handlers.close();
}

void AsioLineClient::WaitThenLook(std::chrono::milliseconds delay) {
  const unsigned generation = ++timerGeneration_;
  timer_.expires_after(delay);
  timer_.async_wait([self = self_, generation](const std::error_code& ec) {
    AsioLineClient* owner = *self;
    if (ec || owner == nullptr || generation != owner->timerGeneration_) return;
    owner->Look();
  });
}

void AsioLineClient::Look() {
  if (!IsPty()) {
    if (state_ != State::Waiting) return;
    if (OpenDevice().empty()) {
      Offer();
    } else {
      WaitThenLook(reopenDelay_);
    }
    return;
  }
  if (state_ == State::Waiting) {
    if (pty_.FarEndOpen()) {
      Offer();
      return;
    }
    pty_.DropUnread();
  } else if (state_ == State::Shunned) {
    if (!pty_.FarEndOpen()) {
      pty_.DropUnread();
      pty_.ResetSlave();
      state_ = State::Waiting;
    }
  } else {
    return;
  }
  WaitThenLook(kLookInterval);
}

}  // namespace tw
