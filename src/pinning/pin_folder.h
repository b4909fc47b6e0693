// The taskbar's pin folder below the user's application-data folder, where
// the taskbar keeps a shortcut file for each pin.
#pragma once

#include <functional>
#include <string>

namespace corvane {

// The pin folder's path, without a trailing backslash. False when the
// application-data folder cannot be had.
bool PinFolderPath(std::wstring& folder);

// Calls visit with the path of each entry of the pin folder that matches
// pattern ("*.lnk", say), as FindFirstFileW and FindNextFileW give them
// ("." and ".." left out), until visit returns false. A folder that does not exist, or holds no
// such entry, has none. False when the application-data folder cannot be had.
bool ForEachPinnedFile(const wchar_t* pattern,
                       const std::function<bool(const std::wstring& path)>& visit);

}  // namespace corvane
