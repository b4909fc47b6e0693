#include "cli/dispatch.h"

#include <string>

#include "pinning/existing_pin.h"
#include "pinning/pin.h"
#include "report/console.h"
#include "report/exit_code.h"
#include "shortcut/app_id.h"

namespace corvane {

int Dispatch(const CommandOptions& options) {
  switch (options.kind) {
    case CommandKind::PinNoCheck:
      return PinShortcut(options.shortcutPath, nullptr);
    case CommandKind::PinChecked:
      return PinShortcut(options.shortcutPath, FindExistingPin);
    case CommandKind::Unpin:
      return UnpinShortcut(options.shortcutPath);
    case CommandKind::SetAppId:
      if (SetShortcutAppID(options.shortcutPath, options.appId)) return ExitSucceeded;
      RawErrorStream(messages::kSetShortcutAppIdFailed);
      return ExitSetShortcutAppIDFailed;
    case CommandKind::GetAppId: {
      // The operation prints the identifier itself; the string is not read.
      std::wstring appId;
      if (GetShortcutAppID(options.shortcutPath, appId)) return ExitSucceeded;
      RawErrorStream(messages::kGetShortcutAppIdFailed);
      return ExitGetShortcutAppIDFailed;
    }
    case CommandKind::Help:
      break;
  }
  return ExitPrintedHelp;
}

}  // namespace corvane
