#include "support/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace corvane::testing {

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const ProcessOptions& options) {
  TemporaryFolder outputs;
  const std::string outPath = outputs.path() + "/stdout";
  const std::string errPath = outputs.path() + "/stderr";

  std::vector<std::string> argvStrings{program};
  argvStrings.insert(argvStrings.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : argvStrings) argv.push_back(argument.data());
  argv.push_back(nullptr);

  int terminal = -1, screen = -1;
  if (options.onTerminal || options.terminalInput) {
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&screen, &terminal, nullptr, &raw, nullptr) != 0) {
      throw std::runtime_error("openpty failed");
    }
  }
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    for (const auto& [name, value] : options.environment) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
    if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0) {
      _exit(126);
    }
    const int out =
        options.onTerminal ? terminal : open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = options.mergeStderrIntoStdout || options.onTerminal
                        ? out
                        : open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in = options.terminalInput ? terminal : open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0) _exit(126);
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    if (options.onTerminal || options.terminalInput) {
      close(screen);
      close(terminal);
    }
    if (options.addressSpaceLimit) {
      const rlimit limit{*options.addressSpaceLimit, *options.addressSpaceLimit};
      if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
    }
    if (options.user &&
        (setgroups(0, nullptr) != 0 || setgid(*options.user) != 0 || setuid(*options.user) != 0)) {
      _exit(126);
    }
    execvp(program.c_str(), argv.data());
    _exit(127);
  }
  ProcessResult result;
  if (options.terminalInput) close(terminal);
  if (options.onTerminal) {
    // The terminal's bytes, until the child's end closes it.
    close(terminal);
    char buffer[4096];
    for (ssize_t got; (got = read(screen, buffer, sizeof buffer)) != 0;) {
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) break;
      result.out.append(buffer, static_cast<std::size_t>(got));
    }
    close(screen);
  }
  int status = 0;
  rusage usage{};
  while (wait4(child, &status, 0, &usage) < 0) {
    // Only a signal may interrupt the wait; anything else (ECHILD: the child
    // was reaped elsewhere) would fail again on every try.
    if (errno != EINTR) {
      throw std::runtime_error(std::string("wait4 failed: ") + std::strerror(errno));
    }
  }
  if (options.terminalInput) close(screen);
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.peakMemoryKiB = usage.ru_maxrss;
  if (!options.onTerminal) result.out = ReadFileBytes(outPath);
  if (!options.mergeStderrIntoStdout && !options.onTerminal) result.err = ReadFileBytes(errPath);
  return result;
}

TemporaryFolder::TemporaryFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern =
      std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/corvane-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
  std::error_code ignored;
  // Give back write permission that a test may have taken away.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
  }
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<std::string> ListFolder(const std::string& path) {
  std::vector<std::string> names;
  if (DIR* directory = opendir(path.c_str())) {
    while (dirent* entry = readdir(directory)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(directory);
  }
  std::sort(names.begin(), names.end());
  return names;
}

ScopedVariable::ScopedVariable(const char* name, std::optional<std::string> value) : name_(name) {
  if (const char* old = std::getenv(name)) saved_ = old;
  if (value) {
    setenv(name, value->c_str(), 1);
  } else {
    unsetenv(name);
  }
}

ScopedVariable::~ScopedVariable() {
  if (saved_) {
    setenv(name_, saved_->c_str(), 1);
  } else {
    unsetenv(name_);
  }
}

ScopedWorkingFolder::ScopedWorkingFolder() {
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof cwd) == nullptr) {
    ADD_FAILURE() << "getcwd failed";
    return;
  }
  saved_ = cwd;
}

ScopedWorkingFolder::~ScopedWorkingFolder() {
  if (!saved_.empty() && chdir(saved_.c_str()) != 0) {
    ADD_FAILURE() << "could not return to " << saved_;
  }
}

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return {};
  return resolved;
}

std::string WithCrLf(const std::string& text) {
  std::string result;
  for (char c : text) {
    if (c == '\n') result += '\r';
    result += c;
  }
  return result;
}

}  // namespace corvane::testing
