#include "shell/posix/objects/path_id_list.h"

#include <sys/stat.h>

#include <cstring>
#include <limits>
#include <string_view>

#include "shell/posix/host/errors.h"
#include "shell/posix/host/paths.h"

namespace corvane::posix {
namespace {

constexpr std::size_t kItemOverhead = sizeof(USHORT) + 1 + 1;  // cb, kind, NUL

}  // namespace

PIDLIST_ABSOLUTE IdListFromNativePath(const std::string& absolutePath) {
  struct stat status;
  if (stat(absolutePath.c_str(), &status) != 0) return nullptr;
  const std::vector<std::string> components = PathComponents(absolutePath);

  std::size_t total = sizeof(USHORT);  // the terminator
  for (const std::string& component : components) {
    if (component.size() + kItemOverhead > std::numeric_limits<USHORT>::max()) return nullptr;
    total += component.size() + kItemOverhead;
  }
  auto* bytes = static_cast<BYTE*>(CoTaskMemAlloc(total));
  if (bytes == nullptr) return nullptr;

  BYTE* cursor = bytes;
  for (std::size_t i = 0; i < components.size(); ++i) {
    const std::string& name = components[i];
    const bool isLast = i + 1 == components.size();
    const auto cb = static_cast<USHORT>(name.size() + kItemOverhead);
    std::memcpy(cursor, &cb, sizeof cb);
    cursor[2] = isLast && !S_ISDIR(status.st_mode) ? kFileItem : kFolderItem;
    std::memcpy(cursor + 3, name.data(), name.size());
    cursor[3 + name.size()] = 0;
    cursor += cb;
  }
  const USHORT terminator = 0;
  std::memcpy(cursor, &terminator, sizeof terminator);
  return reinterpret_cast<PIDLIST_ABSOLUTE>(bytes);
}

PITEMID_CHILD ChildIdList(std::string_view name, bool isFolder) {
  if (name.size() + kItemOverhead > std::numeric_limits<USHORT>::max()) return nullptr;
  const auto cb = static_cast<USHORT>(name.size() + kItemOverhead);
  auto* bytes = static_cast<BYTE*>(CoTaskMemAlloc(cb + sizeof(USHORT)));
  if (bytes == nullptr) return nullptr;
  std::memcpy(bytes, &cb, sizeof cb);
  bytes[2] = isFolder ? kFolderItem : kFileItem;
  std::memcpy(bytes + 3, name.data(), name.size());
  bytes[3 + name.size()] = 0;
  const USHORT terminator = 0;
  std::memcpy(bytes + cb, &terminator, sizeof terminator);
  return reinterpret_cast<PITEMID_CHILD>(bytes);
}

bool AppendIdListPath(PCUIDLIST_RELATIVE list, std::string& path) {
  if (list == nullptr) return false;
  const auto* cursor = reinterpret_cast<const BYTE*>(list);
  for (;;) {
    USHORT cb;
    std::memcpy(&cb, cursor, sizeof cb);
    if (cb == 0) return true;
    if (cb < kItemOverhead) return false;
    const BYTE kind = cursor[2];
    if (kind != kFolderItem && kind != kFileItem) return false;
    const auto* name = reinterpret_cast<const char*>(cursor + 3);
    const std::size_t length = cb - kItemOverhead;
    if (name[length] != '\0' || std::memchr(name, '\0', length) != nullptr) return false;
    // A name is one component: not empty, no separator, not "." or "..".
    const std::string_view component(name, length);
    if (component.empty() || component.find('/') != std::string_view::npos || component == "." ||
        component == "..") {
      return false;
    }
    path += '/';
    path.append(name, length);
    cursor += cb;
  }
}

std::optional<std::string> NativePathFromIdList(PCIDLIST_ABSOLUTE list) {
  std::string path;
  if (!AppendIdListPath(list, path)) return std::nullopt;
  return path.empty() ? std::string("/") : path;
}

}  // namespace corvane::posix

PIDLIST_ABSOLUTE ILCreateFromPathW(PCWSTR pszPath) {
  return corvane::posix::FailOnOutOfMemory(PIDLIST_ABSOLUTE{nullptr}, [&]() -> PIDLIST_ABSOLUTE {
    if (pszPath == nullptr || *pszPath == L'\0') return nullptr;
    const std::string path = corvane::posix::AbsoluteNativePath(pszPath);
    if (path.empty()) return nullptr;
    return corvane::posix::IdListFromNativePath(path);
  });
}

void ILFree(PIDLIST_RELATIVE pidl) { CoTaskMemFree(pidl); }
