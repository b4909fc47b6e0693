#include "pinning/pin_folder.h"

#include <string_view>

#include "shell/find_files.h"
#include "shell/known_folders.h"
#include "shell/owners.h"
#include "shell/pinned_list.h"

namespace corvane {

bool PinFolderPath(std::wstring& folder) {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer))) {
    return false;
  }
  buffer[MAX_PATH - 1] = L'\0';
  folder.assign(buffer);
  folder += PinnedListFolderSuffix;
  return true;
}

bool ForEachPinnedFile(const wchar_t* pattern,
                       const std::function<bool(const std::wstring& path)>& visit) {
  std::wstring folder;
  if (!PinFolderPath(folder)) return false;
  folder += L'\\';
  WIN32_FIND_DATAW entry = {};
  unique_find_handle find(FindFirstFileW((folder + pattern).c_str(), &entry));
  if (!find) return true;
  do {
    entry.cFileName[MAX_PATH - 1] = L'\0';
    const std::wstring_view name = entry.cFileName;
    // The folder itself and its parent, which "*" matches, hold no pins.
    if (name == L"." || name == L"..") continue;
    if (!visit(folder + entry.cFileName)) break;
  } while (FindNextFileW(find.get(), &entry) != 0);
  return true;
}

}  // namespace corvane
