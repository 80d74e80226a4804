// An event slot holding one handler. Raising it keeps the handler alive for
// the length of the call, so a handler that replaces or clears its own slot
// (a container re-binding its events from inside one) does not free itself
// mid-call. Cheaper than copying the handler on every raise: data events are
// raised for every frame. One thread only: the count is not atomic.
#pragma once

#include <cstddef>
#include <functional>
#include <type_traits>
#include <utility>

namespace tw {

template <class Signature>
class EventSlot;

template <class... Args>
class EventSlot<void(Args...)> {
 public:
  using Handler = std::function<void(Args...)>;

  EventSlot() = default;
  ~EventSlot() { Release(holder_); }
  EventSlot(const EventSlot&) = delete;
  EventSlot& operator=(const EventSlot&) = delete;

  EventSlot& operator=(std::nullptr_t) {
    Release(std::exchange(holder_, nullptr));
    return *this;
  }

  template <class Callable>
    requires std::is_constructible_v<Handler, Callable&&>
  EventSlot& operator=(Callable&& callable) {
    Handler handler(std::forward<Callable>(callable));
    Holder* fresh = handler ? new Holder{std::move(handler), 1} : nullptr;
    Release(std::exchange(holder_, fresh));
    return *this;
  }

  explicit operator bool() const { return holder_ != nullptr; }

  template <class... Passed>
  void operator()(Passed&&... args) const {
    Holder* holder = holder_;
    if (holder == nullptr) return;
    ++holder->uses;
    struct Done {
      Holder* holder;
      ~Done() { Release(holder); }
    } done{holder};
    holder->handler(std::forward<Passed>(args)...);
  }

 private:
  struct Holder {
    Handler handler;
    int uses;
  };
  static void Release(Holder* holder) {
    if (holder != nullptr && --holder->uses == 0) delete holder;
  }

  Holder* holder_ = nullptr;
};

}  // namespace tw
