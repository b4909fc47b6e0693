// The one way the stand-in lists a folder: hand each entry to a visitor, in
// the order the file system lists them. The folder stays open while the
// listing lives, so entries can be looked up relative to it, and what is
// read of its files counts against the run's read budget (read_budget.h).
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "shell/posix/host/native_owners.h"
#include "shell/posix/host/read_budget.h"

namespace corvane::posix {

inline bool IsDotOrDotDot(std::string_view name) { return name == "." || name == ".."; }

class FolderListing {
 public:
  // Opens an open folder for listing; folderFd stays the caller's: 0 or
  // errno.
  int Open(int folderFd) {
    if (const int error = CountReadsIn(folderFd); error != 0) return error;
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
  // ends in a NUL. visit returns 0 to go on, or an error that ends the
  // listing. 0, or the error that cut the listing short (visit's, or the
  // errno of the listing itself).
  template <typename Visit>
  int ForEach(Visit&& visit) {
    for (;;) {
      errno = 0;
      const dirent* entry = readdir(directory_.get());
      if (entry == nullptr) return errno;
      if (const int error = visit(*entry); error != 0) return error;
    }
  }

 private:
  unique_dir directory_;
};

}  // namespace corvane::posix
