// The process exit code: what a deployment script reads of a run. The help
// text lists the same table.
#pragma once

#include <cstdint>

namespace corvane {

enum ExitCode : std::int32_t {
  ExitPrintedHelp = -1,
  ExitSucceeded = 0,
  ExitCoInitializeFailed = 1,
  ExitILCreateFromPathWFailed = 2,
  ExitCoCreateInstanceFailed = 3,
  ExitModifyFailed = 4,
  ExitSetShortcutAppIDFailed = 5,
  ExitGetShortcutAppIDFailed = 6,
};

}  // namespace corvane
