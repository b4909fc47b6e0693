#include "shell/posix/host/file_io.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane::posix {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

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

// Reads up to size bytes, retrying short reads; the count read, or -1.
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

// The names of a file's extended attributes as list(buffer, size) lists
// them (each ending in a NUL) into text: 0 or errno. A file system without
// extended attributes lists none.
template <typename List>
int AttributeNames(List list, std::string& text, std::vector<std::string_view>& names) {
  names.clear();
  for (;;) {
    const ssize_t size = list(nullptr, 0);
    if (size <= 0) return size == 0 || errno == ENOTSUP ? 0 : errno;
    text.resize(static_cast<std::size_t>(size));
    const ssize_t got = list(text.data(), text.size());
    if (got >= 0) {
      text.resize(static_cast<std::size_t>(got));
      break;
    }
    if (errno != ERANGE) return errno;
  }
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find('\0', at);
    names.emplace_back(text.data() + at, (end == std::string::npos ? text.size() : end) - at);
    at = end == std::string::npos ? text.size() : end + 1;
  }
  return 0;
}

// The value of an extended attribute as get(buffer, size) gives it: 0, or
// errno (ENODATA when there is none).
template <typename Get>
int AttributeValue(Get get, std::string& value) {
  for (;;) {
    const ssize_t size = get(nullptr, 0);
    if (size < 0) return errno;
    value.resize(static_cast<std::size_t>(size));
    const ssize_t got = get(value.data(), value.size());
    if (got >= 0) {
      value.resize(static_cast<std::size_t>(got));
      return 0;
    }
    if (errno != ERANGE) return errno;
  }
}

// A change to the new file that the file system or the caller's rights do
// not allow makes the file not the original's successor: access denied.
int Refused(int error) {
  return error == EPERM || error == ENOTSUP || error == EACCES ? EACCES : error;
}

// Gives the new file (fd) the extended attributes of the original (path,
// with no symbolic link in it), an ACL among them, and takes away those the
// original lacks. Labels the system gives every new file (security.*) stay.
int TakeOverAttributes(const std::string& path, int fd) {
  std::string originalText, newText;
  std::vector<std::string_view> originalNames, newNames;
  int error = AttributeNames(
      [&](char* list, std::size_t size) { return llistxattr(path.c_str(), list, size); },
      originalText, originalNames);
  if (error == 0) {
    error = AttributeNames([&](char* list, std::size_t size) { return flistxattr(fd, list, size); },
                           newText, newNames);
  }
  if (error != 0) return error;
  std::string value, newValue;
  for (const std::string_view name : originalNames) {
    const char* cName = name.data();  // each name ends in a NUL
    error = AttributeValue(
        [&](void* buffer, std::size_t size) {
          return lgetxattr(path.c_str(), cName, buffer, size);
        },
        value);
    if (error == ENODATA) continue;  // gone since it was listed
    if (error != 0) return error;
    const bool same =
        AttributeValue(
            [&](void* buffer, std::size_t size) { return fgetxattr(fd, cName, buffer, size); },
            newValue) == 0 &&
        newValue == value;
    if (!same && fsetxattr(fd, cName, value.data(), value.size(), 0) != 0) return Refused(errno);
  }
  for (const std::string_view name : newNames) {
    if (name.starts_with("security.") ||
        std::find(originalNames.begin(), originalNames.end(), name) != originalNames.end()) {
      continue;
    }
    if (fremovexattr(fd, name.data()) != 0 && errno != ENODATA) return Refused(errno);
  }
  return 0;
}

// Makes the new file (fd) the original's successor in everything but its
// bytes: owner and group, extended attributes, then the permission bits
// (last, since a change of owner clears the set-user-ID and set-group-ID
// bits). EACCES when any of it is not allowed.
int TakeOverFileIdentity(const std::string& path, const struct stat& original, int fd) {
  struct stat created;
  if (fstat(fd, &created) != 0) return errno;
  if ((created.st_uid != original.st_uid || created.st_gid != original.st_gid) &&
      fchown(fd, original.st_uid, original.st_gid) != 0) {
    return Refused(errno);
  }
  if (const int error = TakeOverAttributes(path, fd); error != 0) return error;
  const mode_t bits = original.st_mode & 07777;
  if (fchmod(fd, bits) != 0) return Refused(errno);
  // The system may quietly drop a bit (set-group-ID for a group the caller
  // is not in): what it kept is checked, not assumed.
  if (fstat(fd, &created) != 0) return errno;
  if ((created.st_mode & 07777) != bits || created.st_uid != original.st_uid ||
      created.st_gid != original.st_gid) {
    return EACCES;
  }
  return 0;
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

bool SameContents(int fdA, int fdB, int* error) {
  *error = 0;
  struct stat a, b;
  if (fstat(fdA, &a) != 0 || fstat(fdB, &b) != 0) {
    *error = errno;
    return false;
  }
  if (a.st_size != b.st_size) return false;
  if (lseek(fdA, 0, SEEK_SET) < 0 || lseek(fdB, 0, SEEK_SET) < 0) {
    *error = errno;
    return false;
  }
  std::vector<char> bufferA(kChunk), bufferB(kChunk);
  for (;;) {
    const ssize_t gotA = ReadFully(fdA, bufferA.data(), kChunk);
    const ssize_t gotB = ReadFully(fdB, bufferB.data(), kChunk);
    if (gotA < 0 || gotB < 0) {
      *error = errno;
      return false;
    }
    if (gotA != gotB ||
        std::memcmp(bufferA.data(), bufferB.data(), static_cast<std::size_t>(gotA)) != 0) {
      return false;
    }
    if (gotA == 0) return true;
  }
}

void SyncFolder(const std::string& folder) {
  unique_fd fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd) fsync(fd.get());
}

int ReadRegularFile(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& bytes) {
  unique_fd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd) return errno;
  struct stat status;
  if (fstat(fd.get(), &status) != 0) return errno;
  return ReadRegularFile(fd.get(), status, limit, bytes);
}

int ReadRegularFile(int fd, const struct stat& status, std::size_t limit,
                    std::vector<std::uint8_t>& bytes) {
  if (!S_ISREG(status.st_mode)) return S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
  if (static_cast<std::uint64_t>(status.st_size) > limit) return EFBIG;
  // The size is a hint: read to the end, and never past the limit. Asking
  // for one byte more than the size finds the end in the same read when the
  // file has not grown since fstat.
  const auto size = static_cast<std::size_t>(status.st_size);
  bytes.resize(size + 1);
  ssize_t got;
  do {
    got = pread(fd, bytes.data(), bytes.size(), 0);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return errno;
  std::size_t done = static_cast<std::size_t>(got);
  // A regular file reads short only at its end; anything else (a read cut
  // by a signal, a file that grew) goes on to the end of the file.
  if (done != size && lseek(fd, static_cast<off_t>(done), SEEK_SET) < 0) return errno;
  while (done != size) {
    if (done == bytes.size()) {
      if (done > limit) return EFBIG;
      bytes.resize(std::min(limit + 1, done + kChunk));
    }
    const ssize_t more =
        ReadFully(fd, reinterpret_cast<char*>(bytes.data()) + done, bytes.size() - done);
    if (more < 0) return errno;
    done += static_cast<std::size_t>(more);
    if (static_cast<std::size_t>(more) < bytes.size() - (done - more)) break;
  }
  if (done > limit) return EFBIG;
  bytes.resize(done);
  return 0;
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
    if (!S_ISREG(status.st_mode)) return S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
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
