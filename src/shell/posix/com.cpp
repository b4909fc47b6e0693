// The stand-in's COM runtime: a per-thread apartment count, a small class
// table, and task memory.
#include <cstdlib>
#include <cstring>

#include "shell/pinned_list.h"
#include "shell/posix/accounting.h"
#include "shell/posix/classes.h"
#include "shell/posix/com.h"
#include "shell/shell_link.h"

namespace {

// How many times this thread has initialised COM without uninitialising.
thread_local int apartmentDepth = 0;

struct ClassEntry {
  const CLSID* classId;
  HRESULT (*create)(REFIID riid, void** object);
};

const ClassEntry kClasses[] = {
    {&PinnedListClassId, corvane::posix::CreatePinnedList},
    {&CLSID_ShellLink, corvane::posix::CreateShellLink},
};

}  // namespace

HRESULT CoInitialize(LPVOID) { return apartmentDepth++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (apartmentDepth > 0 && --apartmentDepth == 0) {
    corvane::posix::CheckNothingLive("when the apartment closed");
  }
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (apartmentDepth == 0) return CO_E_NOTINITIALIZED;
  for (const ClassEntry& entry : kClasses) {
    if (*entry.classId != rclsid) continue;
    // Every class here is an in-process server.
    if ((dwClsContext & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
    if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
    return entry.create(riid, ppv);
  }
  return REGDB_E_CLASSNOTREG;
}

LPVOID CoTaskMemAlloc(SIZE_T cb) {
  void* block = std::malloc(cb == 0 ? 1 : cb);
  corvane::posix::Acquired(corvane::posix::Resource::TaskMemory, block);
  return block;
}

void CoTaskMemFree(LPVOID pv) {
  if (pv == nullptr) return;
  corvane::posix::Released(corvane::posix::Resource::TaskMemory, pv);
  std::free(pv);
}
