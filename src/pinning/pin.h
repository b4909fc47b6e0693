// Pinning and unpinning through the shell's pinned-list object. Both return
// the exit code itself: 0, 2 (no item-ID list), 3 (no pinned-list object)
// or 4 (Modify failed).
#pragma once

#include <string>

namespace corvane {

// Answers whether a shortcut with the same target is pinned already.
using ExistingPinCheck = bool (*)(const std::wstring& shortcutPath);

// Pins the shortcut. With a check, pins nothing when the check finds an
// existing pin; a check that fails or finds nothing lets the pin go ahead.
int PinShortcut(const std::wstring& shortcutPath, ExistingPinCheck existingPinCheck);

// Unpins the shortcut; Modify alone decides whether that worked.
int UnpinShortcut(const std::wstring& shortcutPath);

}  // namespace corvane
