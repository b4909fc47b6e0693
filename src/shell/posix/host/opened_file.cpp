#include "shell/posix/host/opened_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <utility>

#include "shell/posix/host/file_identity.h"
#include "shell/posix/host/file_io.h"
#include "shell/posix/host/path_walk.h"
#include "shell/posix/host/read_budget.h"

namespace corvane::posix {
namespace {

constexpr std::size_t kChunk = 64 * 1024;
constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
// How long a replacement waits for another one of the same file.
constexpr auto kLockWait = std::chrono::seconds(5);

// Takes the file's lock, waiting for it until the deadline: 0, kFileBusy,
// or errno. A file system without locks gives 0.
int LockUntil(int fd, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const int error = LockFile(fd);
    if (error == 0) return 0;
    if (error == EINTR) continue;
    if (error != EWOULDBLOCK) return error;
    if (std::chrono::steady_clock::now() >= deadline) return kFileBusy;
    const timespec pause = {0, 1000 * 1000};
    nanosleep(&pause, nullptr);
  }
}

// Reads up to size bytes, retrying short reads: the count read, or -1.
ssize_t ReadFully(int fd, char* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = read(fd, buffer + done, size - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return static_cast<ssize_t>(done);
}

}  // namespace

int OpenedFile::Open(const std::string& path) {
  ForgetFolder();
  unique_fd folder;
  std::string name;
  struct stat walked;
  // Reading through another user's link gives an ordinary user nothing it
  // could not read anyway; root reads only through trusted ones.
  const LinksFollowed links = geteuid() == 0 ? LinksFollowed::Trusted : LinksFollowed::All;
  if (const int error = WalkToEntry(path, links, folder, name, walked); error != 0) return error;
  return OpenWalked(folder.get(), name, walked);
}

int OpenedFile::OpenAt(int folderFd, const char* name) {
  ForgetFolder();
  const int fd = openat(folderFd, name, kReadFlags | O_NOFOLLOW);
  if (fd < 0 && errno == ELOOP) return kNotRegularFile;  // a link is no shortcut here
  const int outcome = Opened(fd);
  counted_ = ReadsCountedIn(folderFd);
  return outcome;
}

int OpenedFile::OpenWalked(int folderFd, const std::string& name, const struct stat& walked) {
  const int fd = openat(folderFd, name.c_str(), kReadFlags | O_NOFOLLOW);
  // A link where the walk found none: the name was given to it meanwhile.
  if (fd < 0 && errno == ELOOP) return kFileReplaced;
  const int outcome = Opened(fd);
  if (fd >= 0 && (status_.st_dev != walked.st_dev || status_.st_ino != walked.st_ino)) {
    return kFileReplaced;
  }
  counted_ = ReadsCountedIn(folderFd);
  return outcome;
}

int OpenedFile::OpenToReplace(const std::string& path) {
  ForgetFolder();
  unique_fd folder;
  std::string name;
  struct stat walked;
  // A save never goes where another user's link sends it.
  if (const int error = WalkToEntry(path, LinksFollowed::Trusted, folder, name, walked);
      error != 0) {
    return error;
  }
  if (const int error = OpenWalked(folder.get(), name, walked); error != 0) return error;
  // A folder that may be searched but not read stays held by its path alone
  // (O_PATH), which is all that making and renaming files in it takes.
  unique_fd readable(openat(folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  folder_ = readable ? std::move(readable) : std::move(folder);
  name_ = std::move(name);
  // From here on the file is the one under that name in that folder, and no
  // link put in its place counts.
  const auto deadline = std::chrono::steady_clock::now() + kLockWait;
  for (;;) {
    // Another replacement may give the name to a new file at any point
    // before the lock is taken (this one may have waited for it): the lock
    // counts only on the file the name names once it is held.
    if (StillNamed()) {
      if (const int error = LockUntil(fd_.get(), deadline); error != 0) return error;
      if (StillNamed()) return 0;
    }
    if (std::chrono::steady_clock::now() >= deadline) return kFileBusy;
    const int fd = openat(folder_.get(), name_.c_str(), kReadFlags | O_NOFOLLOW);
    if (fd < 0 && errno == ELOOP) return kFileReplaced;  // swapped for a link
    if (const int error = Opened(fd); error != 0) return error;
  }
}

int OpenedFile::Replace(const std::vector<std::uint8_t>& bytes) {
  if (!folder_) return EBADF;
  if (!StillNamed()) return kFileReplaced;
  // Renaming over the file would succeed where writing it is refused.
  if ((status_.st_mode & 0222) == 0) return EACCES;
  if (faccessat(folder_.get(), name_.c_str(), W_OK, 0) != 0) return errno;
  // A folder that refuses removals would keep the hidden name for good.
  if (const int error = CheckReplaceable(fd_.get()); error != 0) return error;
  if (const int error = CheckReplaceable(folder_.get()); error != 0) return error;
  TemporaryFile file;
  int error = file.Create(folder_.get(), 0600, name_);
  if (error == 0) error = file.Write(bytes.data(), bytes.size());
  if (error == 0) error = TakeOverFileIdentity(fd_.get(), status_, file.fd());
  if (error == 0) error = file.Sync();
  // Locked before it has the name, so that other replacements wait for this
  // one whichever file they open.
  if (error == 0) error = LockFile(file.fd());
  if (error == 0 && !StillNamed()) error = kFileReplaced;
  if (error == 0) error = file.ReplaceAs(name_);
  if (error != 0) return error;
  // The new file has the name: nothing after this fails the call.
  SyncFolder(folder_.get());
  fd_ = file.ReleaseFd();
  fstat(fd_.get(), &status_);  // does not fail on an open descriptor
  return 0;
}

void OpenedFile::ForgetFolder() {
  folder_.reset();
  name_.clear();
  counted_ = false;
}

bool OpenedFile::StillNamed() const {
  struct stat named;
  return fstatat(folder_.get(), name_.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         named.st_dev == status_.st_dev && named.st_ino == status_.st_ino;
}

int OpenedFile::Opened(int fd) {
  if (fd < 0) {
    const int error = errno;
    fd_.reset();
    return error;
  }
  fd_ = unique_fd(fd);
  if (fstat(fd, &status_) != 0) return errno;
  if (S_ISDIR(status_.st_mode)) return kIsFolder;
  return S_ISREG(status_.st_mode) ? 0 : kNotRegularFile;
}

int OpenedFile::Spend(std::size_t bytes) const {
  return !counted_ || SpendReadBudget(bytes) ? 0 : kReadBudgetSpent;
}

int OpenedFile::ReadStart(std::size_t size, std::vector<std::uint8_t>& bytes) const {
  bytes.resize(size);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got =
        pread(fd_.get(), bytes.data() + done, size - done, static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  bytes.resize(done);
  return Spend(done);
}

int OpenedFile::ReadAll(std::size_t limit, std::vector<std::uint8_t>& bytes) const {
  const auto size = static_cast<std::uint64_t>(status_.st_size);
  if (size > limit) return kFileTooLarge;
  // The whole of what fstat gave is taken from the budget before a byte of
  // it is read.
  if (const int outcome = Spend(static_cast<std::size_t>(size)); outcome != 0) return outcome;
  // The rule: read up to the size fstat gave, or on to the end if the file
  // grew since. A read that comes back short at or past that size has met
  // the end; the first one asks for a byte more than the size, so a file
  // that did not change is read in one call.
  bytes.resize(static_cast<std::size_t>(size) + 1);
  std::size_t done = 0;
  for (;;) {
    const ssize_t got =
        pread(fd_.get(), bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    done += static_cast<std::size_t>(got);
    if (got == 0 || (done >= size && done < bytes.size())) break;
    if (done == bytes.size()) {
      if (done > limit) return kFileTooLarge;
      // A file that grew since fstat: what it grew by is spent too.
      if (const int outcome = Spend(kChunk); outcome != 0) return outcome;
      bytes.resize(std::min(limit + 1, done + kChunk));
    }
  }
  bytes.resize(done);
  return 0;
}

int SameContents(int fdA, int fdB, bool& same) {
  same = false;
  struct stat a, b;
  if (fstat(fdA, &a) != 0 || fstat(fdB, &b) != 0) return errno;
  if (a.st_size != b.st_size) return 0;
  if (lseek(fdA, 0, SEEK_SET) < 0 || lseek(fdB, 0, SEEK_SET) < 0) return errno;
  std::vector<char> bufferA(kChunk), bufferB(kChunk);
  for (;;) {
    const ssize_t gotA = ReadFully(fdA, bufferA.data(), kChunk);
    const ssize_t gotB = ReadFully(fdB, bufferB.data(), kChunk);
    if (gotA < 0 || gotB < 0) return errno;
    if (gotA != gotB ||
        std::memcmp(bufferA.data(), bufferB.data(), static_cast<std::size_t>(gotA)) != 0) {
      return 0;
    }
    if (gotA == 0) {
      same = true;
      return 0;
    }
  }
}

}  // namespace corvane::posix
