#include "shortcut/target.h"

#include <memory>

#include "shell/owners.h"
#include "shell/property_store.h"
#include "shell/shell_link.h"
#include "shortcut/app_id.h"

namespace corvane {
namespace {

// Room for the longest command line Windows starts a program with, less
// one unit: the buffer stays below the size at which an allocation gets
// pages of its own, and it is not cleared, since GetArguments ends what it
// writes.
constexpr int kArgumentsCapacity = 32767;

}  // namespace

bool ResolveShortcutTarget(const std::wstring& shortcutPath, ShortcutLaunch& launch) {
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

  const auto arguments = std::make_unique_for_overwrite<wchar_t[]>(kArgumentsCapacity);
  arguments[0] = L'\0';
  if (FAILED(link->GetArguments(arguments.get(), kArgumentsCapacity))) return false;
  arguments[kArgumentsCapacity - 1] = L'\0';

  com_ptr<IPropertyStore> store;
  std::wstring appId;
  const bool appIdRead = SUCCEEDED(link->QueryInterface(IID_IPropertyStore, store.put_void())) &&
                         store && SUCCEEDED(ReadStoredAppId(*store.get(), appId));

  launch.target.assign(buffer);
  launch.arguments.assign(arguments.get());
  launch.appId = appIdRead ? std::optional<std::wstring>(std::move(appId)) : std::nullopt;
  return true;
}

}  // namespace corvane
