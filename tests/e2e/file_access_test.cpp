// What corv touches on disk, watched with strace: every command reads only
// the shortcut it was given and the pin folder, looks at no more than the
// folders on the way to them, and writes only into the pin folder (p, v, u)
// or the shortcut's own file (s).
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "e2e/corv_test.h"

namespace {

using namespace corvane::e2e;

// One system call of the trace that names a path.
struct Access {
  std::string line;  // as strace wrote it
  std::string call;
  std::vector<std::string> paths;  // absolute and lexically normal
  bool writes = false;
  bool directoryOpen = false;
  bool metadataOnly = false;
  // Writes a file with no name yet (O_TMPFILE, or a descriptor strace
  // shows as "(deleted)"): its path is the folder it is in.
  bool unnamed = false;
};

// Splits "a, {b, c}, "d, e"" at the commas that separate arguments.
std::vector<std::string> SplitArguments(const std::string& text) {
  std::vector<std::string> arguments(1);
  int depth = 0;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      arguments.back() += c;
      if (c == '\\' && i + 1 < text.size()) {
        arguments.back() += text[++i];
      } else if (c == '"') {
        quoted = false;
      }
      continue;
    }
    if (c == '"') quoted = true;
    if (c == '{' || c == '[' || c == '(' || c == '<') ++depth;
    if (c == '}' || c == ']' || c == ')' || c == '>') --depth;
    if (c == ',' && depth == 0) {
      arguments.emplace_back();
      continue;
    }
    if (c == ' ' && arguments.back().empty()) continue;
    arguments.back() += c;
  }
  return arguments;
}

// The text of a quoted argument; strace escapes only what our paths never hold.
std::string Unquote(const std::string& argument) {
  if (argument.size() < 2 || argument.front() != '"') return "";
  return argument.substr(1, argument.size() - 2);
}

// The file a descriptor argument such as 3</a/b> or AT_FDCWD</a> names. A
// file with no name is shown as "3</a/#123>(deleted)".
std::string Descriptor(std::string argument) {
  constexpr std::string_view kDeleted = "(deleted)";
  if (argument.ends_with(kDeleted)) argument.resize(argument.size() - kDeleted.size());
  const std::size_t open = argument.find('<');
  if (open == std::string::npos || argument.back() != '>') return "";
  return argument.substr(open + 1, argument.size() - open - 2);
}

std::string Normal(const std::string& path) {
  std::string normal = std::filesystem::path(path).lexically_normal().string();
  if (normal.size() > 1 && normal.back() == '/') normal.pop_back();  // "folder/." names the folder
  return normal;
}

std::string Resolve(const std::string& folder, const std::string& path) {
  if (path.empty()) return Normal(folder);
  if (path.front() == '/') return Normal(path);
  return Normal(folder + "/" + path);
}

// Reads strace's log (-f -y -s 4096 -e trace=%file). Calls it does not know
// come back with no path and a note in `call`, so that a test fails on them.
std::vector<Access> ParseTrace(const std::string& log, const std::string& workingFolder) {
  // Calls whose path is their first argument, and those that take a folder
  // descriptor and a path (the *at calls).
  static const std::set<std::string> kPathFirst{
      "open",   "creat",  "stat",  "lstat",     "access",   "readlink",   "unlink",
      "rmdir",  "mkdir",  "chmod", "chown",     "lchown",   "truncate",   "utime",
      "utimes", "statfs", "chdir", "listxattr", "getxattr", "llistxattr", "lgetxattr"};
  static const std::set<std::string> kAt{"openat",     "newfstatat", "statx",     "faccessat",
                                         "faccessat2", "readlinkat", "unlinkat",  "mkdirat",
                                         "fchmodat",   "fchownat",   "utimensat", "openat2"};
  static const std::set<std::string> kMetadata{
      "stat",       "lstat",      "access",    "readlink", "newfstatat", "statx",    "faccessat",
      "faccessat2", "readlinkat", "listxattr", "getxattr", "llistxattr", "lgetxattr"};
  static const std::set<std::string> kModifying{
      "creat",    "unlink",   "rmdir",     "mkdir",    "chmod",    "chown",
      "lchown",   "truncate", "utime",     "utimes",   "unlinkat", "mkdirat",
      "fchmodat", "fchownat", "utimensat", "rename",   "renameat", "renameat2",
      "link",     "linkat",   "symlink",   "symlinkat"};
  std::vector<Access> accesses;
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    // strace pads the process number to five places: "12    openat(",
    // "123456 openat(".
    std::size_t start = line.find_first_not_of("0123456789");
    if (start == std::string::npos) continue;
    start = line.find_first_not_of(' ', start);
    const std::size_t open = line.find('(');
    const std::size_t close = line.rfind(") = ");
    if (start == std::string::npos || open == std::string::npos || close == std::string::npos ||
        open <= start || line.find(' ', start) < open) {
      continue;  // exits, signals, resumed calls
    }
    Access access;
    access.line = line;
    access.call = line.substr(start, open - start);
    if (access.call == "execve" || access.call == "getcwd") continue;
    const std::vector<std::string> arguments =
        SplitArguments(line.substr(open + 1, close - open - 1));
    const auto at = [&](std::size_t folder, std::size_t path) {
      if (path < arguments.size()) {
        access.paths.push_back(Resolve(Descriptor(arguments[folder]), Unquote(arguments[path])));
      }
    };
    if (kPathFirst.count(access.call) != 0) {
      access.paths.push_back(Resolve(workingFolder, Unquote(arguments[0])));
    } else if (kAt.count(access.call) != 0) {
      at(0, 1);
      access.unnamed = arguments[0].ends_with("(deleted)");
    } else if (access.call == "rename" || access.call == "link") {
      access.paths.push_back(Resolve(workingFolder, Unquote(arguments[0])));
      access.paths.push_back(Resolve(workingFolder, Unquote(arguments[1])));
    } else if (access.call == "renameat" || access.call == "renameat2" || access.call == "linkat") {
      at(0, 1);
      at(2, 3);
      // Linking a descriptor (AT_EMPTY_PATH) gives a file with no name one.
      access.unnamed = access.call == "linkat" && arguments[0].ends_with("(deleted)");
    } else if (access.call == "symlink") {
      access.paths.push_back(Resolve(workingFolder, Unquote(arguments[1])));
    } else if (access.call == "symlinkat") {
      at(1, 2);
    } else {
      access.call = "unexpected call " + access.call;
    }
    access.metadataOnly = kMetadata.count(access.call) != 0;
    access.writes = kModifying.count(access.call) != 0;
    if (access.call == "open" || access.call == "openat" || access.call == "openat2") {
      const std::string flags = arguments.size() > 2 ? arguments[2] : "";
      access.writes = flags.find("O_WRONLY") != std::string::npos ||
                      flags.find("O_RDWR") != std::string::npos ||
                      flags.find("O_CREAT") != std::string::npos ||
                      flags.find("O_TRUNC") != std::string::npos;
      access.directoryOpen = flags.find("O_DIRECTORY") != std::string::npos;
      // A descriptor of the path alone reads nothing: it is a lookup.
      access.metadataOnly = flags.find("O_PATH") != std::string::npos;
      access.unnamed = flags.find("O_TMPFILE") != std::string::npos;
    }
    // A file with no name is known by the folder it is in.
    if (access.unnamed && access.call != "openat") {
      access.paths.front() = Normal(std::filesystem::path(access.paths.front()).parent_path());
    }
    accesses.push_back(access);
  }
  return accesses;
}

bool IsWithin(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == '/';
}

bool IsAncestorOf(const std::string& path, const std::string& of) {
  return path == "/" || path == of || IsWithin(of, path);
}

// What one command may touch.
struct Allowed {
  std::vector<std::string> files;     // read (and for s written) as they are
  std::vector<std::string> folders;   // read, with everything in them
  std::vector<std::string> writable;  // folders whose entries may be written
  std::string creatableBelow;         // folders below it may be made
  std::string savedFile;              // written by s through a hidden file beside it
};

class E2eFileAccess : public CorvTest {
 protected:
  void SetUp() override {
    if (kUnderAddressSanitizer) GTEST_SKIP() << "the sanitizer's runtime reads files of its own";
    if (RunProcess("strace", {"-o", "/dev/null", "true"}).exitStatus != 0) {
      GTEST_SKIP() << "strace (Debian package strace) is missing or cannot trace here";
    }
    // Neighbours that no command has any business with.
    CopyExample("Minecraft.lnk", "Neighbour.lnk");
    CopyExample("Minecraft.lnk", "dir/Sibling.lnk");
    CopyExample("Minecraft.lnk", "dir/sub/Deeper.lnk");
    std::filesystem::create_directories(AppData() + "/Microsoft/Windows/Start Menu");
    WriteFileBytes(AppData() + "/Microsoft/Windows/Start Menu/Menu.lnk", minecraft_);
    shortcut_ = CopyExample("Example.lnk", "dir/App.lnk");
  }

  // Runs corv under strace and gives back every access the rules forbid.
  std::vector<std::string> Violations(const std::vector<std::string>& arguments,
                                      const Allowed& allowed, int expectedStatus) {
    const std::string log = traces_.path() + "/" + std::to_string(++runs_);
    const ProcessResult result = RunBehind(
        {"strace", "-f", "-qq", "-y", "-s", "4096", "-e", "trace=%file", "-o", log}, {}, arguments);
    EXPECT_EQ(result.exitStatus, expectedStatus) << result.out << result.err;
    const std::string trace = ReadFileBytes(log);
    std::filesystem::remove(log);
    const std::vector<Access> accesses = ParseTrace(trace, Normal(WorkPath("")));
    EXPECT_FALSE(accesses.empty()) << "nothing traced";

    std::vector<std::string> violations;
    for (const Access& access : accesses) {
      if (access.paths.empty()) {
        violations.push_back(access.call + ": " + access.line);
        continue;
      }
      for (const std::string& path : access.paths) {
        if (!Permitted(access, path, allowed)) violations.push_back(access.line);
      }
    }
    return violations;
  }

  static bool Permitted(const Access& access, const std::string& path, const Allowed& allowed) {
    // A file with no name yet, in a folder where one may be written.
    if (access.unnamed && path == access.paths.front()) {
      for (const std::string& folder : allowed.writable) {
        if (path == folder) return true;
      }
      return !allowed.savedFile.empty() &&
             path == std::filesystem::path(allowed.savedFile).parent_path().string();
    }
    if (access.writes) {
      for (const std::string& folder : allowed.writable) {
        if (IsWithin(path, folder)) return true;
      }
      if (!allowed.savedFile.empty()) {
        const std::filesystem::path saved(allowed.savedFile);
        const std::filesystem::path written(path);
        if (path == allowed.savedFile || (written.parent_path() == saved.parent_path() &&
                                          written.filename().string().front() == '.')) {
          return true;
        }
      }
      if ((access.call == "mkdir" || access.call == "mkdirat") && !allowed.creatableBelow.empty() &&
          IsWithin(path, allowed.creatableBelow)) {
        for (const std::string& folder : allowed.writable) {
          if (IsAncestorOf(path, folder)) return true;
        }
      }
      return false;
    }
    for (const std::string& file : allowed.files) {
      if (path == file) return true;
    }
    for (const std::string& folder : allowed.folders) {
      if (path == folder || IsWithin(path, folder)) return true;
    }
    // glibc's start-up finds its own program.
    if (path == "/proc/self/exe") return true;
    // A dynamically linked corv loads its libraries.
    if (path == "/etc/ld.so.cache" || path.rfind("/lib/", 0) == 0 ||
        path.rfind("/lib64/", 0) == 0 || path.rfind("/usr/lib/", 0) == 0) {
      return true;
    }
    // The folders on the way to what may be read may be looked at, and s
    // flushes the folder it saved into.
    std::vector<std::string> reachable = allowed.files;
    reachable.insert(reachable.end(), allowed.folders.begin(), allowed.folders.end());
    for (const std::string& target : reachable) {
      if (IsAncestorOf(path, target) && access.metadataOnly) return true;
    }
    if (!allowed.savedFile.empty() && access.directoryOpen &&
        path == std::filesystem::path(allowed.savedFile).parent_path().string()) {
      return true;
    }
    return false;
  }

  Allowed ForPinning() const {
    return Allowed{{Normal(shortcut_)}, {PinFolder()}, {PinFolder()}, AppData(), ""};
  }

  std::string shortcut_;
  TemporaryFolder traces_;
  int runs_ = 0;
};

TEST_F(E2eFileAccess, PinningCommandsTouchOnlyTheShortcutAndThePinFolder) {
  // p with no pin folder yet: it is made, and nothing else.
  EXPECT_EQ(Violations({"dir/App.lnk", "p"}, ForPinning(), 0), std::vector<std::string>{});
  EXPECT_EQ(Violations({"dir/App.lnk", "u"}, ForPinning(), 0), std::vector<std::string>{});
  // v with another shortcut pinned: both searches read it, then the pin.
  const std::string other = PinFolder() + "/Other.lnk";
  WriteFileBytes(other, minecraft_);
  EXPECT_EQ(Violations({"dir/../dir/App.lnk", "v"}, ForPinning(), 0), std::vector<std::string>{});
  // u by target, and the failures of u and p.
  EXPECT_EQ(Violations({"dir/App.lnk", "u"}, ForPinning(), 0), std::vector<std::string>{});
  EXPECT_EQ(Violations({"dir/App.lnk", "u"}, ForPinning(), kModifyFailedStatus),
            std::vector<std::string>{});
  Allowed missing = ForPinning();
  missing.files = {WorkPath("dir/Missing.lnk")};
  EXPECT_EQ(Violations({"dir/Missing.lnk", "p"}, missing, kNoItemStatus),
            std::vector<std::string>{});
  EXPECT_EQ(ListFolder(WorkPath("dir")),
            (std::vector<std::string>{"App.lnk", "Sibling.lnk", "sub"}));
  EXPECT_EQ(Pins(), std::vector<std::string>{"Other.lnk"});
}

TEST_F(E2eFileAccess, AppIdCommandsTouchOnlyTheShortcut) {
  const Allowed readOnly{{Normal(shortcut_)}, {}, {}, "", ""};
  // Allowed nothing, the read of the shortcut is one access too many.
  EXPECT_NE(Violations({"dir/App.lnk", "g"}, Allowed{}, 0), std::vector<std::string>{});
  EXPECT_EQ(Violations({"dir/App.lnk", "g"}, readOnly, 0), std::vector<std::string>{});
  Allowed saving = readOnly;
  saving.savedFile = Normal(shortcut_);
  EXPECT_EQ(Violations({"dir/App.lnk", "s", "Contoso.App"}, saving, 0), std::vector<std::string>{});
  EXPECT_EQ(Violations({"dir/App.lnk", "g"}, readOnly, 0), std::vector<std::string>{});

  // Failing: a corrupt shortcut is left as it is, a missing one is not made.
  const std::string corrupt = WriteWorkFile("dir/Corrupt.lnk", example_.substr(0, 100));
  Allowed corruptSave{{corrupt}, {}, {}, "", corrupt};
  EXPECT_EQ(
      Violations({"dir/Corrupt.lnk", "s", "Never.Stored"}, corruptSave, kSetAppIdFailedStatus),
      std::vector<std::string>{});
  const std::string missing = WorkPath("dir/Missing.lnk");
  EXPECT_EQ(Violations({missing, "s", "Never.Stored"}, Allowed{{missing}, {}, {}, "", missing},
                       kSetAppIdFailedStatus),
            std::vector<std::string>{});
  EXPECT_EQ(ListFolder(WorkPath("dir")),
            (std::vector<std::string>{"App.lnk", "Corrupt.lnk", "Sibling.lnk", "sub"}));
  EXPECT_TRUE(ListFolder(AppData() + "/Microsoft/Internet Explorer").empty());
}

// The checker itself: an access outside the rules is caught.
TEST(E2eFileAccessRules, TraceLinesAreReadAsTheAccessesTheyAre) {
  const std::string log =
      "12    openat(AT_FDCWD</w>, \"a/../b.lnk\", O_RDONLY|O_CLOEXEC) = 3</w/b.lnk>\n"
      "123456 renameat2(AT_FDCWD</w>, \"/p/.corv-x\", AT_FDCWD</w>, \"/p/B, c.lnk\", "
      "RENAME_NOREPLACE) = 0\n"
      "1234  newfstatat(3</w/b.lnk>, \"\", {st_mode=S_IFREG|0444, ...}, AT_EMPTY_PATH) = 0\n"
      "12 openat(AT_FDCWD</w>, \"/p\", O_RDWR|O_CLOEXEC|O_TMPFILE, 0644) = 4</p/#17>(deleted)\n"
      "12 linkat(4</p/#17>(deleted), \"\", AT_FDCWD</w>, \"/p/B.lnk\", AT_EMPTY_PATH) = 0\n"
      "1234  <... mkdir resumed>, 0777) = 0\n"
      "12345 mkdir(\"q\", 0777) = -1 EEXIST (File exists)\n"
      "12 openat(5</p>, \".\", O_RDWR|O_CLOEXEC|O_TMPFILE, 0600) = 6</p/#18>(deleted)\n"
      "12 openat(5</p>, \"q\", O_RDONLY|O_NOFOLLOW|O_CLOEXEC|O_PATH|O_DIRECTORY) = 7</p/q>\n"
      "12 inotify_add_watch(3, \"/x\", IN_ALL_EVENTS) = 1\n"
      "12 +++ exited with 0 +++\n";
  const std::vector<Access> accesses = ParseTrace(log, "/w");
  ASSERT_EQ(accesses.size(), 9u);
  EXPECT_EQ(accesses[0].paths, std::vector<std::string>{"/w/b.lnk"});
  EXPECT_FALSE(accesses[0].writes);
  EXPECT_EQ(accesses[1].paths, (std::vector<std::string>{"/p/.corv-x", "/p/B, c.lnk"}));
  EXPECT_TRUE(accesses[1].writes);
  EXPECT_EQ(accesses[2].paths, std::vector<std::string>{"/w/b.lnk"});
  EXPECT_TRUE(accesses[2].metadataOnly);
  for (const Access& unnamed : {accesses[3], accesses[4]}) {
    EXPECT_TRUE(unnamed.writes && unnamed.unnamed) << unnamed.line;
    EXPECT_EQ(unnamed.paths.front(), "/p");
  }
  EXPECT_EQ(accesses[4].paths.back(), "/p/B.lnk");
  EXPECT_EQ(accesses[5].paths, std::vector<std::string>{"/w/q"});
  EXPECT_TRUE(accesses[5].writes);
  EXPECT_TRUE(accesses[6].unnamed && accesses[6].writes);
  EXPECT_EQ(accesses[6].paths, std::vector<std::string>{"/p"});
  EXPECT_TRUE(accesses[7].metadataOnly && !accesses[7].writes);
  EXPECT_EQ(accesses[7].paths, std::vector<std::string>{"/p/q"});
  EXPECT_TRUE(accesses[8].paths.empty());
}

}  // namespace
