// The stand-in's COM apartment, a count per thread, and task memory.
#include "shell/posix/runtime/apartment.h"

#include <cstdlib>

#include "shell/posix/runtime/resource_account.h"

namespace {

// How many times this thread has initialised COM without uninitialising.
thread_local int apartmentDepth = 0;

}  // namespace

namespace corvane::posix {

bool InApartment() { return apartmentDepth > 0; }

}  // namespace corvane::posix

HRESULT CoInitialize(LPVOID) { return apartmentDepth++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (apartmentDepth > 0 && --apartmentDepth == 0) {
    corvane::posix::CheckNothingLive("when the apartment closed");
  }
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
