#include "shell/posix/host/file_io.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "shell/posix/host/file_identity.h"
#include "shell/posix/host/opened_file.h"

namespace corvane::posix {
namespace {

// The names of the hidden files a write goes through where it needs one.
constexpr char kHiddenPrefix[] = ".corv-";

// A hidden name in folder that is unlikely to be taken.
std::string HiddenName(const std::string& folder) {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char random[8] = {};
  if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
    const auto fallback = static_cast<std::uint64_t>(getpid()) * 0x9E3779B97F4A7C15ull ^
                          static_cast<std::uint64_t>(clock());
    std::memcpy(random, &fallback, sizeof random);
  }
  std::string name = folder + "/" + kHiddenPrefix;
  for (unsigned char byte : random) name += kLetters[byte % (sizeof kLetters - 1)];
  return name;
}

// Gives an unnamed file (O_TMPFILE) a name, never replacing one: 0, EEXIST,
// or another errno. Linking the descriptor itself needs a capability an
// ordinary user may lack on older kernels; its /proc name does not.
int LinkUnnamedFile(int fd, const std::string& path) {
  if (linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) return 0;
  if (errno != ENOENT && errno != EPERM) return errno;
  const std::string procName = "/proc/self/fd/" + std::to_string(fd);
  if (linkat(AT_FDCWD, procName.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
  return errno;
}

}  // namespace

TemporaryFile::~TemporaryFile() {
  if (!path_.empty()) unlink(path_.c_str());
}

int TemporaryFile::Create(const std::string& folder, mode_t mode) {
  folder_ = folder;
  int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode & 0777);
  if (fd < 0) {
    // Only a file system without unnamed files gets a named one.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
    std::string pattern = folder + "/" + kHiddenPrefix + "XXXXXX";
    fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    path_ = pattern;
  }
  fd_ = unique_fd(fd);
  if (fchmod(fd, mode & 07777) != 0) return errno;
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

int TemporaryFile::PublishAs(const std::string& path) {
  if (path_.empty()) return LinkUnnamedFile(fd_.get(), path);
  if (renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) {
    path_.clear();
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // The file system cannot rename without replacing: a hard link is just as
  // unable to overwrite.
  if (link(path_.c_str(), path.c_str()) != 0) return errno;
  // The file has its name; a hidden name left beside it is only untidy.
  unlink(path_.c_str());
  path_.clear();
  return 0;
}

int TemporaryFile::ReplaceAs(const std::string& path) {
  // No call gives an unnamed file a name that is taken: it gets a hidden
  // name of its own first, for the two calls it takes to rename it.
  if (path_.empty()) {
    std::string hidden;
    for (int attempt = 0; attempt < 100; ++attempt) {
      hidden = HiddenName(folder_);
      const int error = LinkUnnamedFile(fd_.get(), hidden);
      if (error == 0) break;
      hidden.clear();
      if (error != EEXIST) return error;
    }
    if (hidden.empty()) return EEXIST;
    path_ = std::move(hidden);
  }
  if (rename(path_.c_str(), path.c_str()) != 0) return errno;
  path_.clear();
  return 0;
}

void SyncFolder(const std::string& folder) {
  unique_fd fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd) fsync(fd.get());
}

int ReplaceFileContents(const std::string& givenPath, const std::vector<std::uint8_t>& bytes) {
  // A symbolic link stays a link: the file it points at gets the new bytes.
  std::string path = givenPath;
  if (const unique_malloced_text resolved(realpath(givenPath.c_str(), nullptr)); resolved) {
    path = resolved.get();
  }
  mode_t mode = 0666;
  struct stat status;
  const bool exists = stat(path.c_str(), &status) == 0;
  if (exists) {
    if (!S_ISREG(status.st_mode)) return S_ISDIR(status.st_mode) ? kIsFolder : kNotRegularFile;
    // Renaming over the file would succeed where writing it is refused.
    if ((status.st_mode & 0222) == 0) return EACCES;
    if (access(path.c_str(), W_OK) != 0) return errno;
    mode = status.st_mode & 07777;
  } else if (errno != ENOENT) {
    return errno;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode &= ~mask;
  }
  const std::size_t slash = path.find_last_of('/');
  const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
  TemporaryFile file;
  int error = file.Create(folder, exists ? 0600 : mode);
  if (error == 0) error = file.Write(bytes.data(), bytes.size());
  if (error == 0 && exists) error = TakeOverFileIdentity(path, status, file.fd());
  if (error == 0) error = file.Sync();
  if (error == 0) error = file.ReplaceAs(path);
  if (error == 0) SyncFolder(folder);
  return error;
}

int CreateFolders(const std::string& path) {
  struct stat status;
  if (stat(path.c_str(), &status) == 0) return S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
  const std::size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0) {
    if (const int error = CreateFolders(path.substr(0, slash)); error != 0) return error;
  }
  if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) return errno;
  return 0;
}

}  // namespace corvane::posix
