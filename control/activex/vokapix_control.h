// TVOKAPIX: the control object. It owns one TVOKAPI, answers IDispatch and
// the dual IVOKAPIX by forwarding to it through the member table, and
// relays the component's events to the container's sink through a
// connection point.
//
// It lives in the apartment that created it and refuses calls from any
// other thread. Every call into the container (an event) holds a reference
// to the control and to the sink, so a container may release either from
// inside its handler.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "control/activex/member_table.h"
#include "control/activex/vokapix.h"
#include "control/component/vokapi.h"
#include "platform/com/twcom.h"
#include "platform/com/twcom.hpp"
#include "platform/com/unknown.hpp"

namespace tw::activex {

class TVOKAPIX;
using TVOKAPIXBase = com::Object<TVOKAPIX, com::Answer<IVOKAPIX, IID_IDispatch, IID_IVOKAPIX>,
                                 com::Answer<IConnectionPointContainer, IID_IConnectionPointContainer>>;

class TVOKAPIX final : public TVOKAPIXBase {
 public:
  // Creates a control in the calling thread's apartment; S_OK with one
  // reference in `*object` for `iid`, or the error (nothing left behind).
  static HRESULT Create(REFIID iid, void** object);

  // Controls alive in this library, for DllCanUnloadNow.
  static int LiveObjects();

  // IDispatch
  HRESULT GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
  HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                 VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

  // IVOKAPIX: every member goes through the member table, like Invoke.
#define TW_DECLARE_GET(name, type) HRESULT get_##name(type* Value) override;
#define TW_DECLARE_PUT(name, type) HRESULT put_##name(type Value) override;
#define TW_DECLARE_METHOD(name, parameters, names) HRESULT name parameters override;
  VOKAPIX_MEMBERS(TW_DECLARE_GET, TW_DECLARE_PUT, TW_DECLARE_METHOD)
#undef TW_DECLARE_GET
#undef TW_DECLARE_PUT
#undef TW_DECLARE_METHOD

  // IConnectionPointContainer
  HRESULT EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
  HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

  // For tests and benchmarks in this library: the wrapped component.
  TVOKAPI& Component() { return *api_; }

 private:
  class Events;

  // Marks a call into the component under way (from the container, or an
  // event out of it): a last Release then defers the destruction.
  class Busy {
   public:
    explicit Busy(TVOKAPIX& control);
    ~Busy();
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

   private:
    TVOKAPIX& control_;
  };

  friend TVOKAPIXBase;
  TVOKAPIX(TW_APARTMENT apartment, EventLoop& loop);
  ~TVOKAPIX();
  // The last reference went.
  void Destroy();

  // Stops every event and lets go of the sink.
  void Detach();
  com::ComPtr<IDispatch> Sink() const;
  void RelayEvents();
  template <class... Args>
  void Fire(DISPID dispid, const Args&... args);

  // The dual interface's calls.
  template <class T>
  HRESULT GetTyped(const Member& member, T* value);
  template <class T>
  HRESULT PutTyped(const Member& member, T value);
  template <class... Args>
  HRESULT CallTyped(const Member& member, Args... args);

  int busy_ = 0;
  TW_APARTMENT apartment_;
  EventLoop& loop_;
  ContainerState container_;
  std::unique_ptr<TVOKAPI> api_;
  std::unique_ptr<Events> events_;  // the connection point
};

}  // namespace tw::activex
