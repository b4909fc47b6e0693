// The stand-in's pinned-list object. The taskbar is the pin folder below the
// application-data folder: pinning copies the shortcut file into it, and
// unpinning removes the copies of that shortcut from it.
#include "shell/pinned_list.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <string>
#include <vector>

#include "pinning/taskbar_button.h"
#include "shell/known_folders.h"
#include "shell/posix/host/errors.h"
#include "shell/posix/host/file_io.h"
#include "shell/posix/host/folder_listing.h"
#include "shell/posix/host/name_list.h"
#include "shell/posix/host/native_text.h"
#include "shell/posix/host/opened_file.h"
#include "shell/posix/host/path_walk.h"
#include "shell/posix/host/paths.h"
#include "shell/posix/host/read_budget.h"
#include "shell/posix/lnk/link_file.h"
#include "shell/posix/objects/class_table.h"
#include "shell/posix/objects/load_link.h"
#include "shell/posix/objects/path_id_list.h"
#include "shell/posix/runtime/com_object.h"

namespace corvane::posix {
namespace {

// Past this many clashing names a pin gives up rather than search forever.
constexpr int kMaximumNameVariants = 10000;

// Out of descriptors, memory or read budget: what an entry holds is not
// known then, so the command cannot go on as if it held nothing.
const HRESULT kTooManyOpenFiles = HRESULT_FROM_WIN32(ERROR_TOO_MANY_OPEN_FILES);
const HRESULT kBudgetSpent = HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_QUOTA);

bool RanOut(HRESULT hr) {
  return hr == E_OUTOFMEMORY || hr == kTooManyOpenFiles || hr == kBudgetSpent;
}

bool RanOutErrno(int error) {
  return error == EMFILE || error == ENFILE || error == ENOMEM || error == kReadBudgetSpent;
}

// Opens the pin folder below the application-data folder, creating it when
// asked: the caller's own, reached only through the caller's and root's
// folders and trusted links (OpenOwnFolder).
HRESULT OpenPinFolder(MissingFolders missing, unique_fd& folder) {
  wchar_t appData[MAX_PATH] = {};
  const HRESULT hr = SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData);
  if (FAILED(hr)) return hr;
  const std::string path = AbsoluteNativePath(std::wstring(appData) + PinnedListFolderSuffix);
  if (path.empty()) return E_FAIL;
  return HResultFromErrno(OpenOwnFolder(path, missing, folder));
}

// Windows compares file names without regard to case.
bool SameFileName(std::string_view a, std::string_view b) {
  return a == b || SameTextIgnoringCaseNative(a, b);
}

// The longest name, in bytes, that the file system takes in the folder.
std::size_t LongestName(int folderFd) {
  const long limit = fpathconf(folderFd, _PC_NAME_MAX);
  return limit > 0 ? static_cast<std::size_t>(limit) : 255;
}

// "App.lnk", then "App (2).lnk", "App (3).lnk", ..., each at most limit
// bytes long. A name too long for its number loses the end of its stem,
// down to the stem's first character, then the end of its extension; each
// cut falls between whole characters.
std::string NameVariant(std::string_view name, int number, std::size_t limit) {
  const std::size_t dot = name.find_last_of('.');
  const std::string_view stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
  const std::string_view extension = name.substr(stem.size());
  const std::string suffix = number == 1 ? "" : " (" + std::to_string(number) + ")";
  std::size_t stemSize = stem.size(), extensionSize = extension.size();
  const auto roomFor = [&](std::size_t taken) { return limit > taken ? limit - taken : 0; };
  if (stemSize + suffix.size() + extensionSize > limit) {
    const std::size_t first = stem.empty() ? 0 : NextCharacterSize(stem);
    stemSize = std::max(first, WholeCharactersPrefix(stem, roomFor(suffix.size() + extensionSize)));
    extensionSize = WholeCharactersPrefix(extension, roomFor(stemSize + suffix.size()));
  }
  std::string variant(stem.substr(0, stemSize));
  variant += suffix;
  variant += extension.substr(0, extensionSize);
  return variant;
}

// Calls visit(name) for every entry of the open folder but ".", ".." and
// the stand-in's own files on their way to a name (name ends in a NUL);
// visit returns 0 to go on. 0, or the error that kept the folder from being
// listed whole. Other hidden names are pins like any other: only a listing
// of the folder through the shell leaves them out.
template <typename Visit>
int ForEachEntry(int folderFd, Visit visit) {
  FolderListing listing;
  if (const int error = listing.Open(folderFd); error != 0) return error;
  return listing.ForEach([&](const dirent& entry) {
    const std::string_view name = entry.d_name;
    if (name.empty() || IsDotOrDotDot(name) || IsHiddenName(name)) return 0;
    return visit(name);
  });
}

// What a pin must know of the folder: whether a pinned file already holds
// exactly the source's bytes, and which names are in use.
struct FolderSurvey {
  bool identicalPin = false;
  NameList names;
};

// Whether the entry name of the pin folder holds exactly the bytes of the
// open file fd (of size bytes): 0 with the answer in same, or an error that
// leaves it unknown (out of descriptors, memory or read budget). An entry
// that is no regular file, a link among them, holds no shortcut; one that
// cannot be read is not known to hold them, so it is no reason not to pin:
// the pin never takes its name.
int HoldsSameBytes(int folderFd, const char* name, int fd, off_t size, bool& same) {
  same = false;
  OpenedFile pinned;
  const int opened = pinned.OpenAt(folderFd, name);
  if (RanOutErrno(opened)) return opened;
  if (opened != 0 || pinned.status().st_size != size) return 0;
  if (!SpendReadBudget(static_cast<std::uint64_t>(size))) return kReadBudgetSpent;
  const int compared = SameContents(fd, pinned.fd(), same);
  return RanOutErrno(compared) ? compared : 0;
}

// Only a regular file of the source's size can hold its bytes; the others
// are passed over by their status, without being opened.
int SurveyFolder(int folderFd, const OpenedFile& source, FolderSurvey& survey) {
  return ForEachEntry(folderFd, [&](std::string_view name) {
    survey.names.Add(name);
    if (survey.identicalPin) return 0;
    struct stat status;
    if (fstatat(folderFd, name.data(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
      return RanOutErrno(errno) ? errno : 0;
    }
    if (!S_ISREG(status.st_mode) || status.st_size != source.status().st_size) return 0;
    return HoldsSameBytes(folderFd, name.data(), source.fd(), source.status().st_size,
                          survey.identicalPin);
  });
}

// An error of the pin folder's survey or listing as the command's failure.
HRESULT ListingFailure(int error) {
  return error == kReadBudgetSpent ? kBudgetSpent : HResultFromErrno(error);
}

// A pin folder holds shortcuts: the source is pinned only when the link
// object would load it. A file too large for it, or one that is no
// shortcut, is refused and nothing is written. A pin is a new file like any
// other, read and write for all less the umask, but never more readable or
// writable than its source.
HRESULT Pin(const std::string& source) {
  OpenedFile sourceFile;
  LinkFile link;
  if (const HRESULT hr = LoadLinkFile(source, sourceFile, link); FAILED(hr)) return hr;
  // A checked pin's searches may have read all that the run may.
  if (!SpendReadBudget(0)) return kBudgetSpent;

  unique_fd folder;
  if (const HRESULT hr = OpenPinFolder(MissingFolders::Create, folder); FAILED(hr)) return hr;
  FolderSurvey survey;
  if (const int error = SurveyFolder(folder.get(), sourceFile, survey); error != 0) {
    return ListingFailure(error);
  }
  if (survey.identicalPin) return S_OK;

  const std::string name = BaseName(source);
  TemporaryFile copy;
  int error = 0;
  if ((error = copy.Create(folder.get(), 0666 & sourceFile.status().st_mode, name)) != 0 ||
      (error = copy.Write(link.bytes.data(), link.bytes.size())) != 0 ||
      (error = copy.Sync()) != 0) {
    return HResultFromErrno(error);
  }
  const std::size_t longestName = LongestName(folder.get());
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
    // A name every listing of pins passes over is no pin's: "(2)" and on
    // never are such names.
    if (IsHiddenName(candidate) || takenInOtherCase(candidate)) continue;
    error = copy.PublishAs(candidate);
    if (error == 0) {
      SyncFolder(folder.get());
      return S_OK;
    }
    if (error != EEXIST) return HResultFromErrno(error);
    // The name is taken. A pin with the same bytes that appeared meanwhile
    // makes this one unnecessary; anything else, one that cannot be read
    // among them, keeps its name.
    bool same = false;
    error = HoldsSameBytes(folder.get(), candidate.c_str(), copy.fd(),
                           static_cast<off_t>(link.bytes.size()), same);
    if (error != 0) return ListingFailure(error);
    if (same) return S_OK;
  }
  return HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
}

// What a loaded shortcut starts. The stand-in reads every identifier, so
// appId is never unknown; empty text stands for none.
ShortcutLaunch LaunchOf(const LinkFile& link) {
  return {LinkTarget(link), link.Text(link.arguments), LinkAppUserModelId(link)};
}

// The pins of a shortcut are the pinned files with its exact bytes, and the
// pinned shortcuts that make the same button: the same target, arguments
// and AppUserModelID (the shortcut may have been changed since it was
// pinned, its working folder, say). Two shortcuts to one program that differ
// in AppUserModelID or arguments are two buttons on Windows, and one's pin
// is never the other's. A shortcut with none of these has at most the pin
// under its file name, and only when the two cannot point at different
// targets: where both targets are known and differ, the pin is another
// shortcut's. Pins of other shortcuts that merely share the name ("App
// (2).lnk" beside "App.lnk") are never touched, and nothing is removed that
// does not load as a shortcut.
HRESULT Unpin(const std::string& source) {
  // A source that cannot be loaded is unpinned by its name alone.
  OpenedFile sourceFile;
  LinkFile sourceLink;
  const HRESULT loaded = LoadLinkFile(source, sourceFile, sourceLink);
  if (RanOut(loaded)) return loaded;
  const bool sourceLoaded = SUCCEEDED(loaded);
  const ShortcutLaunch button = sourceLoaded ? LaunchOf(sourceLink) : ShortcutLaunch{};
  unique_fd folder;
  if (const HRESULT hr = OpenPinFolder(MissingFolders::Fail, folder); FAILED(hr)) {
    // No pin folder holds no pins.
    return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ? HRESULT_FROM_WIN32(ERROR_NOT_FOUND)
                                                          : hr;
  }
  const std::string name = BaseName(source);

  NameList pins, sameNamed;
  HRESULT entryFailure = S_OK;
  const int listError = ForEachEntry(folder.get(), [&](std::string_view entry) {
    OpenedFile pinnedFile;
    LinkFile pinned;
    if (const HRESULT hr = LoadLinkFileAt(folder.get(), entry.data(), pinnedFile, pinned);
        FAILED(hr)) {
      if (!RanOut(hr)) return 0;  // no shortcut, or not one this caller may read
      entryFailure = hr;
      return EAGAIN;
    }
    if (sourceLoaded && pinned.bytes == sourceLink.bytes) {
      pins.Add(entry);
      return 0;
    }
    const ShortcutLaunch launch = LaunchOf(pinned);
    if (!button.target.empty() && SameTaskbarButton(launch, button)) {
      pins.Add(entry);
    } else if (SameFileName(entry, name) && (button.target.empty() || launch.target.empty() ||
                                             SameTarget(launch.target, button.target))) {
      sameNamed.Add(entry);
    }
    return 0;
  });
  if (FAILED(entryFailure)) return entryFailure;
  if (listError != 0) return ListingFailure(listError);

  const NameList& removed = pins.empty() ? sameNamed : pins;
  if (removed.empty()) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
  int removeError = 0;
  for (std::size_t i = 0; i < removed.size(); ++i) {
    if (unlinkat(folder.get(), removed.name(i).data(), 0) != 0 && removeError == 0) {
      removeError = errno;
    }
  }
  SyncFolder(folder.get());
  return HResultFromErrno(removeError);
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
