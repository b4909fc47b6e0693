#include "shortcut/app_id.h"

#include <cstring>

#include "report/console.h"
#include "shell/owners.h"
#include "shell/property_store.h"
#include "shell/shell_link.h"

namespace corvane {
namespace {

// The three interfaces of one link object. Members are destroyed in reverse
// order, so the property store goes first, then IPersistFile, then the link.
struct LoadedLink {
  com_ptr<IShellLinkW> link;
  com_ptr<IPersistFile> file;
  com_ptr<IPropertyStore> store;
};

// A call that reports success yet hands out no interface leaves nothing to
// call; it fails as a missing pointer would.
HRESULT ResultWithObject(HRESULT hr, bool hasObject) {
  return SUCCEEDED(hr) && !hasObject ? E_POINTER : hr;
}

// Creates the link object, loads the shortcut in the given mode and asks for
// its property store. False, after the failing step's line, on any failure.
bool OpenLink(const std::wstring& shortcutPath, DWORD mode, LoadedLink& opened) {
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                opened.link.put_void());
  hr = ResultWithObject(hr, static_cast<bool>(opened.link));
  if (FAILED(hr)) {
    WriteHResultLine(ErrorStream(), messages::kCreateShellLinkFailed, hr);
    return false;
  }
  hr = opened.link->QueryInterface(IID_IPersistFile, opened.file.put_void());
  hr = ResultWithObject(hr, static_cast<bool>(opened.file));
  if (FAILED(hr)) {
    WriteHResultLine(ErrorStream(), messages::kQueryPersistFileFailed, hr);
    return false;
  }
  hr = opened.file->Load(shortcutPath.c_str(), mode);
  if (FAILED(hr)) {
    ErrorStream() << messages::kLoadShortcutFailed << shortcutPath;
    WriteHResultLine(ErrorStream(), messages::kLoadShortcutFailedCode, hr);
    return false;
  }
  // Asked of the link object itself, not of its IPersistFile.
  hr = opened.link->QueryInterface(IID_IPropertyStore, opened.store.put_void());
  hr = ResultWithObject(hr, static_cast<bool>(opened.store));
  if (FAILED(hr)) {
    WriteHResultLine(ErrorStream(), messages::kQueryPropertyStoreFailed, hr);
    return false;
  }
  return true;
}

// Loads the saved shortcut with a fresh link object and compares the
// identifier it holds with the one stored: S_OK when they are the same
// (an empty identifier is none), the failing step's HRESULT, or E_FAIL
// when another value came back.
HRESULT ReadBackAppId(const std::wstring& shortcutPath, const std::wstring& appId) {
  com_ptr<IShellLinkW> link;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.put_void());
  if (FAILED(hr = ResultWithObject(hr, static_cast<bool>(link)))) return hr;
  com_ptr<IPersistFile> file;
  hr = link->QueryInterface(IID_IPersistFile, file.put_void());
  if (FAILED(hr = ResultWithObject(hr, static_cast<bool>(file)))) return hr;
  if (FAILED(hr = file->Load(shortcutPath.c_str(), STGM_READ))) return hr;
  com_ptr<IPropertyStore> store;
  hr = link->QueryInterface(IID_IPropertyStore, store.put_void());
  if (FAILED(hr = ResultWithObject(hr, static_cast<bool>(store)))) return hr;
  std::wstring stored;
  if (FAILED(hr = ReadStoredAppId(*store.get(), stored))) return hr;
  return stored == appId ? S_OK : E_FAIL;
}

}  // namespace

HRESULT ReadStoredAppId(IPropertyStore& store, std::wstring& appId) {
  unique_prop_variant value;
  const HRESULT hr = store.GetValue(PKEY_AppUserModel_ID, value.put());
  if (FAILED(hr)) return hr;
  const wchar_t* text = value->vt == VT_LPWSTR ? value->pwszVal
                        : value->vt == VT_BSTR ? value->bstrVal
                                               : nullptr;
  if (text != nullptr) {
    appId.assign(text);
  } else if (value->vt == VT_EMPTY) {
    appId.clear();
  } else {
    return E_FAIL;
  }
  return S_OK;
}

bool GetShortcutAppID(const std::wstring& shortcutPath, std::wstring& appId) {
  LoadedLink opened;
  if (!OpenLink(shortcutPath, STGM_READ, opened)) return false;

  unique_prop_variant value;
  const HRESULT hr = opened.store->GetValue(PKEY_AppUserModel_ID, value.put());
  if (FAILED(hr)) {
    WriteHResultLine(ErrorStream(), messages::kGetAppIdFailed, hr);
    value.reset();
    return false;
  }

  bool read = true;
  const bool isText = value->vt == VT_LPWSTR || value->vt == VT_BSTR;
  const wchar_t* text = value->vt == VT_LPWSTR ? value->pwszVal : value->bstrVal;
  if (isText && text != nullptr) {
    // A BSTR counts as far as its first NUL, like any other string.
    appId.assign(text);
    InfoStream() << messages::kAppIdIs << appId << std::endl;
  } else if (value->vt == VT_EMPTY) {
    appId.clear();
    InfoStream() << messages::kNoAppIdSet << shortcutPath << std::endl;
  } else {
    ErrorStream() << messages::kUnexpectedVariantType << std::dec
                  << static_cast<unsigned>(value->vt) << std::endl;
    read = false;
  }
  value.reset();
  return read;
}

bool SetShortcutAppID(const std::wstring& shortcutPath, const std::wstring& appId) {
  LoadedLink opened;
  if (!OpenLink(shortcutPath, STGM_READWRITE, opened)) return false;

  unique_prop_variant value;
  const std::size_t bytes = (appId.size() + 1) * sizeof(wchar_t);
  auto* text = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
  if (text == nullptr) {
    WriteHResultLine(ErrorStream(), messages::kInitPropVariantFailed, E_OUTOFMEMORY);
    return false;
  }
  std::memcpy(text, appId.c_str(), bytes);
  PROPVARIANT* filled = value.put();
  filled->vt = VT_LPWSTR;
  filled->pwszVal = text;

  HRESULT hr = opened.store->SetValue(PKEY_AppUserModel_ID, *value);
  if (SUCCEEDED(hr)) hr = opened.store->Commit();
  value.reset();
  if (FAILED(hr)) {
    WriteHResultLine(ErrorStream(), messages::kSetAppIdFailed, hr);
    return false;
  }

  hr = opened.file->Save(shortcutPath.c_str(), TRUE);
  if (FAILED(hr)) {
    WriteHResultLine(ErrorStream(), messages::kSaveShortcutFailed, hr);
    return false;
  }
  hr = ReadBackAppId(shortcutPath, appId);
  if (FAILED(hr)) {
    WriteHResultLine(ErrorStream(), messages::kReadBackAppIdFailed, hr);
    return false;
  }
  InfoStream() << messages::kSetAppIdSucceeded << appId << messages::kSetAppIdSucceededFor
               << shortcutPath << std::endl;
  return true;
}

}  // namespace corvane
