// FindFirstFileW, FindNextFileW and FindClose over a native folder. The
// pattern's last component is matched against each entry's name the way
// Windows matches it: without regard to case, with the DOS meanings of the
// wildcards that Windows keeps for compatibility ("*.*" matches every name,
// "*." the names without an extension, "a?.txt" also "a.txt").
#include "shell/posix/sdk/find_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "shell/posix/host/errors.h"
#include "shell/posix/host/folder_listing.h"
#include "shell/posix/host/name_list.h"
#include "shell/posix/host/native_text.h"
#include "shell/posix/host/path_walk.h"
#include "shell/posix/host/paths.h"
#include "shell/posix/runtime/resource_account.h"

namespace corvane::posix {
namespace {

// A pattern element: a character to match without regard to case, or one
// of the wildcards below.
using Token = std::int64_t;
constexpr Token kStar = -1;     // any run of characters
constexpr Token kDosStar = -2;  // any run that does not take the name's last dot
constexpr Token kDosQm = -3;    // one character; none at a dot or the end
constexpr Token kDosDot = -4;   // a dot, or nothing at the end of the name

// The mask as Windows hands it to the file system: '?' is always DOS_QM, a
// '*' before a dot is DOS_STAR, a dot before a wildcard or at the end is
// DOS_DOT.
std::vector<Token> Tokens(std::wstring_view mask) {
  std::vector<Token> tokens;
  for (std::size_t i = 0; i < mask.size(); ++i) {
    const wchar_t next = i + 1 < mask.size() ? mask[i + 1] : L'\0';
    if (mask[i] == L'?') {
      tokens.push_back(kDosQm);
    } else if (mask[i] == L'*') {
      tokens.push_back(next == L'.' ? kDosStar : kStar);
    } else if (mask[i] == L'.' && (next == L'?' || next == L'*' || next == L'\0')) {
      tokens.push_back(kDosDot);
    } else {
      tokens.push_back(UpperCaseChar(mask[i]));
    }
  }
  return tokens;
}

// Whether the pattern is a star followed only by characters ("*.lnk"). A
// name matches such a pattern when it ends in those characters; with a
// DOS_STAR, the run the star takes must also leave the name's last dot.
bool IsStarThenCharacters(const std::vector<Token>& pattern) {
  if (pattern.empty() || (pattern[0] != kStar && pattern[0] != kDosStar)) return false;
  for (std::size_t i = 1; i < pattern.size(); ++i) {
    if (pattern[i] < 0) return false;
  }
  return true;
}

bool MatchesStarThenCharacters(const std::vector<Token>& pattern, std::wstring_view name) {
  const std::size_t tail = pattern.size() - 1;
  if (name.size() < tail) return false;
  const std::size_t run = name.size() - tail;
  for (std::size_t i = 0; i < tail; ++i) {
    if (UpperCaseChar(name[run + i]) != pattern[1 + i]) return false;
  }
  if (pattern[0] == kDosStar) {
    const std::size_t lastDot = name.rfind(L'.');
    if (lastDot != std::wstring_view::npos && lastDot < run) return false;
  }
  return true;
}

// table: scratch space, reused from one name to the next.
bool Matches(const std::vector<Token>& pattern, std::wstring_view name, std::vector<char>& table) {
  const std::size_t m = pattern.size();
  const std::size_t n = name.size();
  const std::size_t lastDot = name.rfind(L'.');
  // matches(i, j): pattern[i..] matches name[j..].
  table.assign((m + 1) * (n + 1), 0);
  const auto matches = [&](std::size_t i, std::size_t j) -> char& {
    return table[i * (n + 1) + j];
  };
  matches(m, n) = 1;
  for (std::size_t i = m; i-- > 0;) {
    for (std::size_t j = n + 1; j-- > 0;) {
      const bool more = j < n;
      bool match = false;
      switch (pattern[i]) {
        case kStar:
          match = matches(i + 1, j) || (more && matches(i, j + 1));
          break;
        case kDosStar:
          match = matches(i + 1, j) || (more && j != lastDot && matches(i, j + 1));
          break;
        case kDosQm:
          match = !more || name[j] == L'.' ? matches(i + 1, j) : matches(i + 1, j + 1);
          break;
        case kDosDot:
          match = more ? name[j] == L'.' && matches(i + 1, j + 1) : matches(i + 1, j);
          break;
        default:
          match = more && UpperCaseChar(name[j]) == pattern[i] && matches(i + 1, j + 1);
          break;
      }
      matches(i, j) = match;
    }
  }
  return matches(0, 0);
}

FILETIME FileTimeOf(const timespec& time) {
  // 100-nanosecond intervals since 1601-01-01.
  constexpr std::int64_t kEpochDifference = 11644473600;
  const std::int64_t seconds = time.tv_sec + kEpochDifference;
  const std::uint64_t ticks =
      seconds < 0 ? 0 : static_cast<std::uint64_t>(seconds) * 10000000 + time.tv_nsec / 100;
  return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// The find data of one entry; false when it vanished meanwhile. name ends
// in a NUL.
bool Describe(int folderFd, std::string_view name, WIN32_FIND_DATAW& data) {
  struct stat status;
  if (fstatat(folderFd, name.data(), &status, AT_SYMLINK_NOFOLLOW) != 0) return false;
  DWORD attributes = 0;
  if (S_ISLNK(status.st_mode)) {
    // A link is reported as what it points to, marked as a reparse point.
    attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    struct stat target;
    if (fstatat(folderFd, name.data(), &target, 0) == 0) status = target;
  }
  if (S_ISDIR(status.st_mode)) {
    attributes |= FILE_ATTRIBUTE_DIRECTORY;
  } else if (S_ISREG(status.st_mode)) {
    attributes |= FILE_ATTRIBUTE_ARCHIVE;
  } else if (!S_ISLNK(status.st_mode)) {
    attributes |= FILE_ATTRIBUTE_SYSTEM;  // a device, a pipe, a socket
  }
  if (name[0] == '.' && name != "." && name != "..") attributes |= FILE_ATTRIBUTE_HIDDEN;
  if ((status.st_mode & S_IWUSR) == 0) attributes |= FILE_ATTRIBUTE_READONLY;

  data = {};
  data.dwFileAttributes = attributes;
  // No creation time in struct stat: the last status change stands in.
  data.ftCreationTime = FileTimeOf(status.st_ctim);
  data.ftLastAccessTime = FileTimeOf(status.st_atim);
  data.ftLastWriteTime = FileTimeOf(status.st_mtim);
  if (!S_ISDIR(status.st_mode)) {
    const auto size = static_cast<std::uint64_t>(status.st_size);
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size);
  }
  // A name never takes more UTF-16 units than it has bytes, so one of up to
  // MAX_PATH - 1 bytes (as every name a folder listing gives) fits whole.
  if (name.size() < MAX_PATH) {
    data.cFileName[DecodeNativeTextTo(name, data.cFileName)] = L'\0';
    return true;
  }
  CopyUtf16Prefix(DecodeNativeText(name), data.cFileName, MAX_PATH);
  return true;
}

// An open search: the matching names in the order they are reported, each
// described only when it is handed out, so a large folder costs a name per
// entry rather than a find-data record.
struct FindSearch {
  FolderListing folder;
  NameList names;
  std::size_t next = 0;

  // The next entry that still exists; false at the end.
  bool Next(WIN32_FIND_DATAW& data) {
    while (next < names.size()) {
      if (Describe(folder.fd(), names.name(next++), data)) return true;
    }
    return false;
  }
};

// The open searches, by handle: FindClose frees them, and a handle that is
// not here is refused rather than followed.
class SearchTable {
 public:
  HANDLE Add(std::unique_ptr<FindSearch> search) {
    const std::lock_guard<std::mutex> lock(mutex_);
    HANDLE handle = search.get();
    searches_.emplace(handle, std::move(search));
    Acquired(Resource::FileSearch, handle);
    return handle;
  }
  // Runs use(search) under the table's lock; false for an unknown handle.
  template <typename Use>
  bool With(HANDLE handle, Use use) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto it = searches_.find(handle);
    return it != searches_.end() && use(*it->second);
  }
  bool Remove(HANDLE handle) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (searches_.erase(handle) != 1) return false;
    Released(Resource::FileSearch, handle);
    return true;
  }

 private:
  std::mutex mutex_;
  std::map<HANDLE, std::unique_ptr<FindSearch>> searches_;
};

SearchTable& Searches() {
  static SearchTable table;
  return table;
}

}  // namespace
}  // namespace corvane::posix

HANDLE FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData) {
  return corvane::posix::FailOnOutOfMemory(INVALID_HANDLE_VALUE, [&]() -> HANDLE {
    using namespace corvane::posix;
    if (lpFileName == nullptr || lpFindFileData == nullptr) return INVALID_HANDLE_VALUE;
    const std::wstring_view pattern(lpFileName);
    const std::size_t separator = pattern.find_last_of(L"\\/");
    const std::wstring_view mask =
        separator == std::wstring_view::npos ? pattern : pattern.substr(separator + 1);
    if (mask.empty()) return INVALID_HANDLE_VALUE;
    const std::string folder =
        AbsoluteNativePath(separator == std::wstring_view::npos ? std::wstring_view()
                                                                : pattern.substr(0, separator + 1));
    if (folder.empty()) return INVALID_HANDLE_VALUE;

    auto search = std::unique_ptr<FindSearch>(new (std::nothrow) FindSearch());
    if (!search) return INVALID_HANDLE_VALUE;
    // The stand-in searches only folders of the caller's own (path_walk.h).
    unique_fd opened;
    if (OpenOwnFolder(folder, MissingFolders::Fail, opened) != 0 ||
        search->folder.Open(opened.get()) != 0) {
      return INVALID_HANDLE_VALUE;
    }
    const std::vector<Token> tokens = Tokens(mask);
    const bool starThenCharacters = IsStarThenCharacters(tokens);
    std::vector<char> table;
    std::wstring wideName;
    const int listed = search->folder.ForEach([&](const dirent& entry) {
      const std::string_view name = entry.d_name;
      // A drive's root has no "." and ".." on Windows.
      if (folder == "/" && IsDotOrDotDot(name)) return 0;
      // A name with a backslash cannot be written as a Windows path.
      if (name.find('\\') != std::string_view::npos) return 0;
      wideName.resize(name.size());
      wideName.resize(DecodeNativeTextTo(name, wideName.data()));
      if (starThenCharacters ? !MatchesStarThenCharacters(tokens, wideName)
                             : !Matches(tokens, wideName, table)) {
        return 0;
      }
      search->names.Add(name);
      return 0;
    });
    if (listed != 0) return INVALID_HANDLE_VALUE;
    // "." and ".." first, as Windows reports them, then by name without
    // regard to case, as NTFS keeps a folder.
    search->names.Sort([](std::string_view a, std::string_view b) {
      const bool aDots = IsDotOrDotDot(a);
      const bool bDots = IsDotOrDotDot(b);
      if (aDots != bDots) return aDots;
      return LessIgnoringCaseNative(a, b);
    });
    if (!search->Next(*lpFindFileData)) return INVALID_HANDLE_VALUE;
    return Searches().Add(std::move(search));
  });
}

BOOL FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData) {
  return corvane::posix::FailOnOutOfMemory(BOOL{0}, [&]() -> BOOL {
    if (lpFindFileData == nullptr) return 0;
    return corvane::posix::Searches().With(hFindFile, [&](corvane::posix::FindSearch& search) {
      return search.Next(*lpFindFileData);
    });
  });
}

BOOL FindClose(HANDLE hFindFile) { return corvane::posix::Searches().Remove(hFindFile) ? 1 : 0; }
