// What a shortcut starts, as the taskbar tells its buttons apart.
#pragma once

#include <optional>
#include <string>

namespace corvane {

// The target path, the command-line arguments, and the AppUserModelID. An
// empty identifier is none; nullopt is one the link object could not read
// (Wine's reads no property at all).
struct ShortcutLaunch {
  std::wstring target;
  std::wstring arguments;
  std::optional<std::wstring> appId;
};

}  // namespace corvane
