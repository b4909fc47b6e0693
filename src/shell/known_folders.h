// Special folders: SHGetFolderPathW and the CSIDL values the program uses.
#pragma once

#include "shell/com.h"

#ifdef _WIN32
#include "shell/windows/known_folders.h"
#else
#include "shell/posix/sdk/known_folders.h"
#endif
