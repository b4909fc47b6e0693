// Kernel services: the process environment, a millisecond clock, waiting.
#pragma once

#include "shell/com.h"

#ifdef _WIN32
#include "shell/windows/system.h"
#else
#include "shell/posix/sdk/system.h"
#endif
