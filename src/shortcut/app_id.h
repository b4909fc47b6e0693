// A shortcut's AppUserModelID, read and written through the shell's link
// object.
#pragma once

#include <string>

namespace corvane {

// Prints the shortcut's AppUserModelID (or that it has none) and stores it
// in appId. False, after a diagnostic line, on any failure.
bool GetShortcutAppID(const std::wstring& shortcutPath, std::wstring& appId);

// Stores appId as the shortcut's AppUserModelID and saves the file. False,
// after a diagnostic line, on any failure.
bool SetShortcutAppID(const std::wstring& shortcutPath, const std::wstring& appId);

}  // namespace corvane
