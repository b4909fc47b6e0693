#pragma once

namespace corvane {

// Everything wmain does: parse, help, open the COM apartment, dispatch,
// close the apartment. Returns the exit code.
int RunCommandLine(int argumentCount, wchar_t* arguments[]);

}  // namespace corvane
