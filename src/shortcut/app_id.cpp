#include "shortcut/app_id.h"

#include "cli/console.h"

namespace corvane {

// Reading and writing the identifier is not built yet: both operations say
// so and fail, so that g and s never report a success they did not have.

bool GetShortcutAppID(const std::wstring&, std::wstring&) {
  ErrorStream() << L"Reading AppUserModelIDs is not available in this build." << std::endl;
  return false;
}

bool SetShortcutAppID(const std::wstring&, const std::wstring&) {
  ErrorStream() << L"Writing AppUserModelIDs is not available in this build." << std::endl;
  return false;
}

}  // namespace corvane
