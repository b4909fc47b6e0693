#include "shortcut/target.h"

#include "shell/owners.h"
#include "shell/shell_link.h"

namespace corvane {

bool ResolveShortcutTarget(const std::wstring& shortcutPath, std::wstring& target) {
  com_ptr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              link.put_void())) ||
      !link) {
    return false;
  }
  // Declared after the link, so released before it.
  com_ptr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void())) || !file) return false;
  if (FAILED(file->Load(shortcutPath.c_str(), STGM_READ))) return false;

  wchar_t buffer[MAX_PATH] = {};
  const HRESULT hr = link->GetPath(buffer, MAX_PATH, nullptr, 0);
  // S_FALSE: the link has no path to give.
  if (FAILED(hr) || hr == S_FALSE) return false;
  buffer[MAX_PATH - 1] = L'\0';
  target.assign(buffer);
  return true;
}

}  // namespace corvane
