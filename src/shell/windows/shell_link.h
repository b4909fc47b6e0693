// Windows: the SDK declares the link object's names.
#pragma once

#include "shell/windows/com.h"
#include <shlobj.h>
#include <shobjidl.h>
