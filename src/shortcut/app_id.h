// A shortcut's AppUserModelID, read and written through the shell's link
// object.
#pragma once

#include <string>

#include "shell/property_store.h"

namespace corvane {

// Prints the shortcut's AppUserModelID (or that it has none) and stores it
// in appId. False, after a diagnostic line, on any failure.
bool GetShortcutAppID(const std::wstring& shortcutPath, std::wstring& appId);

// Stores appId as the shortcut's AppUserModelID, saves the file, and loads
// it again with a fresh link object to see the identifier there: a link
// object may save without it. False, after a diagnostic line, on any failure.
bool SetShortcutAppID(const std::wstring& shortcutPath, const std::wstring& appId);

// Reads the AppUserModelID from a link object's property store into appId,
// empty for none: S_OK, GetValue's failure, or E_FAIL for a value of another
// type or a null string.
HRESULT ReadStoredAppId(IPropertyStore& store, std::wstring& appId);

}  // namespace corvane
