// POSIX declarations of the special-folder names the program uses.
#pragma once

#include "shell/posix/sdk/com.h"

inline constexpr int CSIDL_APPDATA = 0x001a;
inline constexpr int CSIDL_FLAG_MASK = 0xff00;
inline constexpr DWORD SHGFP_TYPE_CURRENT = 0;

// Fills pszPath (MAX_PATH wide characters) with the folder's path.
HRESULT SHGetFolderPathW(HWND hwnd, int csidl, HANDLE hToken, DWORD dwFlags, LPWSTR pszPath);
