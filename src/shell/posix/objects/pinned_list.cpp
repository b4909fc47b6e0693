// The stand-in's pinned-list object. The taskbar is the pin folder below the
// application-data folder: pinning copies the shortcut file into it, and
// unpinning removes the copies of that shortcut from it.
#include "shell/pinned_list.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <string>
#include <vector>

#include "shell/known_folders.h"
#include "shell/posix/host/errors.h"
#include "shell/posix/host/file_io.h"
#include "shell/posix/host/folder_listing.h"
#include "shell/posix/host/name_list.h"
#include "shell/posix/host/native_text.h"
#include "shell/posix/host/opened_file.h"
#include "shell/posix/host/paths.h"
#include "shell/posix/lnk/link_file.h"
#include "shell/posix/objects/class_table.h"
#include "shell/posix/objects/load_link.h"
#include "shell/posix/objects/path_id_list.h"
#include "shell/posix/runtime/com_object.h"

namespace corvane::posix {
namespace {

// Past this many clashing names a pin gives up rather than search forever.
constexpr int kMaximumNameVariants = 10000;

HRESULT PinFolder(std::string& folder) {
  wchar_t appData[MAX_PATH] = {};
  const HRESULT hr = SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData);
  if (FAILED(hr)) return hr;
  folder = AbsoluteNativePath(std::wstring(appData) + PinnedListFolderSuffix);
  return folder.empty() ? E_FAIL : S_OK;
}

// Windows compares file names without regard to case.
bool SameFileName(std::string_view a, std::string_view b) {
  return a == b || SameTextIgnoringCaseNative(a, b);
}

// The longest name, in bytes, that the file system takes in folder.
std::size_t LongestName(const std::string& folder) {
  const long limit = pathconf(folder.c_str(), _PC_NAME_MAX);
  return limit > 0 ? static_cast<std::size_t>(limit) : 255;
}

// "App.lnk", then "App (2).lnk", "App (3).lnk", ..., each at most limit
// bytes long: a stem too long for its number is cut, at a whole UTF-8
// character.
std::string NameVariant(const std::string& name, int number, std::size_t limit) {
  const std::size_t dot = name.find_last_of('.');
  std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
  const std::string extension = name.substr(stem.size());
  const std::string suffix = number == 1 ? "" : " (" + std::to_string(number) + ")";
  const std::size_t room =
      limit > suffix.size() + extension.size() ? limit - suffix.size() - extension.size() : 0;
  if (stem.size() > room) {
    std::size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) --cut;
    stem.resize(cut);
  }
  return stem + suffix + extension;
}

// Calls visit(name, path, folderFd) for every entry of the folder but "."
// and ".." (name ends in a NUL; folderFd is the open folder's descriptor):
// 0, or the errno that kept the folder from being listed whole. Hidden
// names are pins like any other: only a walk of the folder through the
// shell leaves them out.
template <typename Visit>
int ForEachEntry(const std::string& folder, Visit visit) {
  FolderListing listing;
  if (const int error = listing.Open(folder); error != 0) return error;
  std::string path = folder + "/";
  const std::size_t prefix = path.size();
  return listing.ForEach([&](const dirent& entry) {
    const std::string_view name = entry.d_name;
    if (name.empty() || IsDotOrDotDot(name)) return;
    path.resize(prefix);
    path.append(name);
    visit(name, path, listing.fd());
  });
}

// What a pin must know of the folder: whether a pinned file already holds
// exactly the source's bytes, and which names are in use.
struct FolderSurvey {
  bool identicalPin = false;
  NameList names;
};

// Only a regular file of the source's size can hold its bytes; the others
// are passed over by their status, without being opened. An entry that
// cannot be read is not known to hold the source's bytes, so it is no
// reason not to pin: the pin never takes its name.
int SurveyFolder(const std::string& folder, const OpenedFile& source, FolderSurvey& survey) {
  return ForEachEntry(folder, [&](std::string_view name, const std::string&, int folderFd) {
    survey.names.Add(name);
    if (survey.identicalPin) return;
    // Looked up in the open folder: the same file as the path names, without
    // walking the path again.
    struct stat status;
    if (fstatat(folderFd, name.data(), &status, 0) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size != source.status().st_size) {
      return;
    }
    OpenedFile pinned;
    bool same = false;
    if (pinned.OpenAt(folderFd, name.data()) == 0 &&
        SameContents(source.fd(), pinned.fd(), same) == 0) {
      survey.identicalPin = same;
    }
  });
}

// A pin folder holds shortcuts: the source is pinned only when the link
// object would load it. A file too large for it, or one that is no
// shortcut, is refused and nothing is written.
HRESULT Pin(const std::string& source) {
  OpenedFile sourceFile;
  LinkFile link;
  if (const HRESULT hr = LoadLinkFile(source, sourceFile, link); FAILED(hr)) return hr;

  std::string folder;
  if (const HRESULT hr = PinFolder(folder); FAILED(hr)) return hr;
  int error = CreateFolders(folder);
  FolderSurvey survey;
  if (error == 0) error = SurveyFolder(folder, sourceFile, survey);
  if (error != 0) return HResultFromErrno(error);
  if (survey.identicalPin) return S_OK;

  TemporaryFile copy;
  if ((error = copy.Create(folder, sourceFile.status().st_mode & 0777)) != 0 ||
      (error = copy.Write(link.bytes.data(), link.bytes.size())) != 0 ||
      (error = copy.Sync()) != 0) {
    return HResultFromErrno(error);
  }
  const std::string name = BaseName(source);
  const std::size_t longestName = LongestName(folder);
  // A name that differs from a pin's only in case is that pin's name on
  // Windows: it is taken too.
  auto takenInOtherCase = [&](const std::string& candidate) {
    for (std::size_t i = 0; i < survey.names.size(); ++i) {
      const std::string_view entry = survey.names.name(i);
      if (entry != candidate && SameFileName(entry, candidate)) return true;
    }
    return false;
  };
  for (int number = 1; number <= kMaximumNameVariants; ++number) {
    const std::string candidate = NameVariant(name, number, longestName);
    if (takenInOtherCase(candidate)) continue;
    const std::string target = folder + "/" + candidate;
    error = copy.PublishAs(target);
    if (error == 0) {
      SyncFolder(folder);
      return S_OK;
    }
    if (error != EEXIST) return HResultFromErrno(error);
    // The name is taken. A pin with the same bytes that appeared meanwhile
    // makes this one unnecessary; anything else, one that cannot be read
    // among them, keeps its name.
    OpenedFile existing;
    bool same = false;
    if (existing.Open(target) == 0 && SameContents(copy.fd(), existing.fd(), same) == 0 && same) {
      return S_OK;
    }
  }
  return HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
}

// The target a link file points at; empty when it cannot be loaded or has
// none. Memory that runs out while reading it is no answer: that failure
// goes up to Modify, which reports it.
std::wstring TargetOfLinkFile(int folderFd, const char* name) {
  OpenedFile file;
  LinkFile link;
  return SUCCEEDED(LoadLinkFileAt(folderFd, name, file, link)) ? LinkTarget(link) : std::wstring();
}

// The pins of a shortcut are the pinned files with its exact bytes, and the
// pinned shortcuts that point at the same target (the shortcut may have
// been changed since it was pinned, its AppUserModelID set, say). A
// shortcut with neither has at most the pin under its file name, and only
// when the two cannot point at different targets: where both targets are
// known and differ, the pin is another shortcut's. Pins of other shortcuts
// that merely share the name ("App (2).lnk" beside "App.lnk") are never
// touched.
HRESULT Unpin(const std::string& source) {
  // A source that cannot be loaded is still unpinned by its bytes (when it
  // can be opened) or by its name; only its target is then unknown.
  OpenedFile sourceFile;
  LinkFile sourceLink;
  const bool sourceLoaded = SUCCEEDED(LoadLinkFile(source, sourceFile, sourceLink));
  const bool sourceReadable = sourceFile.is_open() && S_ISREG(sourceFile.status().st_mode);
  std::string folder;
  if (const HRESULT hr = PinFolder(folder); FAILED(hr)) return hr;
  const std::string name = BaseName(source);
  const std::wstring target = sourceLoaded ? LinkTarget(sourceLink) : std::wstring();

  std::vector<std::string> pins;
  std::vector<std::string> sameNamed;
  const int listError =
      ForEachEntry(folder, [&](std::string_view entry, const std::string& path, int folderFd) {
        // An entry that cannot be opened as a regular file is no pin.
        OpenedFile pinned;
        if (pinned.OpenAt(folderFd, entry.data()) != 0) return;
        bool same = false;
        // One that cannot be read through is compared by target and name.
        if (sourceReadable && SameContents(sourceFile.fd(), pinned.fd(), same) == 0 && same) {
          pins.push_back(path);
          return;
        }
        const bool sameName = SameFileName(entry, name);
        const std::wstring pinnedTarget =
            !target.empty() || sameName ? TargetOfLinkFile(folderFd, entry.data()) : std::wstring();
        if (!target.empty() && pinnedTarget == target) {
          pins.push_back(path);
        } else if (sameName && (target.empty() || pinnedTarget.empty())) {
          sameNamed.push_back(path);
        }
      });
  if (listError != 0 && listError != ENOENT) return HResultFromErrno(listError);

  if (pins.empty()) pins = sameNamed;
  if (pins.empty()) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
  int removeError = 0;
  for (const std::string& path : pins) {
    if (unlink(path.c_str()) != 0 && removeError == 0) removeError = errno;
  }
  SyncFolder(folder);
  return removeError != 0 ? HResultFromErrno(removeError) : S_OK;
}

class PinnedList : public IPinnedList3 {
 public:
  void* Offer(REFIID riid) { return OfferOne<IPinnedList3>(this, IID_IPinnedList3, riid); }

  HRESULT STDMETHODCALLTYPE Slot4() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Slot5() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Slot6() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Slot7() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Slot8() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Slot9() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Slot10() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Slot11() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Slot12() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Slot13() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Slot14() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Slot15() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Slot16() override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE Modify(PCIDLIST_ABSOLUTE unpinItem, PCIDLIST_ABSOLUTE pinItem,
                                   DWORD) override {
    if ((unpinItem == nullptr) == (pinItem == nullptr)) return E_INVALIDARG;
    return FailOnOutOfMemory(E_OUTOFMEMORY, [&] {
      const auto path = NativePathFromIdList(pinItem != nullptr ? pinItem : unpinItem);
      if (!path) return E_INVALIDARG;
      return pinItem != nullptr ? Pin(*path) : Unpin(*path);
    });
  }
};

}  // namespace

HRESULT CreatePinnedList(REFIID riid, void** object) {
  return CreateComObject<PinnedList>(riid, object);
}

}  // namespace corvane::posix
