// The stand-in's shell namespace. The desktop folder is the file system's
// root, so an absolute item-ID list (see path_id_list.h) is a list relative to
// it; every other folder object stands for one folder of the file system,
// named by its absolute native path. Display names for parsing are the
// paths in the form the rest of the stand-in writes and reads them.
#include "shell/posix/sdk/shell_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "shell/owners.h"
#include "shell/posix/host/errors.h"
#include "shell/posix/host/file_io.h"
#include "shell/posix/host/folder_listing.h"
#include "shell/posix/host/name_list.h"
#include "shell/posix/host/native_text.h"
#include "shell/posix/host/path_walk.h"
#include "shell/posix/host/paths.h"
#include "shell/posix/objects/path_id_list.h"
#include "shell/posix/runtime/com_object.h"

namespace corvane::posix {
namespace {

// A folder's entries, each with its kind: a folder or not.
using Entries = NameList;

template <typename Out>
void ClearOut(Out** out) {
  if (out != nullptr) *out = nullptr;
}

// The entries of a folder that the flags ask for, sorted by name without
// regard to case, as NTFS keeps them. A name that starts with a dot is
// hidden; one with a backslash cannot be written as a Windows path, and one
// of the stand-in's own files on their way to a name is no entry yet: both
// are left out.
int ListFolder(const std::string& folder, SHCONTF flags, Entries& entries) {
  // The stand-in lists only folders of the caller's own (path_walk.h).
  unique_fd opened;
  if (const int error = OpenOwnFolder(folder, MissingFolders::Fail, opened); error != 0) {
    return error;
  }
  FolderListing listing;
  if (const int error = listing.Open(opened.get()); error != 0) return error;
  const int listed = listing.ForEach([&](const dirent& entry) {
    const std::string_view name = entry.d_name;
    if (IsDotOrDotDot(name) || name.find('\\') != std::string_view::npos || IsHiddenName(name)) {
      return 0;
    }
    if (name[0] == '.' && (flags & SHCONTF_INCLUDEHIDDEN) == 0) return 0;
    // A link counts as what it points to; a dangling one as a file. Where
    // the folder listing already tells the kind of entry, no stat is needed.
    bool isFolder = entry.d_type == DT_DIR;
    if (entry.d_type == DT_LNK || entry.d_type == DT_UNKNOWN) {
      struct stat status;
      isFolder = fstatat(listing.fd(), entry.d_name, &status, 0) == 0 && S_ISDIR(status.st_mode);
    }
    if ((isFolder && (flags & SHCONTF_FOLDERS)) || (!isFolder && (flags & SHCONTF_NONFOLDERS))) {
      entries.Add(name, isFolder ? EntryKind::Folder : EntryKind::Other);
    }
    return 0;
  });
  if (listed != 0) return listed;
  entries.Sort(LessIgnoringCaseNative);
  return 0;
}

class EnumIdList : public IEnumIDList {
 public:
  EnumIdList(std::shared_ptr<const Entries> entries, std::size_t position)
      : entries_(std::move(entries)), position_(position) {}

  void* Offer(REFIID riid) { return OfferOne<IEnumIDList>(this, IID_IEnumIDList, riid); }

  HRESULT STDMETHODCALLTYPE Next(ULONG celt, PITEMID_CHILD* rgelt, ULONG* pceltFetched) override {
    if (pceltFetched != nullptr) *pceltFetched = 0;
    if (rgelt == nullptr) return E_POINTER;
    if (pceltFetched == nullptr && celt != 1) return E_INVALIDARG;
    std::fill(rgelt, rgelt + celt, nullptr);
    ULONG fetched = 0;
    for (; fetched < celt && position_ < entries_->size(); ++fetched, ++position_) {
      rgelt[fetched] =
          ChildIdList(entries_->name(position_), entries_->kind(position_) == EntryKind::Folder);
      if (rgelt[fetched] == nullptr) {
        // Hand out all of them or none.
        for (ULONG i = 0; i < fetched; ++i) CoTaskMemFree(std::exchange(rgelt[i], nullptr));
        position_ -= fetched;
        return E_OUTOFMEMORY;
      }
    }
    if (pceltFetched != nullptr) *pceltFetched = fetched;
    return fetched == celt ? S_OK : S_FALSE;
  }

  HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override {
    const std::size_t left = entries_->size() - position_;
    position_ += std::min<std::size_t>(celt, left);
    return celt <= left ? S_OK : S_FALSE;
  }

  HRESULT STDMETHODCALLTYPE Reset() override {
    position_ = 0;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Clone(IEnumIDList** ppenum) override {
    if (ppenum == nullptr) return E_POINTER;
    *ppenum = new (std::nothrow) ComObject<EnumIdList>(entries_, position_);
    return *ppenum != nullptr ? S_OK : E_OUTOFMEMORY;
  }

 private:
  std::shared_ptr<const Entries> entries_;
  std::size_t position_;
};

class ShellFolder : public IShellFolder {
 public:
  // folder: an absolute, normalised native path.
  explicit ShellFolder(std::string folder) : folder_(std::move(folder)) {}

  void* Offer(REFIID riid) { return OfferOne<IShellFolder>(this, IID_IShellFolder, riid); }

  HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*,
                                             PIDLIST_RELATIVE* ppidl, ULONG*) override {
    ClearOut(ppidl);
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE EnumObjects(HWND, SHCONTF grfFlags,
                                        IEnumIDList** ppenumIDList) override {
    if (ppenumIDList == nullptr) return E_POINTER;
    *ppenumIDList = nullptr;
    return FailOnOutOfMemory(E_OUTOFMEMORY, [&] {
      auto entries = std::make_shared<Entries>();
      if (const int error = ListFolder(folder_, grfFlags, *entries); error != 0) {
        return HResultFromErrno(error);
      }
      *ppenumIDList = new (std::nothrow) ComObject<EnumIdList>(std::move(entries), 0);
      return *ppenumIDList != nullptr ? S_OK : E_OUTOFMEMORY;
    });
  }

  HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE pidl, IBindCtx*, REFIID riid,
                                         void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    return FailOnOutOfMemory(E_OUTOFMEMORY, [&] {
      const auto path = PathOf(pidl);
      // Binding names something below this folder, not the folder itself.
      if (!path || *path == folder_) return E_INVALIDARG;
      struct stat status;
      if (stat(path->c_str(), &status) != 0) return HResultFromErrno(errno);
      // A file is no folder: it offers no IShellFolder.
      if (!S_ISDIR(status.st_mode)) return E_NOINTERFACE;
      return CreateComObject<ShellFolder>(riid, ppv, *path);
    });
  }

  HRESULT STDMETHODCALLTYPE BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID,
                                          void** ppv) override {
    ClearOut(ppv);
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM, PCUIDLIST_RELATIVE, PCUIDLIST_RELATIVE) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateViewObject(HWND, REFIID, void** ppv) override {
    ClearOut(ppv);
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT, PCUITEMID_CHILD_ARRAY, SFGAOF*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND, UINT, PCUITEMID_CHILD_ARRAY, REFIID, UINT*,
                                          void** ppv) override {
    ClearOut(ppv);
    return E_NOTIMPL;
  }

  // SHGDN_FORPARSING: the item's full path; otherwise (or with
  // SHGDN_INFOLDER) its name. The text is in task memory, STRRET_WSTR.
  HRESULT STDMETHODCALLTYPE GetDisplayNameOf(PCUITEMID_CHILD pidl, SHGDNF uFlags,
                                             STRRET* pName) override {
    if (pName == nullptr) return E_POINTER;
    return FailOnOutOfMemory(E_OUTOFMEMORY, [&] {
      const auto path = PathOf(pidl);
      if (!path) return E_INVALIDARG;
      const bool fullPath = (uFlags & SHGDN_FORPARSING) != 0 && (uFlags & SHGDN_INFOLDER) == 0;
      std::string_view native = *path;
      if (!fullPath && native != "/") native.remove_prefix(native.find_last_of('/') + 1);
      // Decoded straight into the caller's copy, which has room for a
      // character a byte (never fewer bytes than characters).
      auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc((native.size() + 1) * sizeof(wchar_t)));
      if (copy == nullptr) return E_OUTOFMEMORY;
      copy[DecodeNativeTextTo(native, copy)] = L'\0';
      pName->uType = STRRET_WSTR;
      pName->pOleStr = copy;
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF,
                                      PITEMID_CHILD* ppidlOut) override {
    ClearOut(ppidlOut);
    return E_NOTIMPL;
  }

 private:
  // The native path of a list relative to this folder; nothing when the list
  // is not one of the stand-in's.
  std::optional<std::string> PathOf(PCUIDLIST_RELATIVE list) const {
    std::string path;
    if (folder_ != "/") {
      path.reserve(folder_.size() + 64);
      path = folder_;
    }
    const std::size_t base = path.size();
    if (!AppendIdListPath(list, path)) return std::nullopt;
    // The empty list is this folder itself.
    if (path.size() == base) return folder_;
    return path;
  }

  std::string folder_;
};

// The first item's own bytes, for STRRET_OFFSET text.
std::optional<std::wstring> TextInItem(PCUITEMID_CHILD pidl, UINT offset) {
  if (pidl == nullptr) return std::nullopt;
  const auto* bytes = reinterpret_cast<const BYTE*>(pidl);
  USHORT cb;
  std::memcpy(&cb, bytes, sizeof cb);
  if (offset >= cb) return std::nullopt;
  const auto* text = reinterpret_cast<const char*>(bytes + offset);
  const auto* end = static_cast<const char*>(std::memchr(text, '\0', cb - offset));
  if (end == nullptr) return std::nullopt;
  return DecodeWindows1252(std::string_view(text, end - text));
}

}  // namespace
}  // namespace corvane::posix

HRESULT SHGetDesktopFolder(IShellFolder** ppshf) {
  if (ppshf == nullptr) return E_INVALIDARG;
  *ppshf = new (std::nothrow) corvane::posix::ComObject<corvane::posix::ShellFolder>("/");
  return *ppshf != nullptr ? S_OK : E_OUTOFMEMORY;
}

// The attributes are not reported: *psfgaoOut is always 0.
HRESULT SHParseDisplayName(PCWSTR pszName, IBindCtx*, PIDLIST_ABSOLUTE* ppidl, SFGAOF,
                           SFGAOF* psfgaoOut) {
  return corvane::posix::FailOnOutOfMemory(E_OUTOFMEMORY, [&]() -> HRESULT {
    if (psfgaoOut != nullptr) *psfgaoOut = 0;
    if (ppidl == nullptr) return E_INVALIDARG;
    *ppidl = nullptr;
    if (pszName == nullptr) return E_INVALIDARG;
    // The empty name is the desktop itself: the empty list.
    const std::string path =
        *pszName == L'\0' ? std::string("/") : corvane::posix::AbsoluteNativePath(pszName);
    if (path.empty()) return E_FAIL;
    struct stat status;
    if (stat(path.c_str(), &status) != 0) return corvane::posix::HResultFromErrno(errno);
    *ppidl = corvane::posix::IdListFromNativePath(path);
    return *ppidl != nullptr ? S_OK : E_OUTOFMEMORY;
  });
}

HRESULT StrRetToBufW(STRRET* pstr, PCUITEMID_CHILD pidl, LPWSTR pszBuf, UINT cchBuf) {
  return corvane::posix::FailOnOutOfMemory(E_OUTOFMEMORY, [&]() -> HRESULT {
    if (pstr == nullptr) return E_INVALIDARG;
    // The text of a STRRET_WSTR is the reader's to free, whatever happens.
    corvane::unique_cotaskmem<wchar_t> owned;
    if (pstr->uType == STRRET_WSTR) owned.reset(std::exchange(pstr->pOleStr, nullptr));
    if (pszBuf == nullptr || cchBuf == 0) return E_INVALIDARG;
    pszBuf[0] = L'\0';

    std::optional<std::wstring> text;
    std::wstring_view view;
    switch (pstr->uType) {
      case STRRET_WSTR:
        if (!owned) return E_INVALIDARG;
        view = owned.get();
        break;
      case STRRET_CSTR: {
        const auto* end = static_cast<const char*>(std::memchr(pstr->cStr, '\0', MAX_PATH));
        text = corvane::posix::DecodeWindows1252(
            std::string_view(pstr->cStr, end != nullptr ? end - pstr->cStr : MAX_PATH));
        break;
      }
      case STRRET_OFFSET:
        text = corvane::posix::TextInItem(pidl, pstr->uOffset);
        break;
      default:
        return E_FAIL;
    }
    if (pstr->uType != STRRET_WSTR) {
      if (!text) return E_INVALIDARG;
      view = *text;
    }
    corvane::posix::CopyUtf16Prefix(view, pszBuf, cchBuf);
    return S_OK;
  });
}
