// The stand-in's COM apartment: CoInitialize and CoUninitialize keep a count
// per thread, and objects are created only inside an open apartment.
#pragma once

#include "shell/posix/sdk/com.h"

namespace corvane::posix {

// Whether this thread has initialised COM more times than it uninitialised.
bool InApartment();

}  // namespace corvane::posix
