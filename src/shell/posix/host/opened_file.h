// A regular file opened for reading and read whole, the one way the
// stand-in reads the files it loads: shortcuts and the pins beside them.
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

class OpenedFile {
 public:
  // Opens a regular file for reading, without blocking on a FIFO or taking a
  // terminal: 0, an errno value, kIsFolder or kNotRegularFile. A file that
  // is not regular is left open all the same (status() says what it is).
  int Open(const std::string& path);
  // The same for the entry name of an open folder.
  int OpenAt(int folderFd, const char* name);

  // Reads the whole file, at most limit bytes: 0, an errno value, or
  // kFileTooLarge.
  int ReadAll(std::size_t limit, std::vector<std::uint8_t>& bytes) const;

  bool is_open() const { return static_cast<bool>(fd_); }
  int fd() const { return fd_.get(); }
  // What fstat said of the file when it was opened.
  const struct stat& status() const { return status_; }

 private:
  int Opened(int fd);

  unique_fd fd_;
  struct stat status_ {};
};

// Whether two open files hold the same bytes, read from their start: 0 with
// the answer in same, or an errno value.
int SameContents(int fdA, int fdB, bool& same);

}  // namespace corvane::posix
