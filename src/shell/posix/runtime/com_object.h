// Reference counting and QueryInterface for the stand-in's COM objects, in
// one place. An object class names the interfaces it offers and leaves
// IUnknown's three methods to ComObject:
//
//   class ShellFolder : public IShellFolder {  // not final: ComObject derives from it
//    public:
//     void* Offer(REFIID riid) { return OfferOne<IShellFolder>(this, IID_IShellFolder, riid); }
//     ...
//   };
//   ... new (std::nothrow) ComObject<ShellFolder>(folder) ...
//
// The count lives in the resource account, keyed by the object's address,
// so a Release too many is reported instead of touching freed memory.
#pragma once

#include <new>
#include <utility>

#include "shell/posix/runtime/resource_account.h"
#include "shell/posix/sdk/com.h"

namespace corvane::posix {

// The one interface an object offers besides IUnknown, as Offer answers.
template <typename Interface, typename Object>
void* OfferOne(Object* self, REFIID offered, REFIID riid) {
  return riid == IID_IUnknown || riid == offered ? static_cast<Interface*>(self) : nullptr;
}

template <typename Object>
class ComObject final : public Object {
 public:
  template <typename... Arguments>
  explicit ComObject(Arguments&&... arguments) : Object(std::forward<Arguments>(arguments)...) {
    Acquired(Resource::ComObject, this);
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = Object::Offer(riid);
    if (*object == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddReference(this); }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG remaining = ReleaseReference(this);
    if (remaining == 0) delete this;
    return remaining;
  }
};

// Makes a new object and asks it for riid; the object lives on only in what
// the caller was given.
template <typename Object, typename... Arguments>
HRESULT CreateComObject(REFIID riid, void** object, Arguments&&... arguments) {
  auto* created = new (std::nothrow) ComObject<Object>(std::forward<Arguments>(arguments)...);
  if (created == nullptr) {
    if (object != nullptr) *object = nullptr;
    return E_OUTOFMEMORY;
  }
  const HRESULT hr = created->QueryInterface(riid, object);
  created->Release();
  return hr;
}

}  // namespace corvane::posix
