// Scope-bound owners for what POSIX hands out: a file descriptor, an open
// folder, a block from malloc. Each gives its resource back on every way
// out; they are move-only.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <utility>

namespace corvane::posix {

// A file descriptor closed when the owner goes out of scope.
class unique_fd {
 public:
  unique_fd() = default;
  explicit unique_fd(int fd) : fd_(fd) {}
  unique_fd(const unique_fd&) = delete;
  unique_fd& operator=(const unique_fd&) = delete;
  unique_fd(unique_fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  unique_fd& operator=(unique_fd&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  ~unique_fd() { reset(); }
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  void reset() {
    if (fd_ >= 0) close(std::exchange(fd_, -1));
  }

 private:
  int fd_ = -1;
};

namespace owner_detail {
struct CloseDirectory {
  void operator()(DIR* directory) const { closedir(directory); }
};
struct FreeMalloced {
  void operator()(void* block) const { std::free(block); }
};
}  // namespace owner_detail

// An open folder from opendir, closed with closedir.
using unique_dir = std::unique_ptr<DIR, owner_detail::CloseDirectory>;

// Text the C library allocated for the caller (realpath, getcwd), freed
// with free.
using unique_malloced_text = std::unique_ptr<char, owner_detail::FreeMalloced>;

}  // namespace corvane::posix
