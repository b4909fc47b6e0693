#include "pinning/existing_pin.h"

#include "pinning/pin_folder.h"
#include "pinning/taskbar_button.h"
#include "report/console.h"
#include "shell/owners.h"
#include "shell/shell_folder.h"
#include "shortcut/target.h"

namespace corvane {
namespace {

// The given shortcut's target, arguments and AppUserModelID, after the
// search's opening lines.
bool ResolveGivenShortcut(const std::wstring& shortcutPath, ShortcutLaunch& given) {
  if (!ResolveShortcutTarget(shortcutPath, given)) {
    InfoStream() << messages::kCouldNotOpen << shortcutPath << std::endl;
    return false;
  }
  InfoStream() << messages::kSearchingMatchFor << given.target << std::endl;
  return true;
}

using unique_child_idlist = unique_cotaskmem<ITEMIDLIST>;

}  // namespace

bool FindExistingPin(const std::wstring& shortcutPath) {
  return FindPinnedByNamespace(shortcutPath) || FindPinnedByFiles(shortcutPath);
}

bool FindPinnedByNamespace(const std::wstring& shortcutPath) {
  ShortcutLaunch given;
  if (!ResolveGivenShortcut(shortcutPath, given)) return false;

  com_ptr<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(desktop.put())) || !desktop) {
    ErrorStream() << messages::kNoDesktopFolder << std::endl;
    return false;
  }
  std::wstring folder;
  if (!PinFolderPath(folder)) {
    ErrorStream() << messages::kNoTaskbarPath << std::endl;
    return false;
  }
  InfoStream() << messages::kSearchingPath << folder << std::endl;

  // The parsed list is task memory, freed as soon as the folder is bound.
  unique_cotaskmem<ITEMIDLIST> parsed;
  auto* parsedSlot = reinterpret_cast<PIDLIST_ABSOLUTE*>(parsed.put());
  if (FAILED(SHParseDisplayName(folder.c_str(), nullptr, parsedSlot, 0, nullptr))) {
    ErrorStream() << messages::kParseTaskbarFolderFailed << std::endl;
    return false;
  }
  com_ptr<IShellFolder> pinFolder;
  HRESULT hr = desktop->BindToObject(parsed.get(), nullptr, IID_IShellFolder, pinFolder.put_void());
  parsed.reset();
  if (FAILED(hr) || !pinFolder) {
    ErrorStream() << messages::kBindTaskbarFolderFailed << std::endl;
    return false;
  }
  com_ptr<IEnumIDList> items;
  hr = pinFolder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, items.put());
  if (FAILED(hr)) {
    ErrorStream() << messages::kEnumerateFailed << std::endl;
    return false;
  }
  // A folder with nothing to enumerate may hand out no enumerator at all.
  if (!items) return false;

  for (;;) {
    unique_child_idlist item;
    if (items->Next(1, reinterpret_cast<PITEMID_CHILD*>(item.put()), nullptr) != S_OK) break;
    STRRET name;
    wchar_t path[MAX_PATH] = {};
    if (FAILED(pinFolder->GetDisplayNameOf(item.get(), SHGDN_FORPARSING, &name)) ||
        FAILED(StrRetToBufW(&name, item.get(), path, MAX_PATH))) {
      continue;
    }
    path[MAX_PATH - 1] = L'\0';
    ShortcutLaunch candidate;
    if (ResolveShortcutTarget(path, candidate) && SameTaskbarButton(candidate, given)) return true;
  }
  return false;
}

bool FindPinnedByFiles(const std::wstring& shortcutPath) {
  ShortcutLaunch given;
  if (!ResolveGivenShortcut(shortcutPath, given)) return false;

  bool found = false;
  ForEachPinnedFile(L"*.lnk", [&](const std::wstring& candidatePath) {
    InfoStream() << candidatePath << std::endl;
    ShortcutLaunch candidate;
    if (!ResolveShortcutTarget(candidatePath, candidate)) {
      InfoStream() << messages::kFailedToOpen << std::endl;
      return true;
    }
    InfoStream() << candidate.target << std::endl;
    if (!SameTaskbarButton(candidate, given)) return true;
    NarrowInfoStream() << messages::kHasFoundMatch << std::endl;
    found = true;
    return false;
  });
  return found;
}

}  // namespace corvane
