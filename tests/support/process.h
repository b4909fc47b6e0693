// Runs a program as a child process with its output redirected to files,
// as a deployment script would, and hands back the exact bytes.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace corvane::testing {

struct ProcessOptions {
  // Environment changes: a value sets the variable, nullopt removes it.
  std::map<std::string, std::optional<std::string>> environment;
  // Working directory of the child; empty keeps the current one.
  std::string workingDirectory;
  // Sends stderr into the same file as stdout (as 2>&1 does).
  bool mergeStderrIntoStdout = false;
  // Puts stdout and stderr both on one pseudo-terminal, in raw mode (no CR
  // added before a line feed), whose bytes come back in out.
  bool onTerminal = false;
  // Gives the child a pseudo-terminal as stdin only (stdout and stderr stay
  // files): Wine then gives a console program a console of its own.
  bool terminalInput = false;
  // Runs the child as this user and group (the caller must be root).
  std::optional<unsigned> user;
  // Caps the child's address space (RLIMIT_AS), in bytes.
  std::optional<unsigned long long> addressSpaceLimit;
};

struct ProcessResult {
  int exitStatus = -1;     // 0..255, or -1 when the child did not exit normally
  std::string out;         // bytes written to stdout
  std::string err;         // bytes written to stderr (empty when merged)
  long peakMemoryKiB = 0;  // the child's maximum resident set
};

// arguments excludes the program itself; argv[0] is the program as given. A
// program named without a slash is looked up in PATH.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const ProcessOptions& options = {});

// A fresh folder under $TMPDIR (or /tmp), removed with its contents on
// destruction.
class TemporaryFolder {
 public:
  TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  ~TemporaryFolder();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
// Names of the entries of a folder, sorted; empty when it does not exist.
std::vector<std::string> ListFolder(const std::string& path);

// Sets (or, with nullopt, removes) an environment variable of this process
// and restores its old state on destruction.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, std::optional<std::string> value);
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;
  ~ScopedVariable();

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

// The working directory at construction, put back on destruction.
class ScopedWorkingFolder {
 public:
  ScopedWorkingFolder();
  ScopedWorkingFolder(const ScopedWorkingFolder&) = delete;
  ScopedWorkingFolder& operator=(const ScopedWorkingFolder&) = delete;
  ~ScopedWorkingFolder();

 private:
  std::string saved_;
};

// The path with every symbolic link resolved; empty when it does not exist.
std::string RealPath(const std::string& path);

// Text with every "\n" turned into "\r\n", as the console writes it.
std::string WithCrLf(const std::string& text);

}  // namespace corvane::testing
