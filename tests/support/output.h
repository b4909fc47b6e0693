// Comparing a program's output with what a test expects: exact stdout and
// stderr bytes and exit status, shown readably when they differ.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "support/process.h"

namespace corvane::testing {

// Bytes with everything outside printable ASCII escaped, so that a failure
// shows where a CR or a stray byte went.
std::string Visible(std::string_view bytes);

// Exactly these bytes on stdout and stderr, and this exit status.
::testing::AssertionResult Produced(const ProcessResult& result, std::string_view out,
                                    std::string_view err, int status);

}  // namespace corvane::testing
