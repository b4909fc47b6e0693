#include "shell/posix/host/read_budget.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace corvane::posix {
namespace {

struct Budget {
  std::mutex mutex;
  // The listed folders, by device and inode.
  std::vector<std::pair<dev_t, ino_t>> folders;
  std::uint64_t spent = 0;
};

Budget& TheBudget() {
  static Budget budget;
  return budget;
}

}  // namespace

int CountReadsIn(int folderFd) {
  struct stat status;
  if (fstat(folderFd, &status) != 0) return errno;
  Budget& budget = TheBudget();
  const std::lock_guard<std::mutex> lock(budget.mutex);
  const std::pair<dev_t, ino_t> folder{status.st_dev, status.st_ino};
  if (std::find(budget.folders.begin(), budget.folders.end(), folder) == budget.folders.end()) {
    try {
      budget.folders.push_back(folder);
    } catch (const std::bad_alloc&) {
      return ENOMEM;
    }
  }
  return 0;
}

bool ReadsCountedIn(int folderFd) {
  struct stat status;
  if (fstat(folderFd, &status) != 0) return false;
  Budget& budget = TheBudget();
  const std::lock_guard<std::mutex> lock(budget.mutex);
  return std::find(budget.folders.begin(), budget.folders.end(),
                   std::pair<dev_t, ino_t>{status.st_dev, status.st_ino}) != budget.folders.end();
}

bool SpendReadBudget(std::uint64_t bytes) {
  Budget& budget = TheBudget();
  const std::lock_guard<std::mutex> lock(budget.mutex);
  budget.spent = budget.spent + bytes < budget.spent ? kListedReadBudget + 1 : budget.spent + bytes;
  return budget.spent <= kListedReadBudget;
}

}  // namespace corvane::posix
