#include "shell/posix/host/paths.h"

#include <unistd.h>

#include "shell/posix/host/native_owners.h"
#include "shell/posix/host/native_text.h"

namespace corvane::posix {
namespace {

std::string WorkingDirectory() {
  const unique_malloced_text cwd(getcwd(nullptr, 0));
  return cwd ? std::string(cwd.get()) : std::string();
}

// Whether an absolute path is already in normal form: no empty, "." or ".."
// component and no trailing slash, the root itself aside.
bool IsNormalAbsolute(std::string_view path) {
  if (path.empty() || path.front() != '/') return false;
  if (path.size() == 1) return true;
  std::size_t start = 1;
  for (;;) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view component = path.substr(start, end - start);
    if (component.empty() || component == "." || component == "..") return false;
    if (end == path.size()) return true;
    start = end + 1;
  }
}

}  // namespace

std::vector<std::string> PathComponents(const std::string& absolutePath) {
  std::vector<std::string> components;
  std::size_t start = 0;
  while (start <= absolutePath.size()) {
    std::size_t end = absolutePath.find('/', start);
    if (end == std::string::npos) end = absolutePath.size();
    std::string component = absolutePath.substr(start, end - start);
    if (component == "..") {
      if (!components.empty()) components.pop_back();
    } else if (!component.empty() && component != ".") {
      components.push_back(std::move(component));
    }
    start = end + 1;
  }
  return components;
}

std::string AbsoluteNativePath(std::wstring_view path) {
  std::string native = NativePath(path);
  // Most paths the program hands over are absolute and clean already.
  if (IsNormalAbsolute(native)) return native;
  if (native.empty() || native.front() != '/') {
    const std::string cwd = WorkingDirectory();
    if (cwd.empty()) return {};
    native = cwd + "/" + native;
  }
  std::string normalised;
  for (const std::string& component : PathComponents(native)) normalised += "/" + component;
  return normalised.empty() ? "/" : normalised;
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace corvane::posix
