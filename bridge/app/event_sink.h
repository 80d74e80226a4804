// The control's events, received as IDispatch::Invoke calls on a sink that
// answers for IID_IVOKAPIXEvents, turned into calls of the bridge's entry
// points. Only the events the bridge uses are taken (OnError, OnReady,
// OnRegister, OnAX25Connect, OnAX25Disconnect, OnAX25Receive), and for the
// log the engine's notices of links ending (OnDisconnect, OnRetryOut) and
// its port list being complete (OnPort); the others are answered S_OK and
// ignored. An event whose arguments do not have the
// declared count and types is refused (DISP_E_BADPARAMCOUNT,
// DISP_E_TYPEMISMATCH) and not passed on.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/com/twcom.hpp"

namespace tw {

// Who receives the events: the bridge core, or a test.
class ControlEvents {
 public:
  virtual ~ControlEvents() = default;
  virtual void OnError() = 0;
  virtual void OnReady(bool fReady) = 0;
  virtual void OnRegister(const std::string& szCall, bool fFlags) = 0;
  virtual void OnAX25Connect(std::int32_t iChannelId) = 0;
  virtual void OnAX25Disconnect(std::int32_t iChannelId) = 0;
  virtual void OnAX25Receive(std::int32_t iChannelId, const std::string& szData) = 0;
  virtual void OnLinkNotice(std::int32_t port, const std::string& from, const std::string& to,
                            const std::string& text) = 0;
  virtual void OnPort() = 0;
};

class EventSink final : public IDispatch {
 public:
  // A new sink with one reference, owned by the result.
  static com::ComPtr<EventSink> Create();

  // Where events go from now on; nullptr drops them (the bridge is gone but
  // the control may still hold the sink). Called on the apartment's thread.
  void SetTarget(ControlEvents* target) { target_ = target; }

  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetTypeInfoCount(UINT* count) override;
  HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
  HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* exception, UINT* argError) override;

 private:
  EventSink() = default;
  ~EventSink() = default;

  std::atomic<ULONG> references_{1};
  ControlEvents* target_ = nullptr;
};

}  // namespace tw
