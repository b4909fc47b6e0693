#include "cli/command_line.h"

#include <cwchar>

#include "report/console.h"

namespace corvane {

bool ParseCommandLine(int argumentCount, wchar_t* arguments[], CommandOptions& options) {
  if (argumentCount < 2) return false;
  if (argumentCount == 2) {
    const std::wstring_view only = arguments[1];
    if (only == L"--help" || only == L"-h") {
      options.kind = CommandKind::Help;
      return true;
    }
    return false;
  }

  options.shortcutPath = arguments[1];
  // Only the first unit of the command argument counts: "pull" pins.
  switch (arguments[2][0]) {
    case L'p':
      options.kind = CommandKind::PinNoCheck;
      return true;
    case L'v':
      options.kind = CommandKind::PinChecked;
      return true;
    case L'u':
      options.kind = CommandKind::Unpin;
      return true;
    case L'g':
      options.kind = CommandKind::GetAppId;
      return true;
    case L's':
      if (argumentCount == 4) {
        options.kind = CommandKind::SetAppId;
        options.appId = arguments[3];
        return true;
      }
      ErrorStream() << messages::kAppIdArgumentCount << std::endl;
      return false;
    default:
      return false;
  }
}

}  // namespace corvane
