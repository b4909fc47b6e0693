// POSIX declarations of the kernel's environment, clock and wait functions.
#pragma once

#include <cstdint>

#include "shell/posix/sdk/com.h"

using ULONGLONG = std::uint64_t;

// The variable's value in lpBuffer (nSize wide characters) and its length;
// the size needed, terminator included, when the buffer is too small; 0 when
// the variable is not set.
DWORD GetEnvironmentVariableW(LPCWSTR lpName, LPWSTR lpBuffer, DWORD nSize);

// Milliseconds since some fixed moment; never goes back.
ULONGLONG GetTickCount64();

// Waits at least the given number of milliseconds.
void Sleep(DWORD dwMilliseconds);
