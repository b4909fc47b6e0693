#include "shell/posix/objects/load_link.h"

#include <utility>
#include <vector>

#include "shell/posix/host/errors.h"
#include "shell/posix/lnk/layout.h"

namespace corvane::posix {
namespace {

// Whatever rule of the format a file breaks, the link object calls it
// corrupt.
const HRESULT kFileCorrupt = HRESULT_FROM_WIN32(ERROR_FILE_CORRUPT);

// Reads and parses a file that opened with openOutcome. A file that does
// not start as a shortcut is read no further than its header.
HRESULT Load(int openOutcome, const std::string& path, const OpenedFile& file, LinkFile& link) {
  if (openOutcome != 0) return FileOutcomeHResult(openOutcome, path);
  std::vector<std::uint8_t> bytes;
  int outcome = file.ReadStart(layout::header::kSize, bytes);
  if (outcome == 0 && !IsLinkHeader(bytes)) return kFileCorrupt;
  if (outcome == 0) outcome = file.ReadAll(layout::kMaximumLinkFileSize, bytes);
  if (outcome != 0) return FileOutcomeHResult(outcome, path);
  return ParseLinkFile(std::move(bytes), link) == Refusal::None ? S_OK : kFileCorrupt;
}

}  // namespace

HRESULT LoadLinkFile(const std::string& path, OpenedFile& file, LinkFile& link) {
  return Load(file.Open(path), path, file, link);
}

HRESULT LoadLinkFileToReplace(const std::string& path, OpenedFile& file, LinkFile& link) {
  return Load(file.OpenToReplace(path), path, file, link);
}

HRESULT LoadLinkFileAt(int folderFd, const char* name, OpenedFile& file, LinkFile& link) {
  return Load(file.OpenAt(folderFd, name), name, file, link);
}

HRESULT FileOutcomeHResult(int outcome, const std::string& path) {
  switch (outcome) {
    case kIsFolder:  // Windows opens no folder as a file
      return E_ACCESSDENIED;
    case kNotRegularFile:  // holds no format at all
      return kFileCorrupt;
    case kFileTooLarge:
      return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    case kFileBusy:
    case kFileReplaced:
      return HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION);
    case kReadBudgetSpent:
      return HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_QUOTA);
    default:
      return HResultFromErrnoForPath(outcome, path);
  }
}

}  // namespace corvane::posix
