#include "pinning/existing_pin.h"

#include "report/console.h"
#include "shell/find_files.h"
#include "shell/known_folders.h"
#include "shell/owners.h"
#include "shell/pinned_list.h"
#include "shell/shell_folder.h"
#include "shortcut/target.h"

namespace corvane {
namespace {

constexpr wchar_t kLinkPattern[] = L"*.lnk";

// The given shortcut's target, after the search's opening lines.
bool ResolveGivenShortcut(const std::wstring& shortcutPath, std::wstring& target) {
  if (!ResolveShortcutTarget(shortcutPath, target)) {
    InfoStream() << messages::kCouldNotOpen << shortcutPath << std::endl;
    return false;
  }
  InfoStream() << messages::kSearchingMatchFor << target << std::endl;
  return true;
}

bool AppDataFolder(std::wstring& folder) {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer))) {
    return false;
  }
  buffer[MAX_PATH - 1] = L'\0';
  folder.assign(buffer);
  return true;
}

using unique_child_idlist = unique_cotaskmem<ITEMIDLIST>;

}  // namespace

bool SameTarget(const std::wstring& a, const std::wstring& b) { return a == b; }

bool FindExistingPin(const std::wstring& shortcutPath) {
  return FindPinnedByNamespace(shortcutPath) || FindPinnedByFiles(shortcutPath);
}

bool FindPinnedByNamespace(const std::wstring& shortcutPath) {
  std::wstring target;
  if (!ResolveGivenShortcut(shortcutPath, target)) return false;

  com_ptr<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(desktop.put())) || !desktop) {
    ErrorStream() << messages::kNoDesktopFolder << std::endl;
    return false;
  }
  std::wstring folder;
  if (!AppDataFolder(folder)) {
    ErrorStream() << messages::kNoTaskbarPath << std::endl;
    return false;
  }
  folder += PinnedListFolderSuffix;
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
    std::wstring candidate;
    if (ResolveShortcutTarget(path, candidate) && SameTarget(candidate, target)) return true;
  }
  return false;
}

bool FindPinnedByFiles(const std::wstring& shortcutPath) {
  std::wstring target;
  if (!ResolveGivenShortcut(shortcutPath, target)) return false;

  std::wstring folder;
  if (!AppDataFolder(folder)) return false;
  folder += PinnedListFolderSuffix;
  folder += L'\\';
  const std::wstring pattern = folder + kLinkPattern;

  WIN32_FIND_DATAW entry = {};
  unique_find_handle find(FindFirstFileW(pattern.c_str(), &entry));
  if (!find) return false;
  bool found = false;
  do {
    entry.cFileName[MAX_PATH - 1] = L'\0';
    const std::wstring candidate = folder + entry.cFileName;
    InfoStream() << candidate << std::endl;
    std::wstring candidateTarget;
    if (!ResolveShortcutTarget(candidate, candidateTarget)) {
      InfoStream() << messages::kFailedToOpen << std::endl;
      continue;
    }
    InfoStream() << candidateTarget << std::endl;
    if (SameTarget(candidateTarget, target)) {
      NarrowInfoStream() << messages::kHasFoundMatch << std::endl;
      found = true;
      break;
    }
  } while (FindNextFileW(find.get(), &entry) != 0);
  find.reset();
  return found;
}

}  // namespace corvane
