// The single-threaded apartment: one event loop per thread that entered it,
// nested entries counted, posts and stops from any thread by apartment id.
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>
#include <utility>

#include "platform/com/runtime.h"
#include "platform/com/twcom.h"
#include "platform/com/twcom.hpp"
#include "platform/loop/asio_event_loop.h"

namespace tw::com::detail {
namespace {

struct Apartment {
  TW_APARTMENT id = 0;
  std::unique_ptr<AsioEventLoop> loop;
  int entries = 0;         // successful CoInitializeEx calls not yet left
  int runDepth = 0;        // loop runs under way on this thread
  bool endAfterRun = false;  // the last entry was left inside a run
  bool ending = false;     // being torn down
};

// Apartments by id, for posts and stops from other threads. An apartment
// leaves this table before its loop is touched by the teardown, so whoever
// finds it under the lock may use its loop while holding the lock.
struct Directory {
  std::mutex mutex;
  std::unordered_map<TW_APARTMENT, Apartment*> live;
  TW_APARTMENT next = 1;
};

// Never destroyed: a post from another thread during exit finds it intact.
Directory& Apartments() {
  static auto* directory = new Directory;
  return *directory;
}

thread_local Apartment* tCurrent = nullptr;

// Ends the apartment: libraries already idle go, then the loop (its pending
// handlers are destroyed unrun, releasing what they hold), then the
// libraries that this made idle.
void End(Apartment* apartment) {
  apartment->ending = true;
  {
    std::lock_guard<std::mutex> lock(Apartments().mutex);
    Apartments().live.erase(apartment->id);
  }
  CoFreeUnusedLibraries();
  {
    // CurrentLoop() is null while the loop is being destroyed.
    std::unique_ptr<AsioEventLoop> dying = std::move(apartment->loop);
    dying.reset();
  }
  CoFreeUnusedLibraries();
  tCurrent = nullptr;
  delete apartment;
}

// Runs `body` on the calling thread's loop, counting the run so that a
// CoUninitialize made inside it waits for its end.
template <class Body>
HRESULT Run(Body&& body) {
  Apartment* apartment = tCurrent;
  if (apartment == nullptr || apartment->ending || !apartment->loop) return CO_E_NOTINITIALIZED;
  ++apartment->runDepth;
  HRESULT hr;
  try {
    hr = body(*apartment->loop);
  } catch (...) {
    hr = E_UNEXPECTED;
  }
  --apartment->runDepth;
  if (apartment->runDepth == 0 && apartment->endAfterRun && apartment->entries == 0) End(apartment);
  return hr;
}

// A TwApartmentPost call: `drop` runs when the call is destroyed unrun.
struct PostedCall {
  PostedCall(TW_CALLBACK run_, TW_CALLBACK drop_, void* context_) : run(run_), drop(drop_), context(context_) {}
  TW_CALLBACK run;
  TW_CALLBACK drop;
  void* context;
  bool pending = false;  // queued and not run
  PostedCall(const PostedCall&) = delete;
  PostedCall& operator=(const PostedCall&) = delete;
  ~PostedCall() {
    if (pending && drop != nullptr) drop(context);
  }
};

}  // namespace

bool ApartmentReady() { return tCurrent != nullptr && !tCurrent->ending && tCurrent->entries > 0; }

}  // namespace tw::com::detail

namespace tw::com {

TWCOM_API tw::EventLoop* CurrentLoop() noexcept {
  return detail::tCurrent != nullptr ? detail::tCurrent->loop.get() : nullptr;
}

}  // namespace tw::com

using tw::com::detail::Apartment;
using tw::com::detail::Apartments;
using tw::com::detail::tCurrent;

extern "C" {

TWCOM_API HRESULT CoInitializeEx(void* reserved, DWORD coInit) {
  constexpr DWORD kKnown = COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE | COINIT_SPEED_OVER_MEMORY;
  if (reserved != nullptr || (coInit & ~kKnown) != 0) return E_INVALIDARG;
  Apartment* apartment = tCurrent;
  if ((coInit & COINIT_APARTMENTTHREADED) == 0) return apartment != nullptr ? RPC_E_CHANGED_MODE : E_NOTIMPL;
  if (apartment != nullptr) {
    if (apartment->ending) return E_UNEXPECTED;
    if (apartment->entries++ > 0) return S_FALSE;
    apartment->endAfterRun = false;  // entered again before the run ended
    return S_OK;
  }
  try {
    auto fresh = std::make_unique<Apartment>();
    fresh->loop = std::make_unique<tw::AsioEventLoop>();
    fresh->entries = 1;
    {
      auto& directory = Apartments();
      std::lock_guard<std::mutex> lock(directory.mutex);
      fresh->id = directory.next++;
      directory.live.emplace(fresh->id, fresh.get());
    }
    tCurrent = fresh.release();
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

TWCOM_API HRESULT CoInitialize(void* reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

TWCOM_API void CoUninitialize(void) {
  Apartment* apartment = tCurrent;
  if (apartment == nullptr || apartment->ending || apartment->entries == 0) return;
  if (--apartment->entries > 0) return;
  if (apartment->runDepth > 0) {
    apartment->endAfterRun = true;
    apartment->loop->Stop();
    return;
  }
  tw::com::detail::End(apartment);
}

TWCOM_API TW_APARTMENT TwCurrentApartment(void) { return tCurrent != nullptr ? tCurrent->id : 0; }

TWCOM_API HRESULT TwCheckApartment(TW_APARTMENT owner) {
  return owner != 0 && tCurrent != nullptr && tCurrent->id == owner ? S_OK : RPC_E_WRONG_THREAD;
}

TWCOM_API HRESULT TwLoopRun(void) {
  return tw::com::detail::Run([](tw::AsioEventLoop& loop) {
    loop.Run();
    return S_OK;
  });
}

TWCOM_API HRESULT TwLoopRunFor(DWORD milliseconds) {
  return tw::com::detail::Run([milliseconds](tw::AsioEventLoop& loop) {
    return loop.RunFor(std::chrono::milliseconds(milliseconds)) ? S_FALSE : S_OK;
  });
}

TWCOM_API HRESULT TwLoopRunOnce(void) {
  return tw::com::detail::Run(
      [](tw::AsioEventLoop& loop) { return loop.Poll(TW_LOOP_RUN_ONCE_LIMIT) ? S_FALSE : S_OK; });
}

TWCOM_API HRESULT TwLoopRunUntil(int (*done)(void* context), void* context, DWORD timeoutMilliseconds) {
  if (done == nullptr) return E_INVALIDARG;
  return tw::com::detail::Run([&](tw::AsioEventLoop& loop) {
    const bool finished =
        loop.RunUntil([&] { return done(context) != 0; }, std::chrono::milliseconds(timeoutMilliseconds));
    return finished ? S_OK : S_FALSE;
  });
}

TWCOM_API HRESULT TwLoopStop(void) {
  if (tCurrent == nullptr || !tCurrent->loop) return CO_E_NOTINITIALIZED;
  tCurrent->loop->Stop();
  return S_OK;
}

TWCOM_API HRESULT TwApartmentStop(TW_APARTMENT apartment) {
  auto& directory = Apartments();
  std::lock_guard<std::mutex> lock(directory.mutex);
  const auto found = directory.live.find(apartment);
  if (found == directory.live.end()) return RPC_E_DISCONNECTED;
  found->second->loop->Stop();
  return S_OK;
}

TWCOM_API HRESULT TwApartmentPost(TW_APARTMENT apartment, TW_CALLBACK run, TW_CALLBACK drop, void* context) {
  if (run == nullptr) return E_INVALIDARG;
  using tw::com::detail::PostedCall;
  try {
    auto call = std::make_shared<PostedCall>(run, drop, context);
    auto& directory = Apartments();
    std::lock_guard<std::mutex> lock(directory.mutex);
    const auto found = directory.live.find(apartment);
    if (found == directory.live.end()) return RPC_E_DISCONNECTED;
    // Set before queuing: the apartment's thread may run it at once.
    call->pending = true;
    try {
      found->second->loop->Post([call] {
        call->pending = false;
        call->run(call->context);
      });
    } catch (...) {
      // Not queued: nobody else sees `call`.
      call->pending = false;
      throw;
    }
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

}  // extern "C"
