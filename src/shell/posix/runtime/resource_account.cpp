#include "shell/posix/runtime/resource_account.h"

#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace corvane::posix {
namespace {

constexpr const char* kNames[kResourceKinds] = {"COM object", "block of task memory", "BSTR",
                                                "file search"};
constexpr int kLeakStatus = 70;

// The live resources of one kind, by address, each with a count: an
// open-addressed table (linear probing, deletion by shifting back the
// entries that follow). Not std::unordered_map, which allocates a node for
// every entry: CoTaskMemAlloc enters each block it hands out and must not
// throw, and this table allocates only when it grows, which a run with a
// handful live at a time does once, at its first entry.
class LiveTable {
 public:
  // The count of a live resource, or nullptr.
  unsigned long* Find(const void* key) {
    const std::size_t i = IndexOf(key);
    return i != kAbsent ? &slots_[i].count : nullptr;
  }

  // Enters a resource with a count, unless it is live already.
  void Insert(const void* key, unsigned long count) {
    if (Find(key) != nullptr) return;
    if ((size_ + 1) * 2 > slots_.size()) Grow();
    std::size_t i = Home(key);
    while (slots_[i].key != nullptr) i = (i + 1) & Mask();
    slots_[i] = {key, count};
    ++size_;
  }

  // Strikes a resource off; false when it was not live.
  bool Erase(const void* key) {
    std::size_t hole = IndexOf(key);
    if (hole == kAbsent) return false;
    // Move back each following entry of the run whose home does not lie
    // cyclically in (hole, i], so that every entry stays reachable.
    for (std::size_t i = (hole + 1) & Mask(); slots_[i].key != nullptr; i = (i + 1) & Mask()) {
      const std::size_t home = Home(slots_[i].key);
      const bool stays = hole < i ? (hole < home && home <= i) : (hole < home || home <= i);
      if (!stays) {
        slots_[hole] = slots_[i];
        hole = i;
      }
    }
    slots_[hole] = Slot{};
    --size_;
    return true;
  }

  std::size_t size() const { return size_; }

 private:
  struct Slot {
    const void* key = nullptr;
    unsigned long count = 0;
  };
  static constexpr std::size_t kAbsent = ~std::size_t{0};

  std::size_t IndexOf(const void* key) const {
    if (slots_.empty()) return kAbsent;
    for (std::size_t i = Home(key);; i = (i + 1) & Mask()) {
      if (slots_[i].key == key) return i;
      if (slots_[i].key == nullptr) return kAbsent;
    }
  }

  std::size_t Mask() const { return slots_.size() - 1; }
  std::size_t Home(const void* key) const {
    const std::uint64_t mixed =
        static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(key)) * 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(mixed >> 32) & Mask();
  }
  void Grow() {
    std::vector<Slot> old(slots_.empty() ? 32 : slots_.size() * 2);
    old.swap(slots_);
    size_ = 0;
    for (const Slot& slot : old) {
      if (slot.key != nullptr) Insert(slot.key, slot.count);
    }
  }

  std::vector<Slot> slots_;
  std::size_t size_ = 0;
};

struct Account {
  std::mutex mutex;
  // For COM objects the count is the reference count.
  std::array<LiveTable, kResourceKinds> live;
};

// Never destroyed: objects may be given back during static destruction.
Account& TheAccount() {
  static Account* account = new Account();
  return *account;
}

bool CheckRequested() { return std::getenv("CORVANE_RESOURCE_CHECK") != nullptr; }

void CheckAtExit() { CheckNothingLive("at exit"); }

[[noreturn]] void ReportMisuse(Resource kind, const void* resource) {
  std::fprintf(stderr, "stand-in shell: a %s given back that is not live (%p)\n",
               kNames[static_cast<int>(kind)], resource);
  std::abort();
}

}  // namespace

void Acquired(Resource kind, const void* resource) {
  if (resource == nullptr) return;
  static const bool registered = std::atexit(CheckAtExit) == 0;
  (void)registered;
  Account& account = TheAccount();
  const std::lock_guard<std::mutex> lock(account.mutex);
  account.live[static_cast<int>(kind)].Insert(resource, 1);
}

void Released(Resource kind, const void* resource) {
  if (resource == nullptr) return;
  Account& account = TheAccount();
  std::unique_lock<std::mutex> lock(account.mutex);
  if (!account.live[static_cast<int>(kind)].Erase(resource)) {
    lock.unlock();
    ReportMisuse(kind, resource);
  }
}

std::size_t LiveCount(Resource kind) {
  Account& account = TheAccount();
  const std::lock_guard<std::mutex> lock(account.mutex);
  return account.live[static_cast<int>(kind)].size();
}

void CheckNothingLive(const char* when) {
  if (!CheckRequested()) return;
  bool clean = true;
  for (std::size_t kind = 0; kind < kResourceKinds; ++kind) {
    const std::size_t count = LiveCount(static_cast<Resource>(kind));
    if (count == 0) continue;
    std::fprintf(stderr, "stand-in shell: %zu %s(s) still live %s\n", count, kNames[kind], when);
    clean = false;
  }
  if (!clean) {
    std::fflush(nullptr);
    _exit(kLeakStatus);
  }
}

namespace {

// Changes a live object's reference count by delta under the account's
// lock and gives back the new count; an object that is not live is misuse.
unsigned long ChangeReferences(const void* object, int delta) {
  Account& account = TheAccount();
  std::unique_lock<std::mutex> lock(account.mutex);
  LiveTable& objects = account.live[static_cast<int>(Resource::ComObject)];
  unsigned long* const found = objects.Find(object);
  if (found == nullptr) {
    lock.unlock();
    ReportMisuse(Resource::ComObject, object);
  }
  const unsigned long count = *found += delta;
  if (count == 0) objects.Erase(object);
  return count;
}

}  // namespace

unsigned long AddReference(const void* object) { return ChangeReferences(object, 1); }

unsigned long ReleaseReference(const void* object) { return ChangeReferences(object, -1); }

}  // namespace corvane::posix
