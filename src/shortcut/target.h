// Where a shortcut points, read through the shell's link object.
#pragma once

#include <string>

#include "shortcut/launch.h"

namespace corvane {

// Loads the shortcut and asks the link object for its target path, and from
// the same load its arguments and AppUserModelID. True with launch replaced
// on success; false, with launch untouched, when the shortcut cannot be
// loaded, has no file-system target, or its arguments cannot be read. An
// AppUserModelID that cannot be read is no failure: launch.appId is then
// nullopt. Prints nothing.
bool ResolveShortcutTarget(const std::wstring& shortcutPath, ShortcutLaunch& launch);

}  // namespace corvane
