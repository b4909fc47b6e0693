#include "shell/posix/host/file_identity.h"

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::posix {
namespace {

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

// Turns EPERM and ENOTSUP into EACCES: a change to the new file that the
// file system or the caller's rights do not allow keeps it from taking the
// original's place, and that is access denied.
int AccessDeniedIfRefused(int error) {
  return error == EPERM || error == ENOTSUP || error == EACCES ? EACCES : error;
}

// Gives the new file (fd) the extended attributes of the original, an ACL
// among them, and takes away those the original lacks. Labels the system
// gives every new file (security.*) stay.
int TakeOverAttributes(int originalFd, int fd) {
  std::string originalText, newText;
  std::vector<std::string_view> originalNames, newNames;
  int error = AttributeNames(
      [&](char* list, std::size_t size) { return flistxattr(originalFd, list, size); },
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
        [&](void* buffer, std::size_t size) { return fgetxattr(originalFd, cName, buffer, size); },
        value);
    if (error == ENODATA) continue;  // gone since it was listed
    if (error != 0) return error;
    const bool same =
        AttributeValue(
            [&](void* buffer, std::size_t size) { return fgetxattr(fd, cName, buffer, size); },
            newValue) == 0 &&
        newValue == value;
    if (!same && fsetxattr(fd, cName, value.data(), value.size(), 0) != 0)
      return AccessDeniedIfRefused(errno);
  }
  for (const std::string_view name : newNames) {
    if (name.starts_with("security.") ||
        std::find(originalNames.begin(), originalNames.end(), name) != originalNames.end()) {
      continue;
    }
    if (fremovexattr(fd, name.data()) != 0 && errno != ENODATA) return AccessDeniedIfRefused(errno);
  }
  return 0;
}

// The inode flags a new file takes over: those Windows' file attributes come
// closest to (chattr's s, u, c, S, d, A, m). Immutable and append-only are
// not among them: a file with either is never replaced. No-copy-on-write
// takes effect only on an empty file.
constexpr int kCarriedFlags = FS_SECRM_FL | FS_UNRM_FL | FS_COMPR_FL | FS_SYNC_FL | FS_NODUMP_FL |
                              FS_NOATIME_FL | FS_NOCOMP_FL;

// Whether an error of FS_IOC_GETFLAGS says the file system keeps no flags.
bool NoFlags(int error) { return error == ENOTTY || error == EOPNOTSUPP || error == EINVAL; }

// Gives the new file (fd) the original's carried flags and takes away those
// it got from its folder that the original lacks.
int TakeOverFlags(int originalFd, int fd) {
  int original = 0, created = 0;
  if (ioctl(originalFd, FS_IOC_GETFLAGS, &original) != 0) return NoFlags(errno) ? 0 : errno;
  if (ioctl(fd, FS_IOC_GETFLAGS, &created) != 0) {
    if (!NoFlags(errno)) return errno;
    return (original & kCarriedFlags) == 0 ? 0 : EACCES;
  }
  int wanted = (created & ~kCarriedFlags) | (original & kCarriedFlags);
  if (wanted == created) return 0;
  return ioctl(fd, FS_IOC_SETFLAGS, &wanted) == 0 ? 0 : AccessDeniedIfRefused(errno);
}

}  // namespace

int TakeOverFileIdentity(int originalFd, const struct stat& original, int fd) {
  struct stat created;
  if (fstat(fd, &created) != 0) return errno;
  if ((created.st_uid != original.st_uid || created.st_gid != original.st_gid) &&
      fchown(fd, original.st_uid, original.st_gid) != 0) {
    return AccessDeniedIfRefused(errno);
  }
  if (const int error = TakeOverAttributes(originalFd, fd); error != 0) return error;
  if (const int error = TakeOverFlags(originalFd, fd); error != 0) return error;
  const mode_t bits = original.st_mode & 07777;
  if (fchmod(fd, bits) != 0) return AccessDeniedIfRefused(errno);
  // The system may quietly drop a bit (set-group-ID for a group the caller
  // is not in): what it kept is checked, not assumed.
  if (fstat(fd, &created) != 0) return errno;
  if ((created.st_mode & 07777) != bits || created.st_uid != original.st_uid ||
      created.st_gid != original.st_gid) {
    return EACCES;
  }
  return 0;
}

}  // namespace corvane::posix
