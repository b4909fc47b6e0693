// Where a shortcut points, read through the shell's link object.
#pragma once

#include <string>

namespace corvane {

// Loads the shortcut and asks the link object for its target path. True
// with target replaced on success; false, with target untouched, when the
// shortcut cannot be loaded or has no file-system target. Prints nothing.
bool ResolveShortcutTarget(const std::wstring& shortcutPath, std::wstring& target);

}  // namespace corvane
