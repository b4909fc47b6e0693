// Native paths for Windows-style path text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvane::posix {

// The absolute, lexically normalised native path for a Windows-style path:
// backslashes are separators, a relative path is taken against the working
// directory, and "." and ".." components are resolved as Windows resolves
// them, by the text alone. Empty when the working directory is unknown.
std::string AbsoluteNativePath(std::wstring_view path);

// The components of an absolute native path, root excluded.
std::vector<std::string> PathComponents(const std::string& absolutePath);

// The last component of a native path.
std::string BaseName(const std::string& path);

}  // namespace corvane::posix
