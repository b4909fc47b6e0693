// File enumeration: FindFirstFileW, FindNextFileW, FindClose and the find
// data they fill.
#pragma once

#ifdef _WIN32
#include "shell/windows/find_files.h"
#else
#include "shell/posix/sdk/find_files.h"
#endif
