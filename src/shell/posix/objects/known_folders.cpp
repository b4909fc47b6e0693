// SHGetFolderPathW for CSIDL_APPDATA: the roaming application-data folder is
// $APPDATA when that is an absolute path, else $XDG_DATA_HOME, else
// $HOME/.local/share.
#include "shell/posix/sdk/known_folders.h"

#include <cstdlib>
#include <string>

#include "shell/posix/host/errors.h"
#include "shell/posix/host/native_text.h"

namespace {

std::string AbsoluteVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

std::string ApplicationDataFolder() {
  std::string folder = AbsoluteVariable("APPDATA");
  if (folder.empty()) folder = AbsoluteVariable("XDG_DATA_HOME");
  if (folder.empty()) {
    folder = AbsoluteVariable("HOME");
    if (!folder.empty()) {
      while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
      folder += folder == "/" ? ".local/share" : "/.local/share";
    }
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

HRESULT SHGetFolderPathW(HWND, int csidl, HANDLE, DWORD, LPWSTR pszPath) {
  return corvane::posix::FailOnOutOfMemory(E_OUTOFMEMORY, [&]() -> HRESULT {
    if (pszPath == nullptr) return E_INVALIDARG;
    pszPath[0] = L'\0';
    if ((csidl & ~CSIDL_FLAG_MASK) != CSIDL_APPDATA) return E_INVALIDARG;
    const std::string folder = ApplicationDataFolder();
    if (folder.empty()) return E_FAIL;
    const std::wstring text = corvane::posix::DecodeNativeText(folder);
    if (corvane::posix::Utf16Length(text) >= MAX_PATH) {
      return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    }
    text.copy(pszPath, text.size());
    pszPath[text.size()] = L'\0';
    return S_OK;
  });
}
