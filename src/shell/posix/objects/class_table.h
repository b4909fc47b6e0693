// The stand-in's COM classes: CoCreateInstance finds them in its class
// table, and each factory below makes one new object and asks it for riid.
#pragma once

#include "shell/posix/sdk/com.h"

namespace corvane::posix {

HRESULT CreatePinnedList(REFIID riid, void** object);
HRESULT CreateShellLink(REFIID riid, void** object);

}  // namespace corvane::posix
