#pragma once

#include "cli/command_line.h"

namespace corvane {

// Runs the one command of a parsed command line, with the COM apartment
// open, and gives its exit code. Help is not a command here.
int Dispatch(const CommandOptions& options);

}  // namespace corvane
