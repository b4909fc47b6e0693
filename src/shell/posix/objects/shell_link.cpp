// The stand-in's shell link object: IShellLinkW, IPersistFile and
// IPropertyStore over a real .lnk file. Load reads the whole file once,
// checks it and keeps its bytes; text and property records are read from
// those bytes when asked for. Property changes are staged by SetValue, applied to those
// bytes by Commit, and written back by Save, which changes nothing outside
// the property store block.
#include "shell/posix/sdk/shell_link.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "shell/posix/host/errors.h"
#include "shell/posix/host/native_text.h"
#include "shell/posix/host/opened_file.h"
#include "shell/posix/host/paths.h"
#include "shell/posix/lnk/link_file.h"
#include "shell/posix/lnk/property_store_block.h"
#include "shell/posix/objects/class_table.h"
#include "shell/posix/objects/load_link.h"
#include "shell/posix/objects/typed_value.h"
#include "shell/posix/runtime/com_object.h"
#include "shell/posix/sdk/property_store.h"

namespace corvane::posix {
namespace {

// A staged change: the key's new TypedPropertyValue, or none to remove it.
struct StagedValue {
  PROPERTYKEY key;
  bool remove;
  std::vector<std::uint8_t> value;
};

// IUnknown's methods are ComObject's, shared by the three interfaces.
class ShellLink : public IShellLinkW, public IPersistFile, public IPropertyStore {
 public:
  void* Offer(REFIID riid) {
    if (riid == IID_IUnknown || riid == IID_IShellLinkW) return static_cast<IShellLinkW*>(this);
    if (riid == IID_IPersistFile || riid == IID_IPersist) return static_cast<IPersistFile*>(this);
    if (riid == IID_IPropertyStore) return static_cast<IPropertyStore*>(this);
    return nullptr;
  }

  // IShellLinkW. The program reads links; the setters are not part of the
  // stand-in.
  HRESULT STDMETHODCALLTYPE GetPath(LPWSTR pszFile, int cch, WIN32_FIND_DATAW* pfd,
                                    DWORD) override {
    if (pszFile == nullptr || cch <= 0) return E_INVALIDARG;
    if (pfd != nullptr) std::memset(pfd, 0, sizeof *pfd);
    pszFile[0] = L'\0';
    return FailOnOutOfMemory(E_OUTOFMEMORY, [&] {
      const std::wstring target = loaded_ ? LinkTarget(link_) : std::wstring();
      if (target.empty()) return S_FALSE;
      CopyUtf16Prefix(target, pszFile, cch < MAX_PATH ? cch : MAX_PATH);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE GetIDList(PIDLIST_ABSOLUTE* ppidl) override {
    if (ppidl == nullptr) return E_POINTER;
    *ppidl = nullptr;
    if (!loaded_ || link_.idList.size == 0) return S_FALSE;
    void* copy = CoTaskMemAlloc(link_.idList.size);
    if (copy == nullptr) return E_OUTOFMEMORY;
    std::memcpy(copy, link_.bytes.data() + link_.idList.offset, link_.idList.size);
    *ppidl = static_cast<PIDLIST_ABSOLUTE>(copy);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetIDList(PCIDLIST_ABSOLUTE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetDescription(LPWSTR pszName, int cch) override {
    return GetString(link_.name, pszName, cch);
  }
  HRESULT STDMETHODCALLTYPE SetDescription(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPWSTR pszDir, int cch) override {
    return GetString(link_.workingDir, pszDir, cch);
  }
  HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetArguments(LPWSTR pszArgs, int cch) override {
    return GetString(link_.arguments, pszArgs, cch);
  }
  HRESULT STDMETHODCALLTYPE SetArguments(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetHotkey(WORD* pwHotkey) override {
    if (pwHotkey == nullptr) return E_POINTER;
    std::uint16_t hotkey = 0;
    ReadU16(link_.bytes, layout::header::kHotKey, hotkey);
    *pwHotkey = hotkey;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetHotkey(WORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetShowCmd(int* piShowCmd) override {
    if (piShowCmd == nullptr) return E_POINTER;
    std::uint32_t showCommand = 1;  // SW_SHOWNORMAL
    ReadU32(link_.bytes, layout::header::kShowCommand, showCommand);
    *piShowCmd = static_cast<int>(showCommand);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetShowCmd(int) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIconLocation(LPWSTR pszIconPath, int cch, int* piIcon) override {
    if (piIcon == nullptr) return E_POINTER;
    std::uint32_t index = 0;
    ReadU32(link_.bytes, layout::header::kIconIndex, index);
    *piIcon = static_cast<int>(index);
    return GetString(link_.iconLocation, pszIconPath, cch);
  }
  HRESULT STDMETHODCALLTYPE SetIconLocation(LPCWSTR, int) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetRelativePath(LPCWSTR, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Resolve(HWND, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetPath(LPCWSTR) override { return E_NOTIMPL; }

  // IPersistFile.
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) override {
    if (pClassID == nullptr) return E_POINTER;
    *pClassID = CLSID_ShellLink;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return dirty_ ? S_OK : S_FALSE; }
  HRESULT STDMETHODCALLTYPE Load(LPCOLESTR pszFileName, DWORD dwMode) override {
    if (pszFileName == nullptr) return E_INVALIDARG;
    return FailOnOutOfMemory(E_OUTOFMEMORY, [&] { return LoadFrom(pszFileName, dwMode); });
  }
  HRESULT STDMETHODCALLTYPE Save(LPCOLESTR pszFileName, BOOL fRemember) override {
    if (!loaded_) return E_UNEXPECTED;
    return FailOnOutOfMemory(E_OUTOFMEMORY, [&] { return SaveTo(pszFileName, fRemember); });
  }
  HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* ppszFileName) override {
    if (ppszFileName == nullptr) return E_POINTER;
    *ppszFileName = nullptr;
    if (!loaded_) return S_FALSE;
    return FailOnOutOfMemory(E_OUTOFMEMORY, [&] {
      const std::wstring name = DecodeNativeText(path_);
      auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((name.size() + 1) * sizeof(OLECHAR)));
      if (copy == nullptr) return E_OUTOFMEMORY;
      std::memcpy(copy, name.c_str(), (name.size() + 1) * sizeof(OLECHAR));
      *ppszFileName = copy;
      return S_OK;
    });
  }

  // IPropertyStore, over the link's property store block.
  HRESULT STDMETHODCALLTYPE GetCount(DWORD* cProps) override {
    if (cProps == nullptr) return E_POINTER;
    return FailOnOutOfMemory(E_OUTOFMEMORY, [&] {
      DWORD count = 0;
      for (const PropertyStorage& storage : Storages()) {
        for (const PropertyRecord& record : storage.records) count += record.named ? 0 : 1;
      }
      *cProps = count;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE GetAt(DWORD iProp, PROPERTYKEY* pkey) override {
    if (pkey == nullptr) return E_POINTER;
    return FailOnOutOfMemory(E_OUTOFMEMORY, [&] {
      for (const PropertyStorage& storage : Storages()) {
        for (const PropertyRecord& record : storage.records) {
          if (record.named) continue;
          if (iProp-- == 0) {
            *pkey = {storage.formatId, record.id};
            return S_OK;
          }
        }
      }
      return E_INVALIDARG;
    });
  }
  HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY key, PROPVARIANT* pv) override {
    if (pv == nullptr) return E_POINTER;
    std::memset(pv, 0, sizeof *pv);
    return FailOnOutOfMemory(E_OUTOFMEMORY, [&] {
      for (auto staged = staged_.rbegin(); staged != staged_.rend(); ++staged) {
        if (!SameKey(staged->key, key)) continue;
        return staged->remove ? S_OK : ReadTypedValue(staged->value, *pv);
      }
      if (link_.propertyStoreBlock.size == 0) return S_OK;
      const Bytes block = link_.View(link_.propertyStoreBlock);
      Extent value;
      if (!FindPropertyValue(block, key, value)) return S_OK;
      return ReadTypedValue(block.subspan(value.offset, value.size), *pv);
    });
  }
  HRESULT STDMETHODCALLTYPE SetValue(REFPROPERTYKEY key, REFPROPVARIANT propvar) override {
    if (!loaded_) return E_UNEXPECTED;
    return FailOnOutOfMemory(E_OUTOFMEMORY, [&] {
      StagedValue staged{key, propvar.vt == VT_EMPTY, {}};
      if (!staged.remove && !WriteTypedValue(propvar, staged.value)) return E_INVALIDARG;
      staged_.push_back(std::move(staged));
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE Commit() override {
    if (!loaded_) return E_UNEXPECTED;
    return FailOnOutOfMemory(E_OUTOFMEMORY, [&] { return CommitStaged(); });
  }

 private:
  // A link loaded to be written is opened to be replaced: Save then writes
  // the very file that was read, in the folder it was read from.
  HRESULT LoadFrom(LPCOLESTR pszFileName, DWORD mode) {
    std::string path = AbsoluteNativePath(pszFileName);
    if (path.empty()) return E_FAIL;
    OpenedFile file;
    LinkFile link;
    const bool writing = (mode & (STGM_WRITE | STGM_READWRITE)) != 0;
    if (const HRESULT hr =
            writing ? LoadLinkFileToReplace(path, file, link) : LoadLinkFile(path, file, link);
        FAILED(hr)) {
      return hr;
    }
    file_ = std::move(file);
    link_ = std::move(link);
    storages_.clear();
    storagesListed_ = false;
    staged_.clear();
    path_ = std::move(path);
    loaded_ = true;
    dirty_ = false;
    return S_OK;
  }

  // Nothing is written that Load would refuse: the file would be lost to
  // every later command.
  HRESULT SaveTo(LPCOLESTR pszFileName, BOOL fRemember) {
    if (link_.bytes.size() > layout::kMaximumLinkFileSize) {
      return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    }
    const std::string path = pszFileName == nullptr ? path_ : AbsoluteNativePath(pszFileName);
    if (path.empty()) return E_FAIL;
    // The loaded file is written where it was loaded from; any other file
    // (or one loaded only to be read) is opened now.
    OpenedFile other;
    const bool loadedFile = path == path_ && file_.opened_to_replace();
    if (!loadedFile) {
      if (const int outcome = other.OpenToReplace(path); outcome != 0) {
        return FileOutcomeHResult(outcome, path);
      }
    }
    OpenedFile& target = loadedFile ? file_ : other;
    if (const int outcome = target.Replace(link_.bytes); outcome != 0) {
      return FileOutcomeHResult(outcome, path);
    }
    if (fRemember || pszFileName == nullptr) {
      path_ = path;
      if (!loadedFile) file_ = std::move(other);
      dirty_ = false;
    }
    return S_OK;
  }

  HRESULT CommitStaged() {
    LinkFile link = link_;
    std::vector<PropertyStorage> storages = Storages();
    for (const StagedValue& staged : staged_) {
      const Bytes oldBlock = link.View(link.propertyStoreBlock);
      const std::vector<std::uint8_t> newBlock =
          BlockWithValue(oldBlock, storages, staged.key, staged.remove ? nullptr : &staged.value);
      const std::size_t start =
          link.propertyStoreBlock.size != 0 ? link.propertyStoreBlock.offset : link.terminalBlock;
      std::vector<std::uint8_t> bytes;
      bytes.reserve(link.bytes.size() - oldBlock.size() + newBlock.size());
      bytes.insert(bytes.end(), link.bytes.begin(), link.bytes.begin() + start);
      bytes.insert(bytes.end(), newBlock.begin(), newBlock.end());
      bytes.insert(bytes.end(), link.bytes.begin() + start + oldBlock.size(), link.bytes.end());
      if (ParseLinkFile(std::move(bytes), link) != Refusal::None) return E_FAIL;
      storages.clear();
      if (link.propertyStoreBlock.size != 0) {
        ParsePropertyStoreBlock(link.View(link.propertyStoreBlock), storages);
      }
    }
    link_ = std::move(link);
    storages_ = std::move(storages);
    storagesListed_ = true;
    dirty_ = dirty_ || !staged_.empty();
    staged_.clear();
    return S_OK;
  }

  static bool SameKey(REFPROPERTYKEY a, REFPROPERTYKEY b) {
    return a.fmtid == b.fmtid && a.pid == b.pid;
  }

  HRESULT GetString(Extent text, LPWSTR buffer, int cch) const {
    if (buffer == nullptr || cch <= 0) return E_INVALIDARG;
    buffer[0] = L'\0';
    return FailOnOutOfMemory(E_OUTOFMEMORY, [&] {
      CopyUtf16Prefix(link_.Text(text), buffer, static_cast<std::size_t>(cch));
      return S_OK;
    });
  }

  // The storages of the loaded property store block, listed on first use.
  // Load has checked the block, so listing it cannot fail.
  const std::vector<PropertyStorage>& Storages() {
    if (!storagesListed_) {
      storages_.clear();
      if (link_.propertyStoreBlock.size != 0) {
        ParsePropertyStoreBlock(link_.View(link_.propertyStoreBlock), storages_);
      }
      storagesListed_ = true;
    }
    return storages_;
  }

  bool loaded_ = false;
  bool dirty_ = false;
  std::string path_;
  // The loaded file, held open from Load to Save when it was loaded to be
  // written.
  OpenedFile file_;
  LinkFile link_;
  bool storagesListed_ = false;
  std::vector<PropertyStorage> storages_;
  std::vector<StagedValue> staged_;
};

}  // namespace

HRESULT CreateShellLink(REFIID riid, void** object) {
  return CreateComObject<ShellLink>(riid, object);
}

}  // namespace corvane::posix
