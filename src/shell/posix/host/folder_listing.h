// The one way the stand-in walks a folder: open it, then hand each entry to
// a visitor, in the order the file system lists them. The folder stays open
// while the listing lives, so entries can be looked up relative to it.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>

#include "shell/posix/host/native_owners.h"

namespace corvane::posix {

inline bool IsDotOrDotDot(std::string_view name) { return name == "." || name == ".."; }

class FolderListing {
 public:
  // Opens the folder: 0 or errno.
  int Open(const std::string& folder) {
    directory_.reset(opendir(folder.c_str()));
    return directory_ ? 0 : errno;
  }

  // Opens an open folder for listing; folderFd stays the caller's: 0 or
  // errno.
  int Open(int folderFd) {
    const int fd = openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    directory_.reset(fdopendir(fd));
    if (directory_) return 0;
    const int error = errno;
    close(fd);
    return error;
  }

  // The open folder's descriptor, for fstatat and openat.
  int fd() const { return dirfd(directory_.get()); }

  // Calls visit(entry) for every entry, "." and ".." among them; entry.d_name
  // ends in a NUL. 0, or the errno that cut the listing short.
  template <typename Visit>
  int ForEach(Visit&& visit) {
    for (;;) {
      errno = 0;
      const dirent* entry = readdir(directory_.get());
      if (entry == nullptr) return errno;
      visit(*entry);
    }
  }

 private:
  unique_dir directory_;
};

}  // namespace corvane::posix
