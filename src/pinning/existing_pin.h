// The existing-pin check of a checked pin: is a shortcut with the same
// target already in the taskbar's pin folder? Two searches answer it, first
// through the shell namespace, then through the file system.
#pragma once

#include <string>

namespace corvane {

// True when a pinned shortcut has the same target as the given one: the
// namespace search, and the file search when that finds nothing.
bool FindExistingPin(const std::wstring& shortcutPath);

// Walks the pin folder as a shell folder. Reports its own failures on
// ErrorStream; false on any failure.
bool FindPinnedByNamespace(const std::wstring& shortcutPath);

// Lists the pin folder's .lnk entries, printing each candidate's path and
// target. Its own failures pass in silence; false on any failure.
bool FindPinnedByFiles(const std::wstring& shortcutPath);

// Targets match when they are the same UTF-16 text, unit for unit: no case
// folding and no normalisation.
bool SameTarget(const std::wstring& a, const std::wstring& b);

}  // namespace corvane
