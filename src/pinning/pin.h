// Pinning and unpinning through the shell's pinned-list object. Both return
// the exit code itself: 0, 2 (no item-ID list), 3 (no pinned-list object)
// or 4 (Modify failed, or its change never showed in the pin folder).
#pragma once

#include <string>

namespace corvane {

// Answers whether a shortcut that makes the same taskbar button is pinned
// already.
using ExistingPinCheck = bool (*)(const std::wstring& shortcutPath);

// Pins the shortcut. With a check, pins nothing when the check finds an
// existing pin; a check that fails or finds nothing lets the pin go ahead.
// After Modify, a pin of the shortcut must show in the pin folder.
int PinShortcut(const std::wstring& shortcutPath, ExistingPinCheck existingPinCheck);

// Unpins the shortcut. After Modify, no pin of the shortcut may be left in
// the pin folder, or fewer than before.
int UnpinShortcut(const std::wstring& shortcutPath);

// Set to 1 in the environment, this turns the look at the pin folder after
// Modify off: Modify alone then decides.
inline constexpr wchar_t kNoPinCheckVariable[] = L"CORVANE_NO_PIN_CHECK";

}  // namespace corvane
