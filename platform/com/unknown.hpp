// IUnknown for C++ objects, written once: QueryInterface over a list of the
// interfaces an object has and the ids each answers to, and a reference
// count. An object derives from Object<Self, Answer<...>...>, which derives
// from the interfaces; a part that lives and dies with its owner (the
// control's connection point) derives from Part<Answer<...>...>, whose
// references are the owner's.
//
//   class Sink final : public com::Object<Sink, com::Answer<IDispatch, IID_IDispatch, IID_IMyEvents>> {...};
//
// IID_IUnknown is always answered, by the first interface of the list (the
// object's identity). Each answer adds a reference.
#pragma once

#include <atomic>

#include "platform/com/twcom.h"

namespace tw::com {

// Interface `I` of an object, given for any of `ids` (objects of static
// storage with external linkage: the runtime's IID_ constants, or ids made
// with TWCOM_DEFINE_GUID).
template <class I, const IID&... ids>
struct Answer {
  using Interface = I;
  template <class Object>
  static bool Find(Object* object, REFIID riid, void** out) {
    if (!((riid == ids) || ...)) return false;
    *out = static_cast<I*>(object);
    return true;
  }
};

// QueryInterface of `object` over `Answers`: S_OK with a new reference,
// E_NOINTERFACE (and `*out` null), E_POINTER for a null `out`.
template <class First, class... Answers, class Object>
HRESULT QueryOver(Object* object, REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (riid == IID_IUnknown) {
    *out = static_cast<typename First::Interface*>(object);
  } else if (!First::Find(object, riid, out) && !(Answers::Find(object, riid, out) || ...)) {
    return E_NOINTERFACE;
  }
  object->AddRef();
  return S_OK;
}

// A counted object. It is made with one reference (or `references`, 0 for a
// static object); when the last goes, Destroy() runs: this base's deletes
// the object, and Self may declare its own instead (a deferred delete, or
// nothing for a static object). A Release with no reference left does
// nothing and answers 0, so a host that releases once too often cannot make
// a static object look held for ever.
template <class Self, class... Answers>
class Object : public Answers::Interface... {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppvObject) override {
    return QueryOver<Answers...>(this, riid, ppvObject);
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    ULONG held = references_.load();
    while (held > 0 && !references_.compare_exchange_weak(held, held - 1)) {
    }
    if (held != 1) return held > 0 ? held - 1 : 0;
    static_cast<Self*>(this)->Destroy();
    return 0;
  }

 protected:
  explicit Object(ULONG references = 1) : references_(references) {}
  ~Object() = default;
  ULONG References() const { return references_.load(); }
  void Destroy() { delete static_cast<Self*>(this); }

 private:
  std::atomic<ULONG> references_;
};

// An interface object inside another one: its own QueryInterface over
// `Answers`, its AddRef and Release those of `owner`, whom it must not
// outlive.
template <class... Answers>
class Part : public Answers::Interface... {
 public:
  explicit Part(IUnknown& owner) : owner_(owner) {}
  HRESULT QueryInterface(REFIID riid, void** ppvObject) override {
    return QueryOver<Answers...>(this, riid, ppvObject);
  }
  ULONG AddRef() override { return owner_.AddRef(); }
  ULONG Release() override { return owner_.Release(); }

 protected:
  ~Part() = default;

 private:
  IUnknown& owner_;
};

}  // namespace tw::com
