#include "double/shell_double.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <iostream>

#include "shell/find_files.h"
#include "shell/known_folders.h"
#include "shell/pinned_list.h"
#include "shell/posix/host/native_text.h"
#include "shell/property_store.h"
#include "shell/shell_folder.h"
#include "shell/shell_link.h"

namespace corvane::testing {
namespace {

ShellDouble* current = nullptr;

std::string GuidName(REFGUID guid) {
  if (guid == PinnedListClassId) return "PinnedListClassId";
  if (guid == IID_IPinnedList3) return "IID_IPinnedList3";
  if (guid == IID_IUnknown) return "IID_IUnknown";
  if (guid == CLSID_ShellLink) return "CLSID_ShellLink";
  if (guid == IID_IShellLinkW) return "IID_IShellLinkW";
  if (guid == IID_IPersistFile) return "IID_IPersistFile";
  if (guid == IID_IPropertyStore) return "IID_IPropertyStore";
  if (guid == IID_IShellFolder) return "IID_IShellFolder";
  char text[64];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1,
                guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", value);
  return text;
}

// Counts one Release of a double object and logs it as "<name>::Release ->
// <count left>". A Release past zero is a test failure; at zero the object
// is no longer live and the caller deletes it.
ULONG CountRelease(ULONG& references, const std::string& name) {
  ShellDouble& shell = ShellDouble::Current();
  if (references == 0) {
    ADD_FAILURE() << name << " released more often than referenced";
    return 1;  // keeps the caller from deleting it again
  }
  const ULONG remaining = --references;
  shell.Record(name + "::Release -> " + std::to_string(remaining));
  if (remaining == 0) shell.ObjectDestroyed();
  return remaining;
}

// The link script a path loads with.
const LinkScript& ScriptOf(const ShellScript& script, const std::wstring& path) {
  const auto found = script.links.find(path);
  return found != script.links.end() ? found->second : script.link;
}

bool StartsTheSame(const LinkScript& a, const LinkScript& b) {
  return a.path == b.path && a.arguments == b.arguments && a.valueType == b.valueType &&
         a.valueText == b.valueText;
}

// What the taskbar does to its pin folder for a pin or an unpin of the
// shortcut the list names.
void ChangePinFolder(ShellDouble& shell, const void* list, bool pin) {
  ShellScript& script = shell.script;
  const std::wstring shortcut = shell.ListText(list);
  const std::wstring folder = script.appData + PinnedListFolderSuffix + L"\\";
  const LinkScript given = ScriptOf(script, shortcut);
  if (pin) {
    const std::wstring name = shortcut.substr(shortcut.find_last_of(L"\\") + 1);
    if (std::find(script.files.begin(), script.files.end(), name) != script.files.end()) return;
    script.files.push_back(name);
    script.links[folder + name] = given;
    return;
  }
  std::erase_if(script.files, [&](const std::wstring& name) {
    return StartsTheSame(ScriptOf(script, folder + name), given);
  });
}

class PinnedListDouble final : public IPinnedList3 {
 public:
  PinnedListDouble() { ShellDouble::Current().ObjectCreated(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    ShellDouble::Current().Record("IPinnedList3::QueryInterface(" + GuidName(riid) + ")");
    if (riid == IID_IUnknown || riid == IID_IPinnedList3) {
      *object = this;
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG remaining = CountRelease(references_, "IPinnedList3");
    if (remaining == 0) delete this;
    return remaining;
  }

  HRESULT STDMETHODCALLTYPE Slot4() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot5() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot6() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot7() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot8() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot9() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot10() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot11() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot12() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot13() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot14() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot15() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot16() override { return Unexpected(); }

  HRESULT STDMETHODCALLTYPE Modify(PCIDLIST_ABSOLUTE unpinItem, PCIDLIST_ABSOLUTE pinItem,
                                   DWORD caller) override {
    ShellDouble& shell = ShellDouble::Current();
    auto name = [&](const void* list) {
      if (list == nullptr) return std::string("null");
      const std::string known = shell.ListName(list);
      return known.empty() ? std::string("<not a live list>") : known;
    };
    shell.Record("IPinnedList3::Modify(" + name(unpinItem) + ", " + name(pinItem) + ", " +
                 std::to_string(caller) + ")");
    if (SUCCEEDED(shell.script.modify) && shell.script.modifyChangesPinFolder) {
      ChangePinFolder(shell, pinItem != nullptr ? pinItem : unpinItem, pinItem != nullptr);
    }
    return shell.script.modify;
  }

 private:
  static HRESULT Unexpected() {
    ADD_FAILURE() << "a placeholder slot of IPinnedList3 was called";
    return E_NOTIMPL;
  }
  ULONG references_ = 1;
};

std::string KeyName(REFPROPERTYKEY key) {
  if (key.fmtid == PKEY_AppUserModel_ID.fmtid && key.pid == PKEY_AppUserModel_ID.pid) {
    return "PKEY_AppUserModel_ID";
  }
  return GuidName(key.fmtid) + " " + std::to_string(key.pid);
}

std::string VariantName(const PROPVARIANT& value) {
  std::string name = "vt " + std::to_string(value.vt);
  if (value.vt == VT_LPWSTR || value.vt == VT_BSTR) {
    const wchar_t* text = value.vt == VT_LPWSTR ? value.pwszVal : value.bstrVal;
    name += text == nullptr ? " null" : " \"" + Utf8(text) + "\"";
  }
  return name;
}

// The link object hands out three interfaces. Each part logs the calls made
// through its own pointer under its own name; they share one count.
class ShellLinkDouble;

class LinkPart : public IShellLinkW {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetPath(LPWSTR pszFile, int cch, WIN32_FIND_DATAW* pfd,
                                    DWORD fFlags) override;
  HRESULT STDMETHODCALLTYPE GetIDList(PIDLIST_ABSOLUTE*) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE SetIDList(PCIDLIST_ABSOLUTE) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE GetDescription(LPWSTR, int) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE SetDescription(LPCWSTR) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPWSTR, int) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCWSTR) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE GetArguments(LPWSTR pszArgs, int cch) override;
  HRESULT STDMETHODCALLTYPE SetArguments(LPCWSTR) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE GetHotkey(WORD*) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE SetHotkey(WORD) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE GetShowCmd(int*) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE SetShowCmd(int) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE GetIconLocation(LPWSTR, int, int*) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE SetIconLocation(LPCWSTR, int) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE SetRelativePath(LPCWSTR, DWORD) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Resolve(HWND, DWORD) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE SetPath(LPCWSTR) override { return Unexpected(); }

 protected:
  virtual ShellLinkDouble& Self() = 0;
  static HRESULT Unexpected() {
    ADD_FAILURE() << "an IShellLinkW method the program never calls was called";
    return E_NOTIMPL;
  }
};

class FilePart : public IPersistFile {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Load(LPCOLESTR pszFileName, DWORD dwMode) override;
  HRESULT STDMETHODCALLTYPE Save(LPCOLESTR pszFileName, BOOL fRemember) override;
  HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR*) override { return Unexpected(); }

 protected:
  virtual ShellLinkDouble& Self() = 0;
  static HRESULT Unexpected() {
    ADD_FAILURE() << "an IPersistFile method the program never calls was called";
    return E_NOTIMPL;
  }
};

class StorePart : public IPropertyStore {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetCount(DWORD*) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE GetAt(DWORD, PROPERTYKEY*) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY key, PROPVARIANT* pv) override;
  HRESULT STDMETHODCALLTYPE SetValue(REFPROPERTYKEY key, REFPROPVARIANT propvar) override;
  HRESULT STDMETHODCALLTYPE Commit() override;

 protected:
  virtual ShellLinkDouble& Self() = 0;
  static HRESULT Unexpected() {
    ADD_FAILURE() << "an IPropertyStore method the program never calls was called";
    return E_NOTIMPL;
  }
};

class ShellLinkDouble final : public LinkPart, public FilePart, public StorePart {
 public:
  ShellLinkDouble() { ShellDouble::Current().ObjectCreated(); }

  HRESULT Query(const char* through, REFIID riid, void** object) {
    ShellDouble& shell = ShellDouble::Current();
    shell.Record(std::string(through) + "::QueryInterface(" + GuidName(riid) + ")");
    *object = nullptr;
    HRESULT scripted = S_OK;
    if (riid == IID_IPersistFile) scripted = shell.script.queryPersistFile;
    if (riid == IID_IPropertyStore) scripted = script().queryPropertyStore;
    if (FAILED(scripted)) return scripted;
    if (riid == IID_IUnknown || riid == IID_IShellLinkW) {
      *object = static_cast<IShellLinkW*>(this);
    } else if (riid == IID_IPersistFile) {
      *object = static_cast<IPersistFile*>(this);
    } else if (riid == IID_IPropertyStore) {
      *object = static_cast<IPropertyStore*>(this);
    } else {
      return E_NOINTERFACE;
    }
    ++references_;
    return scripted;
  }
  ULONG AddRefFrom() { return ++references_; }
  ULONG ReleaseFrom(const char* through) {
    const ULONG remaining = CountRelease(references_, std::string(through));
    if (remaining == 0) delete this;
    return remaining;
  }

  // The script for the path loaded, or the default one.
  const LinkScript& script() const {
    const ShellScript& all = ShellDouble::Current().script;
    const auto found = all.links.find(loadedPath_);
    return found != all.links.end() ? found->second : all.link;
  }
  void Loaded(std::wstring path) { loadedPath_ = std::move(path); }
  void Staged(std::wstring appId) { staged_ = std::move(appId); }
  const std::wstring& staged() const { return staged_; }

 private:
  ShellLinkDouble& Self() override { return *this; }
  ULONG references_ = 1;
  std::wstring loadedPath_;
  std::wstring staged_;
};

HRESULT LinkPart::QueryInterface(REFIID riid, void** object) {
  return Self().Query("IShellLinkW", riid, object);
}
ULONG LinkPart::AddRef() { return Self().AddRefFrom(); }
ULONG LinkPart::Release() { return Self().ReleaseFrom("IShellLinkW"); }
HRESULT FilePart::QueryInterface(REFIID riid, void** object) {
  return Self().Query("IPersistFile", riid, object);
}
ULONG FilePart::AddRef() { return Self().AddRefFrom(); }
ULONG FilePart::Release() { return Self().ReleaseFrom("IPersistFile"); }
HRESULT StorePart::QueryInterface(REFIID riid, void** object) {
  return Self().Query("IPropertyStore", riid, object);
}
ULONG StorePart::AddRef() { return Self().AddRefFrom(); }
ULONG StorePart::Release() { return Self().ReleaseFrom("IPropertyStore"); }

HRESULT LinkPart::GetPath(LPWSTR pszFile, int cch, WIN32_FIND_DATAW* pfd, DWORD fFlags) {
  ShellDouble& shell = ShellDouble::Current();
  bool zeroed = true;
  for (int i = 0; i < cch; ++i) zeroed = zeroed && pszFile[i] == L'\0';
  shell.Record("IShellLinkW::GetPath(" + std::string(zeroed ? "zeroed" : "dirty") + " buffer, " +
               std::to_string(cch) + ", " + (pfd == nullptr ? "null" : "find data") + ", " +
               std::to_string(fFlags) + ")");
  const LinkScript& script = Self().script();
  // A path of cch units or more fills the whole buffer, leaving no room for
  // a terminator: ending the text there is the caller's affair.
  const std::size_t count = std::min(script.path.size(), static_cast<std::size_t>(cch));
  std::copy_n(script.path.begin(), count, pszFile);
  if (count < static_cast<std::size_t>(cch)) pszFile[count] = L'\0';
  return script.getPath;
}

HRESULT LinkPart::GetArguments(LPWSTR pszArgs, int cch) {
  ShellDouble::Current().Record("IShellLinkW::GetArguments(" + std::to_string(cch) + ")");
  const LinkScript& script = Self().script();
  if (cch <= 0) return script.getArguments;
  const std::size_t count = std::min(script.arguments.size(), static_cast<std::size_t>(cch) - 1);
  std::copy_n(script.arguments.begin(), count, pszArgs);
  pszArgs[count] = L'\0';
  return script.getArguments;
}

HRESULT FilePart::Load(LPCOLESTR pszFileName, DWORD dwMode) {
  ShellDouble& shell = ShellDouble::Current();
  shell.Record("IPersistFile::Load(" + Utf8(pszFileName) + ", " + std::to_string(dwMode) + ")");
  Self().Loaded(pszFileName);
  // The pin folder holds what the script lists in it, and nothing else.
  const ShellScript& script = shell.script;
  const std::wstring path = pszFileName;
  const std::wstring folder = script.appData + PinnedListFolderSuffix + L"\\";
  if (path.starts_with(folder) &&
      std::find(script.files.begin(), script.files.end(), path.substr(folder.size())) ==
          script.files.end() &&
      std::find(script.items.begin(), script.items.end(), path) == script.items.end()) {
    return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  }
  return Self().script().load;
}

HRESULT FilePart::Save(LPCOLESTR pszFileName, BOOL fRemember) {
  ShellDouble& shell = ShellDouble::Current();
  shell.Record("IPersistFile::Save(" + Utf8(pszFileName) + ", " + std::to_string(fRemember) + ")");
  // What a later load of the path reads: the loaded script with the
  // identifier saved, or with none.
  LinkScript saved = Self().script();
  if (FAILED(saved.save)) return saved.save;
  saved.valueType = shell.script.saveKeepsAppId ? VT_LPWSTR : VT_EMPTY;
  saved.valueText = shell.script.saveKeepsAppId ? Self().staged() : std::wstring();
  saved.nullText = false;
  shell.script.links[pszFileName] = saved;
  return S_OK;
}

HRESULT StorePart::GetValue(REFPROPERTYKEY key, PROPVARIANT* pv) {
  ShellDouble& shell = ShellDouble::Current();
  bool zeroed = true;
  for (std::size_t i = 0; i < sizeof *pv; ++i) {
    zeroed = zeroed && reinterpret_cast<const unsigned char*>(pv)[i] == 0;
  }
  shell.Record("IPropertyStore::GetValue(" + KeyName(key) + ", " + (zeroed ? "zeroed" : "dirty") +
               " variant)");
  const LinkScript& script = Self().script();
  pv->vt = script.valueType;
  if (!script.nullText && script.valueType == VT_LPWSTR) {
    const std::size_t bytes = (script.valueText.size() + 1) * sizeof(wchar_t);
    pv->pwszVal = static_cast<wchar_t*>(shell.AllocateTaskMemory(bytes));
    std::memcpy(pv->pwszVal, script.valueText.c_str(), bytes);
  } else if (!script.nullText && script.valueType == VT_BSTR) {
    pv->bstrVal =
        SysAllocStringLen(script.valueText.data(), static_cast<UINT>(script.valueText.size()));
    shell.StringCreated();
  }
  return script.getValue;
}

HRESULT StorePart::SetValue(REFPROPERTYKEY key, REFPROPVARIANT propvar) {
  ShellDouble::Current().Record("IPropertyStore::SetValue(" + KeyName(key) + ", " +
                                VariantName(propvar) + ")");
  if (propvar.vt == VT_LPWSTR && propvar.pwszVal != nullptr) Self().Staged(propvar.pwszVal);
  return Self().script().setValue;
}

HRESULT StorePart::Commit() {
  ShellDouble::Current().Record("IPropertyStore::Commit");
  return Self().script().commit;
}

// The pin folder and the desktop, as shell folders.
class ShellFolderDouble final : public IShellFolder {
 public:
  explicit ShellFolderDouble(std::string name) : name_(std::move(name)) {
    ShellDouble::Current().ObjectCreated();
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
    *object = nullptr;
    return Unexpected();
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG remaining = CountRelease(references_, "IShellFolder(" + name_ + ")");
    if (remaining == 0) delete this;
    return remaining;
  }
  HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, PIDLIST_RELATIVE*,
                                             ULONG*) override {
    return Unexpected();
  }
  HRESULT STDMETHODCALLTYPE EnumObjects(HWND hwnd, SHCONTF grfFlags,
                                        IEnumIDList** ppenumIDList) override;
  HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE pidl, IBindCtx* pbc, REFIID riid,
                                         void** ppv) override;
  HRESULT STDMETHODCALLTYPE BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void**) override {
    return Unexpected();
  }
  HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM, PCUIDLIST_RELATIVE, PCUIDLIST_RELATIVE) override {
    return Unexpected();
  }
  HRESULT STDMETHODCALLTYPE CreateViewObject(HWND, REFIID, void**) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT, PCUITEMID_CHILD_ARRAY, SFGAOF*) override {
    return Unexpected();
  }
  HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND, UINT, PCUITEMID_CHILD_ARRAY, REFIID, UINT*,
                                          void**) override {
    return Unexpected();
  }
  HRESULT STDMETHODCALLTYPE GetDisplayNameOf(PCUITEMID_CHILD pidl, SHGDNF uFlags,
                                             STRRET* pName) override;
  HRESULT STDMETHODCALLTYPE SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF,
                                      PITEMID_CHILD*) override {
    return Unexpected();
  }

 private:
  static HRESULT Unexpected() {
    ADD_FAILURE() << "an IShellFolder method the program never calls was called";
    return E_NOTIMPL;
  }
  std::string name_;
  ULONG references_ = 1;
};

class EnumIdListDouble final : public IEnumIDList {
 public:
  EnumIdListDouble() { ShellDouble::Current().ObjectCreated(); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
    *object = nullptr;
    return Unexpected();
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG remaining = CountRelease(references_, "IEnumIDList");
    if (remaining == 0) delete this;
    return remaining;
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG celt, PITEMID_CHILD* rgelt, ULONG* pceltFetched) override {
    ShellDouble& shell = ShellDouble::Current();
    const std::string call = "IEnumIDList::Next(" + std::to_string(celt) + ", " +
                             (pceltFetched == nullptr ? "null" : "count") + ")";
    *rgelt = nullptr;
    if (next_ >= shell.script.items.size()) {
      shell.Record(call + " -> " + Hex(static_cast<std::uint32_t>(shell.script.nextAtEnd)));
      return shell.script.nextAtEnd;
    }
    *rgelt = static_cast<PITEMID_CHILD>(shell.NewNamedList(shell.script.items[next_++]));
    shell.Record(call + " -> " + shell.ListName(*rgelt));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Reset() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Clone(IEnumIDList**) override { return Unexpected(); }

 private:
  static HRESULT Unexpected() {
    ADD_FAILURE() << "an IEnumIDList method the program never calls was called";
    return E_NOTIMPL;
  }
  ULONG references_ = 1;
  std::size_t next_ = 0;
};

HRESULT ShellFolderDouble::EnumObjects(HWND hwnd, SHCONTF grfFlags, IEnumIDList** ppenumIDList) {
  ShellDouble& shell = ShellDouble::Current();
  shell.Record("IShellFolder(" + name_ + ")::EnumObjects(" + (hwnd == nullptr ? "null" : "hwnd") +
               ", " + Hex(grfFlags) + ")");
  *ppenumIDList = nullptr;
  if (FAILED(shell.script.enumObjects) || shell.script.enumObjectsWithoutEnumerator) {
    return shell.script.enumObjects;
  }
  *ppenumIDList = new EnumIdListDouble();
  return shell.script.enumObjects;
}

HRESULT ShellFolderDouble::BindToObject(PCUIDLIST_RELATIVE pidl, IBindCtx* pbc, REFIID riid,
                                        void** ppv) {
  ShellDouble& shell = ShellDouble::Current();
  const std::string list = shell.ListName(pidl);
  shell.Record("IShellFolder(" + name_ + ")::BindToObject(" +
               (list.empty() ? std::string("<not a live list>") : list) + ", " +
               (pbc == nullptr ? "null" : "bind context") + ", " + GuidName(riid) + ")");
  *ppv = nullptr;
  if (FAILED(shell.script.bindToObject)) return shell.script.bindToObject;
  *ppv = static_cast<IShellFolder*>(new ShellFolderDouble("pins"));
  return shell.script.bindToObject;
}

HRESULT ShellFolderDouble::GetDisplayNameOf(PCUITEMID_CHILD pidl, SHGDNF uFlags, STRRET* pName) {
  ShellDouble& shell = ShellDouble::Current();
  const std::string list = shell.ListName(pidl);
  shell.Record("IShellFolder(" + name_ + ")::GetDisplayNameOf(" +
               (list.empty() ? std::string("<not a live list>") : list) + ", " + Hex(uFlags) + ")");
  const std::wstring name = shell.ListText(pidl);
  if (shell.script.displayNameFails.count(name) != 0) return E_FAIL;
  pName->uType = STRRET_WSTR;
  pName->pOleStr =
      static_cast<LPWSTR>(shell.AllocateTaskMemory((name.size() + 1) * sizeof(wchar_t)));
  std::memcpy(pName->pOleStr, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
  return S_OK;
}

}  // namespace

// Collects what one of the standard streams is given, and logs each line.
class ShellDouble::Capture : public std::wstreambuf {
 public:
  Capture(ShellDouble& owner, std::wstring& text, const char* channel)
      : owner_(owner), text_(text), channel_(channel) {}

  void Put(wchar_t c) {
    text_ += c;
    line_ += c;
    if (c == L'\n') {
      owner_.Record(std::string(channel_) + ": " + Utf8(line_));
      line_.clear();
    }
  }

 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) Put(traits_type::to_char_type(c));
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const wchar_t* s, std::streamsize n) override {
    for (std::streamsize i = 0; i < n; ++i) Put(s[i]);
    return n;
  }

 private:
  ShellDouble& owner_;
  std::wstring& text_;
  const char* channel_;
  std::wstring line_;
};

namespace {

// The narrow stream feeds the same capture as the wide one of stdout.
class NarrowCapture : public std::streambuf {
 public:
  explicit NarrowCapture(std::wstreambuf* wide) : wide_(wide) {}

 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      wide_->sputc(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    for (std::streamsize i = 0; i < n; ++i) overflow(static_cast<unsigned char>(s[i]));
    return n;
  }

 private:
  std::wstreambuf* wide_;
};

}  // namespace

ShellDouble::ShellDouble() {
  if (current != nullptr) ADD_FAILURE() << "two ShellDoubles at once";
  current = this;
  wcout_ = new Capture(*this, out_, "wcout");
  wcerr_ = new Capture(*this, err_, "wcerr");
  cout_ = new Capture(*this, out_, "cout");
  savedWcout_ = std::wcout.rdbuf(wcout_);
  savedWcerr_ = std::wcerr.rdbuf(wcerr_);
  savedCout_ = std::cout.rdbuf(new NarrowCapture(cout_));
  for (std::ios_base* stream :
       std::initializer_list<std::ios_base*>{&std::wcout, &std::wcerr, &std::cout}) {
    stream->flags(std::ios_base::dec | std::ios_base::skipws);
  }
  std::wcerr.setf(std::ios_base::unitbuf);
  std::wcout.clear();
  std::wcerr.clear();
  std::cout.clear();
}

ShellDouble::~ShellDouble() {
  delete std::cout.rdbuf(savedCout_);
  std::wcout.rdbuf(savedWcout_);
  std::wcerr.rdbuf(savedWcerr_);
  std::wcout.clear();
  std::wcerr.clear();
  std::cout.clear();
  std::wcerr.flags(std::ios_base::dec | std::ios_base::skipws | std::ios_base::unitbuf);
  delete wcout_;
  delete wcerr_;
  delete cout_;
  for (auto& [list, name] : lists_) {
    if (taskMemory_.count(const_cast<void*>(list)) == 0) std::free(const_cast<void*>(list));
  }
  for (void* block : taskMemory_) std::free(block);
  current = nullptr;
}

ShellDouble& ShellDouble::Current() {
  if (current == nullptr) {
    ADD_FAILURE() << "the shell boundary was called without a ShellDouble";
    std::abort();
  }
  return *current;
}

std::vector<std::string> ShellDouble::LogOf(std::initializer_list<const char*> prefixes) const {
  std::vector<std::string> selected;
  for (const std::string& entry : log_) {
    for (const char* prefix : prefixes) {
      if (entry.rfind(prefix, 0) == 0) {
        selected.push_back(entry);
        break;
      }
    }
  }
  return selected;
}

std::string ShellDouble::NameList(const void* list) {
  std::string name = "list" + std::to_string(++listsMade_);
  lists_.emplace_back(list, name);
  ++liveLists_;
  return name;
}

std::string ShellDouble::ListName(const void* list) const {
  for (const auto& [known, name] : lists_) {
    if (known == list) return name;
  }
  return {};
}

void ShellDouble::ForgetList(const void* list) {
  for (auto it = lists_.begin(); it != lists_.end(); ++it) {
    if (it->first == list) {
      lists_.erase(it);
      --liveLists_;
      return;
    }
  }
}

void* ShellDouble::NewNamedList(const std::wstring& path) {
  void* list = AllocateTaskMemory(sizeof(USHORT));
  std::memset(list, 0, sizeof(USHORT));
  NameList(list);
  SetListText(list, path);
  return list;
}

void ShellDouble::SetListText(const void* list, const std::wstring& path) {
  listTexts_[list] = path;
}

std::wstring ShellDouble::ListText(const void* list) const {
  const auto found = listTexts_.find(list);
  return found != listTexts_.end() ? found->second : std::wstring();
}

void* ShellDouble::AllocateTaskMemory(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  taskMemory_.insert(block);
  return block;
}

bool ShellDouble::FreeTaskMemory(void* block) {
  if (taskMemory_.erase(block) == 0) {
    ADD_FAILURE() << "CoTaskMemFree of a block that is not live";
    return false;
  }
  std::free(block);
  return true;
}

std::string Utf8(std::wstring_view text) { return posix::EncodeNativeText(text); }

}  // namespace corvane::testing

using corvane::testing::ShellDouble;

HRESULT CoInitialize(LPVOID pvReserved) {
  ShellDouble& shell = ShellDouble::Current();
  shell.Record(pvReserved == nullptr ? "CoInitialize(null)" : "CoInitialize(non-null)");
  return shell.script.coInitialize;
}

void CoUninitialize() { ShellDouble::Current().Record("CoUninitialize"); }

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID* ppv) {
  ShellDouble& shell = ShellDouble::Current();
  shell.Record("CoCreateInstance(" + corvane::testing::GuidName(rclsid) + ", " +
               (pUnkOuter == nullptr ? "null" : "outer") + ", " +
               corvane::testing::Hex(dwClsContext) + ", " + corvane::testing::GuidName(riid) + ")");
  *ppv = nullptr;
  if (rclsid == PinnedListClassId &&
      (shell.script.coCreateInstanceWithoutObject || FAILED(shell.script.coCreateInstance))) {
    return shell.script.coCreateInstance;
  }
  if (rclsid == CLSID_ShellLink) {
    if (FAILED(shell.script.createShellLink) || shell.script.createShellLinkWithoutObject) {
      return shell.script.createShellLink;
    }
    if (riid != IID_IShellLinkW) return E_NOINTERFACE;
    *ppv = static_cast<IShellLinkW*>(new corvane::testing::ShellLinkDouble());
    return shell.script.createShellLink;
  }
  if (rclsid == PinnedListClassId && riid == IID_IPinnedList3) {
    *ppv = static_cast<IPinnedList3*>(new corvane::testing::PinnedListDouble());
    return shell.script.coCreateInstance;
  }
  return REGDB_E_CLASSNOTREG;
}

LPVOID CoTaskMemAlloc(SIZE_T cb) {
  ShellDouble& shell = ShellDouble::Current();
  if (shell.script.taskMemoryExhausted) {
    shell.Record("CoTaskMemAlloc(" + std::to_string(cb) + ") -> null");
    return nullptr;
  }
  return shell.AllocateTaskMemory(cb);
}

void CoTaskMemFree(LPVOID pv) {
  if (pv == nullptr) return;
  ShellDouble& shell = ShellDouble::Current();
  // Item-ID lists are logged by name; other blocks are only accounted for.
  if (const std::string name = shell.ListName(pv); !name.empty()) {
    shell.Record("CoTaskMemFree(" + name + ")");
    shell.ForgetList(pv);
  }
  shell.FreeTaskMemory(pv);
}

HRESULT SHGetDesktopFolder(IShellFolder** ppshf) {
  ShellDouble& shell = ShellDouble::Current();
  shell.Record("SHGetDesktopFolder");
  *ppshf = nullptr;
  if (FAILED(shell.script.desktopFolder)) return shell.script.desktopFolder;
  *ppshf = new corvane::testing::ShellFolderDouble("desktop");
  return shell.script.desktopFolder;
}

HRESULT SHGetFolderPathW(HWND hwnd, int csidl, HANDLE hToken, DWORD dwFlags, LPWSTR pszPath) {
  ShellDouble& shell = ShellDouble::Current();
  shell.Record(std::string("SHGetFolderPathW(") + (hwnd == nullptr ? "null" : "hwnd") + ", " +
               corvane::testing::Hex(static_cast<std::uint32_t>(csidl)) + ", " +
               (hToken == nullptr ? "null" : "token") + ", " + std::to_string(dwFlags) + ")");
  if (FAILED(shell.script.appDataFolder)) return shell.script.appDataFolder;
  const std::wstring& folder = shell.script.appData;
  std::copy_n(folder.c_str(), std::min<std::size_t>(folder.size() + 1, MAX_PATH), pszPath);
  return shell.script.appDataFolder;
}

HRESULT SHParseDisplayName(PCWSTR pszName, IBindCtx* pbc, PIDLIST_ABSOLUTE* ppidl, SFGAOF sfgaoIn,
                           SFGAOF* psfgaoOut) {
  ShellDouble& shell = ShellDouble::Current();
  std::string call = "SHParseDisplayName(" + corvane::testing::Utf8(pszName) + ", " +
                     (pbc == nullptr ? "null" : "bind context") + ", " + std::to_string(sfgaoIn) +
                     ", " + (psfgaoOut == nullptr ? "null" : "attributes") + ")";
  *ppidl = nullptr;
  if (FAILED(shell.script.parseDisplayName)) {
    shell.Record(call + " -> failed");
    return shell.script.parseDisplayName;
  }
  *ppidl = static_cast<PIDLIST_ABSOLUTE>(shell.NewNamedList(pszName));
  shell.Record(call + " -> " + shell.ListName(*ppidl));
  return shell.script.parseDisplayName;
}

HRESULT StrRetToBufW(STRRET* pstr, PCUITEMID_CHILD pidl, LPWSTR pszBuf, UINT cchBuf) {
  ShellDouble& shell = ShellDouble::Current();
  shell.Record("StrRetToBufW(" + shell.ListName(pidl) + ", " + std::to_string(cchBuf) + ")");
  if (pstr->uType == STRRET_WSTR) {
    const std::wstring text = pstr->pOleStr;
    shell.FreeTaskMemory(pstr->pOleStr);
    pstr->pOleStr = nullptr;
    if (FAILED(shell.script.strRetToBuf)) return shell.script.strRetToBuf;
    const std::size_t count = std::min<std::size_t>(text.size(), cchBuf - 1);
    std::copy_n(text.c_str(), count, pszBuf);
    pszBuf[count] = L'\0';
    return S_OK;
  }
  ADD_FAILURE() << "the double hands out STRRET_WSTR only";
  return E_FAIL;
}

namespace {

// One open search: the scripted entries and how far it has got.
struct FindDouble {
  std::string name;
  std::size_t next = 0;
};
std::vector<FindDouble*> openFinds;

void FillFindData(const std::wstring& name, WIN32_FIND_DATAW* data) {
  std::memset(data, 0, sizeof *data);
  const std::size_t count = std::min<std::size_t>(name.size(), MAX_PATH - 1);
  std::copy_n(name.c_str(), count, data->cFileName);
}

FindDouble* LiveFind(HANDLE handle) {
  for (FindDouble* find : openFinds) {
    if (find == handle) return find;
  }
  return nullptr;
}

}  // namespace

HANDLE FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData) {
  ShellDouble& shell = ShellDouble::Current();
  const std::string call = "FindFirstFileW(" + corvane::testing::Utf8(lpFileName) + ")";
  if (shell.script.files.empty()) {
    shell.Record(call + " -> INVALID_HANDLE_VALUE");
    return INVALID_HANDLE_VALUE;
  }
  auto* find = new FindDouble{"find" + std::to_string(shell.FindOpened()), 1};
  openFinds.push_back(find);
  FillFindData(shell.script.files[0], lpFindFileData);
  shell.Record(call + " -> " + find->name);
  return find;
}

BOOL FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData) {
  ShellDouble& shell = ShellDouble::Current();
  FindDouble* find = LiveFind(hFindFile);
  if (find == nullptr) {
    ADD_FAILURE() << "FindNextFileW on a handle that is not open";
    return FALSE;
  }
  const bool more = find->next < shell.script.files.size();
  if (more) FillFindData(shell.script.files[find->next++], lpFindFileData);
  shell.Record("FindNextFileW(" + find->name + ") -> " + (more ? "1" : "0"));
  return more ? TRUE : FALSE;
}

BOOL FindClose(HANDLE hFindFile) {
  ShellDouble& shell = ShellDouble::Current();
  FindDouble* find = LiveFind(hFindFile);
  if (find == nullptr) {
    ADD_FAILURE() << "FindClose on a handle that is not open";
    return FALSE;
  }
  shell.Record("FindClose(" + find->name + ")");
  openFinds.erase(std::find(openFinds.begin(), openFinds.end(), find));
  delete find;
  shell.FindClosed();
  return TRUE;
}

HRESULT PropVariantClear(PROPVARIANT* pvar) {
  ShellDouble& shell = ShellDouble::Current();
  shell.Record("PropVariantClear(" + corvane::testing::VariantName(*pvar) + ")");
  if (pvar->vt == VT_LPWSTR && pvar->pwszVal != nullptr) shell.FreeTaskMemory(pvar->pwszVal);
  if (pvar->vt == VT_BSTR && pvar->bstrVal != nullptr) {
    SysFreeString(pvar->bstrVal);
    shell.StringDestroyed();
  }
  std::memset(pvar, 0, sizeof *pvar);
  return S_OK;
}

PIDLIST_ABSOLUTE ILCreateFromPathW(PCWSTR pszPath) {
  ShellDouble& shell = ShellDouble::Current();
  const std::string call = "ILCreateFromPathW(" + corvane::testing::Utf8(pszPath) + ")";
  if (shell.script.ilCreateFromPathReturnsNull) {
    shell.Record(call + " -> null");
    return nullptr;
  }
  auto* list = static_cast<ITEMIDLIST*>(std::calloc(1, sizeof(USHORT)));
  shell.Record(call + " -> " + shell.NameList(list));
  shell.SetListText(list, pszPath);
  return list;
}

void ILFree(PIDLIST_RELATIVE pidl) {
  ShellDouble& shell = ShellDouble::Current();
  if (pidl == nullptr) {
    shell.Record("ILFree(null)");
    return;
  }
  const std::string name = shell.ListName(pidl);
  if (name.empty()) {
    ADD_FAILURE() << "ILFree of a list that is not live";
    shell.Record("ILFree(<not a live list>)");
    return;
  }
  shell.Record("ILFree(" + name + ")");
  shell.ForgetList(pidl);
  std::free(pidl);
}

extern "C" int fputws(const wchar_t* text, std::FILE* stream) {
  ShellDouble& shell = ShellDouble::Current();
  const char* name = stream == stderr ? "stderr" : stream == stdout ? "stdout" : "other";
  shell.Record(std::string("fputws(") + name + "): " + corvane::testing::Utf8(text));
  if (stream == stderr) shell.WriteErr(text);
  return 0;
}

DWORD GetEnvironmentVariableW(LPCWSTR lpName, LPWSTR lpBuffer, DWORD nSize) {
  ShellDouble& shell = ShellDouble::Current();
  shell.Record("GetEnvironmentVariableW(" + corvane::testing::Utf8(lpName) + ", " +
               std::to_string(nSize) + ")");
  const auto found = shell.script.environment.find(lpName);
  if (found == shell.script.environment.end()) return 0;
  const std::wstring& value = found->second;
  if (value.size() >= nSize) return static_cast<DWORD>(value.size() + 1);
  std::copy_n(value.c_str(), value.size() + 1, lpBuffer);
  return static_cast<DWORD>(value.size());
}

ULONGLONG GetTickCount64() { return ShellDouble::Current().clock; }

void Sleep(DWORD dwMilliseconds) {
  ShellDouble& shell = ShellDouble::Current();
  shell.Record("Sleep(" + std::to_string(dwMilliseconds) + ")");
  shell.clock += dwMilliseconds;
}
