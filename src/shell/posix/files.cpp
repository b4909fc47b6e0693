#include "shell/posix/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace corvane::posix {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

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

}  // namespace

unique_fd::unique_fd(unique_fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

unique_fd& unique_fd::operator=(unique_fd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

unique_fd::~unique_fd() {
  if (fd_ >= 0) close(fd_);
}

TemporaryFile::~TemporaryFile() {
  if (!path_.empty()) unlink(path_.c_str());
}

int TemporaryFile::Create(const std::string& folder, mode_t mode) {
  std::string pattern = folder + "/.corv-XXXXXX";
  const int fd = mkstemp(pattern.data());
  if (fd < 0) return errno;
  fd_ = unique_fd(fd);
  path_ = pattern;
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

int TemporaryFile::CopyFrom(int fd) {
  char buffer[kChunk];
  for (;;) {
    const ssize_t got = ReadFully(fd, buffer, sizeof buffer);
    if (got < 0) return errno;
    if (got == 0) return 0;
    if (const int error = Write(buffer, static_cast<std::size_t>(got)); error != 0) return error;
  }
}

int TemporaryFile::Sync() { return fsync(fd_.get()) == 0 ? 0 : errno; }

int TemporaryFile::PublishAs(const std::string& path) {
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
  if (!S_ISREG(status.st_mode)) return S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
  if (static_cast<std::uint64_t>(status.st_size) > limit) return EFBIG;
  // The size is a hint: read to the end, and never past the limit. Asking
  // for one byte more than the size finds the end in the same read when the
  // file has not grown since fstat.
  const auto size = static_cast<std::size_t>(status.st_size);
  bytes.resize(size + 1);
  ssize_t got;
  do {
    got = read(fd.get(), bytes.data(), bytes.size());
  } while (got < 0 && errno == EINTR);
  if (got < 0) return errno;
  std::size_t done = static_cast<std::size_t>(got);
  // A regular file reads short only at its end; anything else (a read cut
  // by a signal, a file that grew) goes on to the end of the file.
  while (done != size) {
    if (done == bytes.size()) {
      if (done > limit) return EFBIG;
      bytes.resize(std::min(limit + 1, done + kChunk));
    }
    const ssize_t more =
        ReadFully(fd.get(), reinterpret_cast<char*>(bytes.data()) + done, bytes.size() - done);
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
  if (char* resolved = realpath(givenPath.c_str(), nullptr)) {
    path = resolved;
    std::free(resolved);
  }
  mode_t mode = 0666;
  struct stat status;
  if (stat(path.c_str(), &status) == 0) {
    if (!S_ISREG(status.st_mode)) return S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
    // Renaming over the file would succeed where writing it is refused.
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
  int error = file.Create(folder, mode);
  if (error == 0) error = file.Write(bytes.data(), bytes.size());
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
