// The shell's link object: IShellLinkW and IPersistFile, and the class and
// interface identifiers that reach them.
#pragma once

#ifdef _WIN32
#include "shell/windows/shell_link.h"
#else
#include "shell/posix/sdk/shell_link.h"
#endif
