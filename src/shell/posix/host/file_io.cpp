#include "shell/posix/host/file_io.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "shell/posix/host/paths.h"

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

}  // namespace

std::string HiddenNameFor(std::string_view name) {
  // FNV-1a: short and fixed, whatever the name's length.
  std::uint64_t hash = 0xCBF29CE484222325ull;
  for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
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
  // A named stand-in that never got its name; if it cannot be removed, it
  // is a hidden file that listings of pins pass over.
  if (!name_.empty()) unlinkat(folder_, name_.c_str(), 0);
}

int TemporaryFile::Create(int folderFd, mode_t mode) {
  folder_ = folderFd;
  int fd = openat(folderFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode & 07777);
  // Only a file system without unnamed files gets a named one.
  if (fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    name_ = RandomHiddenName();
    fd = openat(folderFd, name_.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, mode & 07777);
    if (fd < 0) {
      name_.clear();
      if (errno != EEXIST) return errno;
    }
  }
  if (fd < 0) return EEXIST;
  fd_ = unique_fd(fd);
  return 0;
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
  if (name_.empty()) {
    // No call gives an unnamed file a name that is taken: it gets the
    // hidden name first, for the two calls it takes to rename it. One left
    // there by a run killed between the two is removed first.
    const std::string hidden = HiddenNameFor(name);
    if (unlinkat(folder_, hidden.c_str(), 0) != 0 && errno != ENOENT) return errno;
    if (const int error = LinkUnnamedFile(fd_.get(), folder_, hidden); error != 0) return error;
    name_ = hidden;
  }
  if (renameat(folder_, name_.c_str(), folder_, name.c_str()) != 0) return errno;
  name_.clear();
  return 0;
}

void SyncFolder(int folderFd) { fsync(folderFd); }

int OpenFolderPath(const std::string& path, MissingFolders missing, unique_fd& folder) {
  // The components still to walk, the next one last.
  std::vector<std::string> pending = PathComponents(path);
  std::reverse(pending.begin(), pending.end());
  unique_fd current(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!current) return errno;
  const uid_t caller = geteuid();
  int links = 0;
  while (!pending.empty()) {
    const std::string name = std::move(pending.back());
    pending.pop_back();
    if (name.empty() || name == ".") continue;
    struct stat status;
    if (fstatat(current.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT || missing != MissingFolders::Create) return errno;
      if (mkdirat(current.get(), name.c_str(), 0777) != 0 && errno != EEXIST) return errno;
      pending.push_back(name);  // looked at again, whatever made it
      continue;
    }
    if (S_ISLNK(status.st_mode)) {
      // A link another user owns could point anywhere that user likes.
      if (status.st_uid != caller && status.st_uid != 0) return EACCES;
      if (++links > 40) return ELOOP;
      std::string target(PATH_MAX, '\0');
      const ssize_t size = readlinkat(current.get(), name.c_str(), target.data(), target.size());
      if (size < 0) return errno;
      target.resize(static_cast<std::size_t>(size));
      if (!target.empty() && target.front() == '/') {
        current = unique_fd(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!current) return errno;
      }
      // The link's own components, ".." among them, are walked as they stand.
      for (std::size_t end = target.size(); end != std::string::npos;) {
        const std::size_t slash = end == 0 ? std::string::npos : target.rfind('/', end - 1);
        const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
        pending.push_back(target.substr(start, end - start));
        end = slash;
      }
      continue;
    }
    if (!S_ISDIR(status.st_mode)) return ENOTDIR;
    const int next =
        openat(current.get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0) return errno;
    current = unique_fd(next);
  }
  folder = unique_fd(openat(current.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return folder ? 0 : errno;
}

int CheckReplaceable(int fd) {
  int flags = 0;
  // A descriptor held by its path alone cannot be asked: nothing is known.
  if (ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) return 0;
  return (flags & (FS_IMMUTABLE_FL | FS_APPEND_FL)) != 0 ? EPERM : 0;
}

}  // namespace corvane::posix
