// The stand-in's writes and the folders they go into. Every file it creates
// is written where no one can see it, flushed, and only then given its name,
// so no reader ever sees half a file; every write happens inside a folder
// held open, never through a path walked again.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "shell/posix/host/native_owners.h"

namespace corvane::posix {

// Hidden names start with this: the names of the stand-in's own files on
// their way to a name of their own. Listings of pins pass over them, and no
// pin is given one.
inline constexpr std::string_view kHiddenPrefix = ".corv-";

// The hidden names a file on its way to name goes through, first (which 0)
// and second (which 1): always the same for the same name, so a run killed
// before its last step leaves at most one, which the next run for that name
// removes. The second serves when another user holds the first in a shared
// folder, where it cannot be removed.
std::string HiddenNameFor(std::string_view name, int which = 0);

// Whether a name is one the stand-in gives its own files on their way to a
// name of their own (kHiddenPrefix and a run of letters and digits).
bool IsHiddenName(std::string_view name);

// A new file in an open folder that has no name until it is complete: an
// unnamed file (O_TMPFILE), which vanishes with the process however it
// ends. Where the file system has no unnamed files it is a named file
// instead, under a hidden name HiddenNameFor(forName) (one a killed run
// left there is removed first), locked while it lives and removed on
// destruction unless it got its name. Only when both hidden names are held,
// by a live run or by another user, does it take a random one.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile();

  // Creates the file in the folder (folderFd stays the caller's and must
  // outlive this file), on its way to the name forName, with the permission
  // bits of mode less the umask, as for any new file: 0 or errno.
  int Create(int folderFd, mode_t mode, std::string_view forName);
  // Appends all of the bytes; 0 or errno.
  int Write(const void* data, std::size_t size);
  // Flushes the contents to disk; 0 or errno.
  int Sync();
  // Gives the file the name in its folder when nothing has that name yet:
  // 0, EEXIST when the name is taken, or another errno.
  int PublishAs(const std::string& name);
  // Gives the file the name in its folder, replacing what has that name, by
  // way of a hidden name: 0 or errno.
  int ReplaceAs(const std::string& name);

  int fd() const { return fd_.get(); }
  // The file's descriptor, for a file that has its name.
  unique_fd ReleaseFd() { return std::move(fd_); }

 private:
  // Creates the named stand-in for an unnamed file: 0 or errno.
  int CreateNamed(mode_t mode, std::string_view forName);
  // Whether the hidden name still names this file.
  bool StillNamed() const;

  unique_fd fd_;
  int folder_ = -1;
  // The hidden file's name in the folder; empty for an unnamed file.
  std::string name_;
};

// Flushes a folder's entries to disk, so that a rename in it lasts. A
// failure is not reported: the change it follows is made and seen by then,
// and failing the call would not undo it.
void SyncFolder(int folderFd);

// Takes a file's lock (flock) without waiting: 0, EWOULDBLOCK when another
// holds it, or errno. A file system that keeps no such locks gives 0.
int LockFile(int fd);

// The attributes of the file or folder fd that refuse the removal or
// replacement of what is in it: immutable, append-only. fd may be held by
// its path alone (O_PATH). EPERM when one is set, 0 otherwise (also where
// the file system has no such attributes).
int CheckReplaceable(int fd);

}  // namespace corvane::posix
