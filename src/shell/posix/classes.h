// The stand-in's COM classes: CoCreateInstance finds them in its class
// table, and each factory below makes one new object and asks it for riid.
#pragma once

#include "shell/posix/com.h"

namespace corvane::posix {

HRESULT CreatePinnedList(REFIID riid, void** object);
HRESULT CreateShellLink(REFIID riid, void** object);

// QueryInterface for an object that offers IUnknown and exactly one other
// interface.
template <typename Interface>
HRESULT QueryOneInterface(Interface* self, REFIID offered, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == offered) {
    *object = self;
    self->AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

}  // namespace corvane::posix
