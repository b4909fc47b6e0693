// The existing-pin check of a checked pin.
#pragma once

#include <string>

namespace corvane {

// True when a pinned shortcut has the same target as the given one.
bool FindExistingPin(const std::wstring& shortcutPath);

}  // namespace corvane
