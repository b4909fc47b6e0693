// Windows: the SDK declares the file-enumeration names.
#pragma once

#include "shell/windows/com.h"
