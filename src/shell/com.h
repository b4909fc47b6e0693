// COM runtime: basic types, result codes, IUnknown, apartment, object
// creation and task memory.
#pragma once

#ifdef _WIN32
#include "shell/windows/com.h"
#else
#include "shell/posix/sdk/com.h"
#endif
