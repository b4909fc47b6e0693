// The HRESULT Windows gives for the cause behind a POSIX errno value.
#pragma once

#include <new>
#include <string>

#include "shell/posix/sdk/com.h"

namespace corvane::posix {

HRESULT HResultFromErrno(int error);

// As HResultFromErrno, for an error about the file at path: a missing file
// whose folder is missing too is ERROR_PATH_NOT_FOUND, as on Windows.
HRESULT HResultFromErrnoForPath(int error, const std::string& path);

// Runs body and gives back what it returns; an allocation that fails inside
// gives failure instead, so that no exception leaves the stand-in.
template <typename Result, typename Body>
Result FailOnOutOfMemory(Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return failure;
  }
}

}  // namespace corvane::posix
