// The HRESULT Windows gives for the cause behind a POSIX errno value.
#pragma once

#include <string>

#include "shell/posix/com.h"

namespace corvane::posix {

HRESULT HResultFromErrno(int error);

// As HResultFromErrno, for an error about the file at path: a missing file
// whose folder is missing too is ERROR_PATH_NOT_FOUND, as on Windows.
HRESULT HResultFromErrnoForPath(int error, const std::string& path);

}  // namespace corvane::posix
