// When two shortcuts make the same taskbar button. The checked pin's
// searches, the check that a pin or unpin took effect, and the Linux
// stand-in's pinned list all decide it here; the header needs nothing but
// the standard library, so every one of them can include it.
#pragma once

#include <string>

#include "shortcut/launch.h"

namespace corvane {

// Targets match when they are the same UTF-16 text, unit for unit: no case
// folding and no normalisation.
inline bool SameTarget(const std::wstring& a, const std::wstring& b) { return a == b; }

// The taskbar gives shortcuts one button when they start the same target
// with the same arguments under the same AppUserModelID (none equals none).
// Two shortcuts to one launcher that differ in arguments or identifier
// (browser web apps, javaw -jar, RemoteApp files) are two buttons. An
// identifier that could not be read equals only another that could not be
// read: the two shortcuts are then told apart by target and arguments alone.
inline bool SameTaskbarButton(const ShortcutLaunch& a, const ShortcutLaunch& b) {
  return SameTarget(a.target, b.target) && a.arguments == b.arguments && a.appId == b.appId;
}

}  // namespace corvane
