#include "cli/entry.h"

#include "cli/command_line.h"
#include "cli/dispatch.h"
#include "cli/help.h"
#include "report/console.h"
#include "report/exit_code.h"
#include "shell/com.h"
#include "shell/owners.h"

namespace corvane {

int RunCommandLine(int argumentCount, wchar_t* arguments[]) {
  CommandOptions options;
  if (!ParseCommandLine(argumentCount, arguments, options)) {
    ErrorStream() << kHelpText;
    return ExitPrintedHelp;
  }
  if (options.kind == CommandKind::Help) {
    // Not flushed here: stdout goes out when the process ends.
    InfoStream() << kHelpText;
    return ExitPrintedHelp;
  }

  const HRESULT initialized = CoInitialize(nullptr);
  if (FAILED(initialized)) {
    RawErrorStream(messages::kCoInitializeFailed);
    return ExitCoInitializeFailed;
  }
  const unique_couninitialize_call uninitialize(initialized);
  return Dispatch(options);
}

}  // namespace corvane
