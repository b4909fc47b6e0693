// A regular file opened for reading and read whole, the one way the
// stand-in reads the files it loads (shortcuts and the pins beside them),
// and, for a file opened to be replaced, the one way it replaces one: in
// the folder it was opened in, and only while its name still names it.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "shell/posix/host/native_owners.h"

namespace corvane::posix {

// What opening or reading a file can come to beyond an errno value. They are
// negative, so they never meet one.
inline constexpr int kIsFolder = -1;
inline constexpr int kNotRegularFile = -2;  // a FIFO, a device, a socket
inline constexpr int kFileTooLarge = -3;
// Another replacement of the file kept it locked for too long.
inline constexpr int kFileBusy = -4;
// The file's name no longer names the file that was opened: it was
// removed, or replaced by another file, a folder or a symbolic link.
inline constexpr int kFileReplaced = -5;
// The run has read all that it may of the folders it lists (read_budget.h).
inline constexpr int kReadBudgetSpent = -6;

class OpenedFile {
 public:
  // Opens a regular file for reading, without blocking on a FIFO or taking a
  // terminal: 0, an errno value, kIsFolder or kNotRegularFile. A file that
  // is not regular is left open all the same (status() says what it is).
  // The path is walked as WalkToEntry walks it (path_walk.h), following
  // every link for an ordinary user and only trusted ones for root (an
  // untrusted one is EACCES); a name that no longer names what the walk
  // found is kFileReplaced.
  int Open(const std::string& path);
  // The same for the entry name of an open folder; a symbolic link there is
  // not followed: it is kNotRegularFile.
  int OpenAt(int folderFd, const char* name);
  // Opens the file at path as Open does, but through trusted links only,
  // whoever the caller is, to be replaced later: its folder stays open
  // with it. The file is locked (flock) against other
  // replacements, which wait for this one to be closed (kFileBusy after
  // five seconds; so does any holder of a lock on it, a reader's shared
  // lock included); on a file system without locks they are not kept
  // apart. A name that is given to another file or a link meanwhile is
  // kFileReplaced at once.
  int OpenToReplace(const std::string& path);

  // Reads the first size bytes of the file (fewer when it is shorter): 0, an
  // errno value or kReadBudgetSpent.
  int ReadStart(std::size_t size, std::vector<std::uint8_t>& bytes) const;
  // Reads the whole file, at most limit bytes: 0, an errno value,
  // kFileTooLarge or kReadBudgetSpent.
  int ReadAll(std::size_t limit, std::vector<std::uint8_t>& bytes) const;

  // Replaces the bytes of a file opened with OpenToReplace: a new file in
  // its folder takes the original's owner, group, extended attributes,
  // inode flags and permission bits (TakeOverFileIdentity), is flushed, and
  // is renamed over the name, which is flushed too. From then on this
  // object holds the new file. Nothing is written anywhere when the name no
  // longer names the opened file (kFileReplaced); when nobody may write the
  // file (no write bit at all: read-only, for root too), the caller may not,
  // or the file or its folder is immutable or append-only (EACCES, EPERM);
  // or when the file's identity cannot be carried over (EACCES). On any
  // failure the original is untouched and nothing is left beside it. Once
  // the new file has the name, the call succeeds: the folder's flush that
  // follows cannot undo the rename, and is not reported.
  int Replace(const std::vector<std::uint8_t>& bytes);

  bool opened_to_replace() const { return static_cast<bool>(folder_); }
  int fd() const { return fd_.get(); }
  // What fstat said of the file when it was opened.
  const struct stat& status() const { return status_; }

 private:
  // Takes fd as the opened file: 0, errno, kIsFolder or kNotRegularFile.
  int Opened(int fd);
  // Opens name in folderFd without following a link, and only when it is
  // still the entry the walk found (walked).
  int OpenWalked(int folderFd, const std::string& name, const struct stat& walked);
  // Takes the read from the run's budget when the file is in a listed
  // folder: 0 or kReadBudgetSpent.
  int Spend(std::size_t bytes) const;
  // Lets go of the folder of a file opened to be replaced.
  void ForgetFolder();
  // Whether name in the folder still names the opened file.
  bool StillNamed() const;

  unique_fd fd_;
  struct stat status_ {};
  // Whether reads count against the run's read budget.
  bool counted_ = false;
  // For a file opened to be replaced: its folder and its name there.
  unique_fd folder_;
  std::string name_;
};

// Whether two open files hold the same bytes, read from their start: 0 with
// the answer in same, or an errno value.
int SameContents(int fdA, int fdB, bool& same);

}  // namespace corvane::posix
