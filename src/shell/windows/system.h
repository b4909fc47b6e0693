// Windows: <windows.h> declares the environment, clock and wait functions.
#pragma once

#include "shell/windows/com.h"
