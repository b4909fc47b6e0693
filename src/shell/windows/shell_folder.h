// Windows: the SDK declares the shell namespace names.
#pragma once

#include "shell/windows/com.h"
#include <shlobj.h>
#include <shlwapi.h>
