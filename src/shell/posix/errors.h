// The HRESULT Windows gives for the cause behind a POSIX errno value.
#pragma once

#include "shell/posix/com.h"

namespace corvane::posix {

HRESULT HResultFromErrno(int error);

}  // namespace corvane::posix
