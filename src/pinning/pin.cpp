#include "pinning/pin.h"

#include <optional>

#include "pinning/pin_folder.h"
#include "pinning/taskbar_button.h"
#include "report/console.h"
#include "report/exit_code.h"
#include "shell/owners.h"
#include "shell/pinned_list.h"
#include "shell/system.h"
#include "shortcut/target.h"

namespace corvane {
namespace {

enum class Change { Pin, Unpin };

// Modify may answer success and change nothing, and Explorer may write the
// pin folder just after Modify returns: the folder is looked at again every
// interval until the change shows or the window has passed.
constexpr ULONGLONG kLookWindowMilliseconds = 2000;
constexpr DWORD kLookIntervalMilliseconds = 100;

bool PinCheckWanted() {
  wchar_t value[2] = {};
  return !(GetEnvironmentVariableW(kNoPinCheckVariable, value, 2) == 1 && value[0] == L'1');
}

// The file name of a path, after its last separator.
std::wstring_view FileName(std::wstring_view path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring_view::npos ? path : path.substr(separator + 1);
}

// Windows compares file names without regard to case. Only ASCII letters
// are folded here: a name that differs from the shortcut's in the case of
// another letter is taken for another shortcut's pin.
bool SameFileName(std::wstring_view a, std::wstring_view b) {
  const auto fold = [](wchar_t c) { return c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c; };
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

// The shortcut as the pin folder is searched for it: what it starts, when
// the link object can read that, else its file name, which the taskbar
// gives its pin.
struct PinnedShortcut {
  std::wstring_view fileName;
  std::optional<ShortcutLaunch> launch;

  bool IsPinnedAs(const std::wstring& pinPath) const {
    if (!launch) return SameFileName(FileName(pinPath), fileName);
    ShortcutLaunch pinned;
    return ResolveShortcutTarget(pinPath, pinned) && SameTaskbarButton(pinned, *launch);
  }
};

// How many pins of the shortcut the pin folder holds; false when the folder
// cannot be looked at. Every entry is looked at, whatever its name ends in.
bool CountPins(const PinnedShortcut& shortcut, int& count) {
  count = 0;
  return ForEachPinnedFile(L"*", [&](const std::wstring& pinPath) {
    if (shortcut.IsPinnedAs(pinPath)) ++count;
    return true;
  });
}

// Whether the pin folder holds a pin of the shortcut. The taskbar names a
// pin after its shortcut, so a readable shortcut's pin is looked for under
// that name first, which spares listing the folder.
bool HoldsPin(const PinnedShortcut& shortcut) {
  std::wstring folder;
  if (shortcut.launch && PinFolderPath(folder) &&
      shortcut.IsPinnedAs(folder + L'\\' + std::wstring(shortcut.fileName))) {
    return true;
  }
  bool found = false;
  ForEachPinnedFile(L"*", [&](const std::wstring& pinPath) {
    found = shortcut.IsPinnedAs(pinPath);
    return !found;
  });
  return found;
}

// Whether the pin folder shows the change: after a pin, a pin of the
// shortcut; after an unpin, none left, or fewer than before (the shortcut
// was pinned twice).
bool ChangeShows(Change change, const PinnedShortcut& shortcut, int pinsBefore) {
  if (change == Change::Pin) return HoldsPin(shortcut);
  int pins = 0;
  return CountPins(shortcut, pins) && (pins == 0 || pins < pinsBefore);
}

// Looks at the pin folder until the change shows or the window has passed.
bool ChangeTookEffect(Change change, const PinnedShortcut& shortcut, int pinsBefore) {
  const ULONGLONG start = GetTickCount64();
  while (!ChangeShows(change, shortcut, pinsBefore)) {
    if (GetTickCount64() - start + kLookIntervalMilliseconds > kLookWindowMilliseconds) {
      return false;
    }
    Sleep(kLookIntervalMilliseconds);
  }
  return true;
}

int ModifyPinnedList(const std::wstring& shortcutPath, Change change) {
  const unique_idlist item(ILCreateFromPathW(shortcutPath.c_str()));
  if (!item) {
    RawErrorStream(messages::kILCreateFromPathWFailed);
    return ExitILCreateFromPathWFailed;
  }

  com_ptr<IPinnedList3> pinnedList;
  const HRESULT created = CoCreateInstance(PinnedListClassId, nullptr, CLSCTX_ALL, IID_IPinnedList3,
                                           pinnedList.put_void());
  if (FAILED(created)) {
    RawErrorStream(messages::kCoCreateInstanceFailed);
    return ExitCoCreateInstanceFailed;
  }
  if (!pinnedList) return ExitCoCreateInstanceFailed;

  const bool check = PinCheckWanted();
  PinnedShortcut shortcut{FileName(shortcutPath), std::nullopt};
  int pinsBefore = 0;
  if (check) {
    if (ShortcutLaunch launch; ResolveShortcutTarget(shortcutPath, launch)) {
      shortcut.launch = std::move(launch);
    }
    // A folder that cannot be looked at holds no pins before an unpin.
    if (change == Change::Unpin) CountPins(shortcut, pinsBefore);
  }

  const HRESULT modified = change == Change::Pin
                               ? pinnedList->Modify(nullptr, item.get(), PinnedListModifyCaller)
                               : pinnedList->Modify(item.get(), nullptr, PinnedListModifyCaller);
  // The object serves this one call: release it before looking at the result.
  pinnedList.reset();
  // A change that does not show in the pin folder did not happen, whatever
  // Modify answered: it fails as a refused one does.
  if (FAILED(modified) || (check && !ChangeTookEffect(change, shortcut, pinsBefore))) {
    RawErrorStream(messages::kModifyFailed);
    return ExitModifyFailed;
  }
  return ExitSucceeded;
}

}  // namespace

int PinShortcut(const std::wstring& shortcutPath, ExistingPinCheck existingPinCheck) {
  if (existingPinCheck != nullptr && existingPinCheck(shortcutPath)) return ExitSucceeded;
  NarrowInfoStream() << messages::kPinningNewIcon << std::endl;
  return ModifyPinnedList(shortcutPath, Change::Pin);
}

int UnpinShortcut(const std::wstring& shortcutPath) {
  return ModifyPinnedList(shortcutPath, Change::Unpin);
}

}  // namespace corvane
