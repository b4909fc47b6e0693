// File helpers for the stand-in's writes: every file it creates is written
// where no one can see it, flushed, and only then given its name, so no
// reader ever sees half a file and a run killed part-way leaves nothing.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "shell/posix/host/native_owners.h"

namespace corvane::posix {

// A new file in its destination's folder that has no name until it is
// complete: an unnamed file (O_TMPFILE), which vanishes with the process
// however it ends. Where the file system has no unnamed files it is a
// hidden named file instead, removed on destruction unless published.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile();

  // Creates the file in folder with the given permission bits; 0 or errno.
  int Create(const std::string& folder, mode_t mode);
  // Appends all of the bytes; 0 or errno.
  int Write(const void* data, std::size_t size);
  // Flushes the contents to disk; 0 or errno.
  int Sync();
  // Gives the file its final name when nothing has that name yet: 0, EEXIST
  // when the name is taken, or another errno.
  int PublishAs(const std::string& path);
  // Gives the file its final name, replacing what has that name: 0 or errno.
  int ReplaceAs(const std::string& path);

  int fd() const { return fd_.get(); }

 private:
  unique_fd fd_;
  std::string folder_;
  // The hidden file's path; empty for an unnamed file.
  std::string path_;
};

// Flushes a folder's entries to disk, so that a rename in it lasts. A
// failure is not reported: the change it follows is made and seen by then,
// and failing the call would not undo it.
void SyncFolder(const std::string& folder);

// Replaces the contents of a file as one step: the bytes go to a new file in
// the same folder, which takes the original's owner, group, extended
// attributes (its ACL among them) and permission bits, is flushed, and
// replaces the original under its name. A file that exists must be a
// writable regular file: one that nobody may write (no write bit at all) is
// read-only even for root, as Windows' read-only attribute is, and one whose
// owner, attributes or bits cannot be carried over is refused (EACCES). A
// symbolic link to a file keeps pointing at it, and that file is what gets
// replaced. On failure the original is untouched and nothing is left
// behind: 0, an errno value, or (for what is no regular file) kIsFolder or
// kNotRegularFile.
int ReplaceFileContents(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Creates the folder and any missing parents; 0 or errno.
int CreateFolders(const std::string& path);

}  // namespace corvane::posix
