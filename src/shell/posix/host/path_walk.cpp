#include "shell/posix/host/path_walk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "shell/posix/host/paths.h"

namespace corvane::posix {
namespace {

constexpr unsigned long kFuseMagic = 0x65735546;
// As many links as the kernel follows in one path.
constexpr int kMostLinks = 40;
constexpr int kLookupFlags = O_PATH | O_NOFOLLOW | O_CLOEXEC;

// The mount line of the mount a descriptor lies on; empty when unknown.
std::string MountLineOf(int fd) {
  struct statx status;
  if (statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &status) != 0 ||
      (status.stx_mask & STATX_MNT_ID) == 0) {
    return {};
  }
  const std::string id = std::to_string(status.stx_mnt_id) + " ";
  FILE* mounts = std::fopen("/proc/self/mountinfo", "re");
  if (mounts == nullptr) return {};
  std::string found;
  char* line = nullptr;
  std::size_t size = 0;
  while (getline(&line, &size, mounts) >= 0) {
    if (std::string_view(line).starts_with(id)) {
      found = line;
      break;
    }
  }
  std::free(line);
  std::fclose(mounts);
  return found;
}

class Walk {
 public:
  Walk(bool ownFolders, LinksFollowed links) : ownFolders_(ownFolders), linksFollowed_(links) {}

  // Walks the components of an absolute path from the root. With an entry
  // wanted, the last one is not entered: current() is its folder, and
  // name() and entry() say what it is; otherwise current() is the folder
  // the whole path names. 0 or errno.
  int Run(const std::string& path, bool entryWanted, MissingFolders missing) {
    // As the kernel refuses a path it is given whole.
    if (path.size() >= PATH_MAX) return ENAMETOOLONG;
    pending_ = PathComponents(path);
    std::reverse(pending_.begin(), pending_.end());
    if (const int error = Restart(); error != 0) return error;
    while (!pending_.empty()) {
      std::string name = std::move(pending_.back());
      pending_.pop_back();
      if (name.empty() || name == ".") continue;
      unique_fd next(openat(current_.get(), name.c_str(), kLookupFlags));
      if (!next) {
        if (errno != ENOENT || missing != MissingFolders::Create || entryWanted) return errno;
        // New folders go only where the caller owns the folder.
        if (!Owned(current_.get(), currentStatus_, true)) return EACCES;
        if (mkdirat(current_.get(), name.c_str(), 0777) != 0 && errno != EEXIST) return errno;
        pending_.push_back(std::move(name));  // looked at again, whatever made it
        continue;
      }
      struct stat status;
      if (fstat(next.get(), &status) != 0) return errno;
      if (S_ISLNK(status.st_mode)) {
        if (const int error = Follow(next.get(), status); error != 0) return error;
        continue;
      }
      if (pending_.empty() && entryWanted) {
        name_ = std::move(name);
        entry_ = status;
        return 0;
      }
      if (!S_ISDIR(status.st_mode)) return ENOTDIR;
      if (ownFolders_ && !Owned(next.get(), status, false)) return EACCES;
      current_ = std::move(next);
      currentStatus_ = status;
    }
    if (ownFolders_ && !Owned(current_.get(), currentStatus_, true)) return EACCES;
    // The path ended in a folder (the root, or a link's "." or ""): the
    // entry is that folder itself.
    name_.assign(1, '.');
    entry_ = currentStatus_;
    return 0;
  }

  unique_fd& current() { return current_; }
  std::string& name() { return name_; }
  const struct stat& entry() const { return entry_; }

 private:
  int Restart() {
    current_ = unique_fd(open("/", kLookupFlags | O_DIRECTORY));
    if (!current_) return errno;
    return fstat(current_.get(), &currentStatus_) == 0 ? 0 : errno;
  }

  // Whether the file system that holds fd tells its owners truly.
  bool OwnersBelieved(int fd) const {
    struct statfs fileSystem;
    if (fstatfs(fd, &fileSystem) != 0) return false;
    if (static_cast<unsigned long>(fileSystem.f_type) != kFuseMagic) return true;
    return MountOwnersTrusted(MountLineOf(fd), caller_);
  }

  // Whether fd (status) is the caller's, or (unless onlyCaller) root's.
  bool Owned(int fd, const struct stat& status, bool onlyCaller) const {
    const bool owner = status.st_uid == caller_ || (!onlyCaller && status.st_uid == 0);
    return owner && OwnersBelieved(fd);
  }

  // A link is the caller's own, or root's in a folder no other user can
  // write (another could move it there, or anywhere).
  bool Trusted(int linkFd, const struct stat& link) const {
    if (link.st_uid == 0) {
      const bool folderClosed = (currentStatus_.st_uid == caller_ || currentStatus_.st_uid == 0) &&
                                (currentStatus_.st_mode & (S_IWGRP | S_IWOTH)) == 0;
      if (!folderClosed || !OwnersBelieved(current_.get())) return false;
    } else if (link.st_uid != caller_) {
      return false;
    }
    return OwnersBelieved(linkFd);
  }

  // Reads the text of the link opened as linkFd and puts its components
  // before those still to walk.
  int Follow(int linkFd, const struct stat& link) {
    if (linksFollowed_ == LinksFollowed::Trusted && !Trusted(linkFd, link)) return EACCES;
    if (++links_ > kMostLinks) return ELOOP;
    std::string target(PATH_MAX, '\0');
    const ssize_t size = readlinkat(linkFd, "", target.data(), target.size());
    if (size < 0) return errno;
    target.resize(static_cast<std::size_t>(size));
    if (target.empty()) return ENOENT;
    if (target.front() == '/') {
      if (const int error = Restart(); error != 0) return error;
    }
    // The link's own components, ".." among them, are walked as they stand.
    for (std::size_t end = target.size(); end != std::string::npos;) {
      const std::size_t slash = end == 0 ? std::string::npos : target.rfind('/', end - 1);
      const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
      pending_.push_back(target.substr(start, end - start));
      end = slash;
    }
    return 0;
  }

  const uid_t caller_ = geteuid();
  const bool ownFolders_;
  const LinksFollowed linksFollowed_;
  std::vector<std::string> pending_;  // the components still to walk, the next one last
  unique_fd current_;
  struct stat currentStatus_ {};
  std::string name_;
  struct stat entry_ {};
  int links_ = 0;
};

}  // namespace

int OpenOwnFolder(const std::string& path, MissingFolders missing, unique_fd& folder) {
  Walk walk(true, LinksFollowed::Trusted);
  if (const int error = walk.Run(path, false, missing); error != 0) return error;
  folder = unique_fd(openat(walk.current().get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return folder ? 0 : errno;
}

int WalkToEntry(const std::string& path, LinksFollowed links, unique_fd& folder, std::string& name,
                struct stat& entry) {
  Walk walk(false, links);
  if (const int error = walk.Run(path, true, MissingFolders::Fail); error != 0) return error;
  folder = std::move(walk.current());
  name = std::move(walk.name());
  entry = walk.entry();
  return 0;
}

bool MountOwnersTrusted(std::string_view mountLine, uid_t caller) {
  // "36 35 0:41 / /mnt rw,nosuid - fuse.sshfs sshfs rw,user_id=1000,..."
  const std::size_t separator = mountLine.find(" - ");
  if (separator == std::string_view::npos) return false;
  const std::string_view tail = mountLine.substr(separator + 3);
  if (!tail.starts_with("fuse")) return true;
  const std::size_t at = tail.find("user_id=");
  if (at == std::string_view::npos) return false;
  const std::string_view digits = tail.substr(at + 8);
  unsigned long owner = 0;
  std::size_t used = 0;
  for (; used < digits.size() && digits[used] >= '0' && digits[used] <= '9'; ++used) {
    owner = owner * 10 + static_cast<unsigned long>(digits[used] - '0');
    if (owner > 0xFFFFFFFFul) return false;
  }
  return used > 0 && (owner == 0 || owner == caller);
}

}  // namespace corvane::posix
