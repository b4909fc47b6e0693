#include "shell/posix/host/opened_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace corvane::posix {
namespace {

constexpr std::size_t kChunk = 64 * 1024;
constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// Reads up to size bytes, retrying short reads: the count read, or -1.
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

}  // namespace

int OpenedFile::Open(const std::string& path) { return Opened(open(path.c_str(), kReadFlags)); }

int OpenedFile::OpenAt(int folderFd, const char* name) {
  return Opened(openat(folderFd, name, kReadFlags));
}

int OpenedFile::Opened(int fd) {
  fd_ = unique_fd(fd);
  if (!fd_) return errno;
  if (fstat(fd, &status_) != 0) return errno;
  if (S_ISDIR(status_.st_mode)) return kIsFolder;
  return S_ISREG(status_.st_mode) ? 0 : kNotRegularFile;
}

int OpenedFile::ReadAll(std::size_t limit, std::vector<std::uint8_t>& bytes) const {
  const auto size = static_cast<std::uint64_t>(status_.st_size);
  if (size > limit) return kFileTooLarge;
  // The rule: read up to the size fstat gave, or on to the end if the file
  // grew since. A read that comes back short at or past that size has met
  // the end; the first one asks for a byte more than the size, so a file
  // that did not change is read in one call.
  bytes.resize(static_cast<std::size_t>(size) + 1);
  std::size_t done = 0;
  for (;;) {
    const ssize_t got =
        pread(fd_.get(), bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    done += static_cast<std::size_t>(got);
    if (got == 0 || (done >= size && done < bytes.size())) break;
    if (done == bytes.size()) {
      if (done > limit) return kFileTooLarge;
      bytes.resize(std::min(limit + 1, done + kChunk));
    }
  }
  bytes.resize(done);
  return 0;
}

int SameContents(int fdA, int fdB, bool& same) {
  same = false;
  struct stat a, b;
  if (fstat(fdA, &a) != 0 || fstat(fdB, &b) != 0) return errno;
  if (a.st_size != b.st_size) return 0;
  if (lseek(fdA, 0, SEEK_SET) < 0 || lseek(fdB, 0, SEEK_SET) < 0) return errno;
  std::vector<char> bufferA(kChunk), bufferB(kChunk);
  for (;;) {
    const ssize_t gotA = ReadFully(fdA, bufferA.data(), kChunk);
    const ssize_t gotB = ReadFully(fdB, bufferB.data(), kChunk);
    if (gotA < 0 || gotB < 0) return errno;
    if (gotA != gotB ||
        std::memcmp(bufferA.data(), bufferB.data(), static_cast<std::size_t>(gotA)) != 0) {
      return 0;
    }
    if (gotA == 0) {
      same = true;
      return 0;
    }
  }
}

}  // namespace corvane::posix
