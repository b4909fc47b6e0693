#include "shell/posix/accounting.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

namespace corvane::posix {
namespace {

constexpr const char* kNames[] = {"COM object", "block of task memory", "BSTR", "file search"};
constexpr int kLeakStatus = 70;

struct Account {
  std::mutex mutex;
  // For COM objects the value is the reference count.
  std::array<std::unordered_map<const void*, unsigned long>, 4> live;
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
  account.live[static_cast<int>(kind)].emplace(resource, 1);
}

void Released(Resource kind, const void* resource) {
  if (resource == nullptr) return;
  Account& account = TheAccount();
  std::unique_lock<std::mutex> lock(account.mutex);
  if (account.live[static_cast<int>(kind)].erase(resource) == 0) {
    lock.unlock();
    ReportMisuse(kind, resource);
  }
}

bool IsLive(Resource kind, const void* resource) {
  Account& account = TheAccount();
  const std::lock_guard<std::mutex> lock(account.mutex);
  return account.live[static_cast<int>(kind)].count(resource) != 0;
}

std::size_t LiveCount(Resource kind) {
  Account& account = TheAccount();
  const std::lock_guard<std::mutex> lock(account.mutex);
  return account.live[static_cast<int>(kind)].size();
}

void CheckNothingLive(const char* when) {
  if (!CheckRequested()) return;
  bool clean = true;
  for (int kind = 0; kind < 4; ++kind) {
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
  auto& objects = account.live[static_cast<int>(Resource::ComObject)];
  const auto found = objects.find(object);
  if (found == objects.end()) {
    lock.unlock();
    ReportMisuse(Resource::ComObject, object);
  }
  const unsigned long count = found->second += delta;
  if (count == 0) objects.erase(found);
  return count;
}

}  // namespace

unsigned long AddReference(const void* object) { return ChangeReferences(object, 1); }

unsigned long ReleaseReference(const void* object) { return ChangeReferences(object, -1); }

}  // namespace corvane::posix
