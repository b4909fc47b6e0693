#include "shell/posix/host/file_io.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>

namespace corvane::posix {
namespace {

// A hidden name in the folder that is unlikely to be taken, for the named
// file that stands in for an unnamed one.
std::string RandomHiddenName() {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char random[8] = {};
  if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
    const auto fallback = static_cast<std::uint64_t>(getpid()) * 0x9E3779B97F4A7C15ull ^
                          static_cast<std::uint64_t>(clock());
    std::memcpy(random, &fallback, sizeof random);
  }
  std::string name(kHiddenPrefix);
  for (unsigned char byte : random) name += kLetters[byte % (sizeof kLetters - 1)];
  return name;
}

// Gives an unnamed file (O_TMPFILE) a name in a folder, never replacing
// one: 0, EEXIST, or another errno. Linking the descriptor itself needs a
// capability an ordinary user may lack on older kernels; its /proc name
// does not.
int LinkUnnamedFile(int fd, int folderFd, const std::string& name) {
  if (linkat(fd, "", folderFd, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
  if (errno != ENOENT && errno != EPERM) return errno;
  const std::string procName = "/proc/self/fd/" + std::to_string(fd);
  if (linkat(AT_FDCWD, procName.c_str(), folderFd, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
  return errno;
}

// Removes a hidden file that a killed run left under name: one of the
// caller's, held by no live run. False when the name is held and must be
// passed by.
bool RemoveLeftover(int folderFd, const std::string& name) {
  const unique_fd left(
      openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!left) return errno == ENOENT;
  struct stat opened, named;
  if (fstat(left.get(), &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_uid != geteuid() ||
      LockFile(left.get()) != 0) {
    return false;
  }
  if (fstatat(folderFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
  if (named.st_dev != opened.st_dev || named.st_ino != opened.st_ino)
    return true;  // gone meanwhile
  return unlinkat(folderFd, name.c_str(), 0) == 0 || errno == ENOENT;
}

}  // namespace

std::string HiddenNameFor(std::string_view name, int which) {
  // FNV-1a: short and fixed, whatever the name's length; the second name
  // hashes one more byte.
  std::uint64_t hash = 0xCBF29CE484222325ull;
  for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
  if (which != 0) hash = (hash ^ static_cast<unsigned>(which)) * 0x100000001B3ull;
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
  return std::string(kHiddenPrefix) + digits;
}

bool IsHiddenName(std::string_view name) {
  if (!name.starts_with(kHiddenPrefix) || name.size() == kHiddenPrefix.size()) return false;
  for (const char c : name.substr(kHiddenPrefix.size())) {
    const bool letterOrDigit =
        (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letterOrDigit) return false;
  }
  return true;
}

TemporaryFile::~TemporaryFile() {
  // A named stand-in that never got its name, removed while this run still
  // holds it; if it cannot be removed, it is a hidden file that listings of
  // pins pass over and the next run for the name removes.
  if (!name_.empty() && StillNamed()) unlinkat(folder_, name_.c_str(), 0);
}

int TemporaryFile::Create(int folderFd, mode_t mode, std::string_view forName) {
  folder_ = folderFd;
  const int fd = openat(folderFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode & 07777);
  if (fd >= 0) {
    fd_ = unique_fd(fd);
    return 0;
  }
  // Only a file system without unnamed files gets a named one.
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
  return CreateNamed(mode, forName);
}

int TemporaryFile::CreateNamed(mode_t mode, std::string_view forName) {
  // A run holds its hidden file locked from its creation on, and removes or
  // renames it only while it holds it and the name still names it: so an
  // unlocked file under the name is one a killed run left.
  for (int which = 0; which < 3; ++which) {
    name_ = which < 2 ? HiddenNameFor(forName, which) : RandomHiddenName();
    for (int attempt = 0; attempt < 2; ++attempt) {
      unique_fd file(openat(folder_, name_.c_str(),
                            O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, mode & 07777));
      if (file) {
        fd_ = std::move(file);
        if (LockFile(fd_.get()) == 0 && StillNamed()) return 0;
        fd_.reset();  // another run took it meanwhile: it is theirs
        break;
      }
      if (errno != EEXIST) {
        const int error = errno;
        name_.clear();
        return error;
      }
      if (!RemoveLeftover(folder_, name_)) break;
    }
  }
  name_.clear();
  return EEXIST;
}

bool TemporaryFile::StillNamed() const {
  struct stat named, opened;
  return fd_ && fstatat(folder_, name_.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         fstat(fd_.get(), &opened) == 0 && named.st_dev == opened.st_dev &&
         named.st_ino == opened.st_ino;
}

int TemporaryFile::Write(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = write(fd_.get(), bytes, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

int TemporaryFile::Sync() { return fsync(fd_.get()) == 0 ? 0 : errno; }

int TemporaryFile::PublishAs(const std::string& name) {
  if (name_.empty()) return LinkUnnamedFile(fd_.get(), folder_, name);
  if (!StillNamed()) return ENOENT;
  if (renameat2(folder_, name_.c_str(), folder_, name.c_str(), RENAME_NOREPLACE) == 0) {
    name_.clear();
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // The file system cannot rename without replacing: a hard link is just as
  // unable to overwrite.
  if (linkat(folder_, name_.c_str(), folder_, name.c_str(), 0) != 0) return errno;
  // The file has its name; the hidden one is removed by the destructor.
  return 0;
}

int TemporaryFile::ReplaceAs(const std::string& name) {
  // No call gives an unnamed file a name that is taken: it gets a hidden
  // name first, for the two calls it takes to rename it. One left there by
  // a run killed between the two is removed first; one that cannot be
  // removed (another user's, in a shared folder) is passed by.
  const bool named = !name_.empty();
  for (int which = 0; name_.empty() && which < 3; ++which) {
    const std::string hidden = which < 2 ? HiddenNameFor(name, which) : RandomHiddenName();
    if (unlinkat(folder_, hidden.c_str(), 0) != 0 && errno != ENOENT) {
      if (errno == EPERM || errno == EACCES) continue;
      return errno;
    }
    const int error = LinkUnnamedFile(fd_.get(), folder_, hidden);
    if (error == 0) name_ = hidden;
    if (error != 0 && error != EEXIST) return error;
  }
  if (name_.empty()) return EEXIST;
  // A named file made long before may have lost its name since.
  if (named && !StillNamed()) return ENOENT;
  if (renameat(folder_, name_.c_str(), folder_, name.c_str()) != 0) return errno;
  name_.clear();
  return 0;
}

int LockFile(int fd) {
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return 0;
  const int error = errno;
  return error == ENOLCK || error == EOPNOTSUPP || error == EBADF ? 0 : error;
}

void SyncFolder(int folderFd) { fsync(folderFd); }

int CheckReplaceable(int fd) {
  // statx answers for a descriptor held by its path alone, which the inode
  // flags' ioctl refuses.
  struct statx status;
  constexpr std::uint64_t kRefusing = STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND;
  if (statx(fd, "", AT_EMPTY_PATH, 0, &status) == 0 &&
      (status.stx_attributes_mask & kRefusing) == kRefusing) {
    return (status.stx_attributes & kRefusing) != 0 ? EPERM : 0;
  }
  int flags = 0;
  if (ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) return 0;
  return (flags & (FS_IMMUTABLE_FL | FS_APPEND_FL)) != 0 ? EPERM : 0;
}

}  // namespace corvane::posix
