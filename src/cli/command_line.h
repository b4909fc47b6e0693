// The command line: what a run was asked to do.
#pragma once

#include <cstdint>
#include <string>

namespace corvane {

enum class CommandKind : std::int32_t {
  PinNoCheck = 0,  // p
  PinChecked = 1,  // v
  Unpin = 2,       // u
  SetAppId = 3,    // s <AppUserModelID>
  GetAppId = 4,    // g
  Help = 5,        // --help or -h alone
};

struct CommandOptions {
  std::wstring shortcutPath;
  std::wstring appId;
  CommandKind kind{};  // read only after a successful parse
};

// Fills options from the wide argument vector (the program name first).
// False means the help text belongs on ErrorStream; the parser itself writes
// only the AppID argument-count line.
bool ParseCommandLine(int argumentCount, wchar_t* arguments[], CommandOptions& options);

}  // namespace corvane
