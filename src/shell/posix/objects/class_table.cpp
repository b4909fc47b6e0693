// CoCreateInstance over the stand-in's class table. It sits with the
// objects it creates, so the runtime beneath them never names them.
#include "shell/posix/objects/class_table.h"

#include "shell/pinned_list.h"
#include "shell/posix/runtime/apartment.h"
#include "shell/posix/sdk/shell_link.h"

namespace {

struct ClassEntry {
  const CLSID* classId;
  HRESULT (*create)(REFIID riid, void** object);
};

const ClassEntry kClasses[] = {
    {&PinnedListClassId, corvane::posix::CreatePinnedList},
    {&CLSID_ShellLink, corvane::posix::CreateShellLink},
};

}  // namespace

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (!corvane::posix::InApartment()) return CO_E_NOTINITIALIZED;
  for (const ClassEntry& entry : kClasses) {
    if (*entry.classId != rclsid) continue;
    // Every class here is an in-process server.
    if ((dwClsContext & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
    if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
    return entry.create(riid, ppv);
  }
  return REGDB_E_CLASSNOTREG;
}
