// The existing-pin check of a checked pin: does a shortcut in the taskbar's
// pin folder already make the same taskbar button (taskbar_button.h)? Two
// searches answer it, first through the shell namespace, then through the
// file system.
#pragma once

#include <string>

namespace corvane {

// True when a pinned shortcut makes the same button as the given one: the
// namespace search, and the file search when that finds nothing.
bool FindExistingPin(const std::wstring& shortcutPath);

// Walks the pin folder as a shell folder. Reports its own failures on
// ErrorStream; false on any failure.
bool FindPinnedByNamespace(const std::wstring& shortcutPath);

// Lists the pin folder's .lnk entries, printing each candidate's path and
// target. Its own failures pass in silence; false on any failure.
bool FindPinnedByFiles(const std::wstring& shortcutPath);

}  // namespace corvane
