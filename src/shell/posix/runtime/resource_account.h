// The stand-in's account of what it hands out: COM objects, blocks of task
// memory, BSTRs and file searches. Each is entered when handed out and
// struck off when given back. Giving back something that is not live (a
// second Release of an object, a block freed twice, a handle already
// closed) is a fault of the caller: it is reported on stderr and the
// process aborts, rather than corrupting memory.
//
// With CORVANE_RESOURCE_CHECK set in the environment, the stand-in also
// checks at the last CoUninitialize and at exit that nothing is left live;
// anything left is reported on stderr and the process ends with status 70.
#pragma once

#include <cstddef>

namespace corvane::posix {

enum class Resource { ComObject, TaskMemory, Bstr, FileSearch };
inline constexpr std::size_t kResourceKinds = static_cast<std::size_t>(Resource::FileSearch) + 1;

// The account keys each resource by its address and never reads it; GCC is
// told so, or it takes a fresh block of task memory for one that is read
// uninitialised.
#if defined(__GNUC__) && !defined(__clang__)
#define CORVANE_ADDRESS_ONLY(index) [[gnu::access(none, index)]]
#else
#define CORVANE_ADDRESS_ONLY(index)
#endif

CORVANE_ADDRESS_ONLY(2) void Acquired(Resource kind, const void* resource);
// Strikes the resource off; reports and aborts when it is not live.
void Released(Resource kind, const void* resource);
std::size_t LiveCount(Resource kind);

// Reports what is still live when the check is asked for; see above.
void CheckNothingLive(const char* when);

// Reference counts of the stand-in's COM objects, kept in the account by
// the object's address, so that a Release too many is caught without
// touching memory that may already be gone. Acquired(ComObject, object)
// starts the count at 1; Release returns the count left, and 0 means the
// caller must now delete the object.
unsigned long AddReference(const void* object);
unsigned long ReleaseReference(const void* object);

}  // namespace corvane::posix
