#include "shell/posix/objects/load_link.h"

#include <utility>
#include <vector>

#include "shell/posix/host/errors.h"
#include "shell/posix/lnk/layout.h"

namespace corvane::posix {
namespace {

// Reads and parses a file that opened with openError; every outcome as one
// HRESULT. openHResult maps an errno value from the open.
template <typename OpenHResult>
HRESULT Load(int openError, OpenHResult openHResult, const OpenedFile& file, LinkFile& link) {
  // Windows opens no folder as a file: access denied.
  if (openError == kIsFolder) return E_ACCESSDENIED;
  // Whatever rule of the format a file breaks, the link object calls it
  // corrupt; a file that is not regular holds no format at all.
  const HRESULT corrupt = HRESULT_FROM_WIN32(ERROR_FILE_CORRUPT);
  if (openError == kNotRegularFile) return corrupt;
  if (openError != 0) return openHResult(openError);
  std::vector<std::uint8_t> bytes;
  const int readError = file.ReadAll(layout::kMaximumLinkFileSize, bytes);
  if (readError == kFileTooLarge) return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
  if (readError != 0) return HResultFromErrno(readError);
  return ParseLinkFile(std::move(bytes), link) == Refusal::None ? S_OK : corrupt;
}

}  // namespace

HRESULT LoadLinkFile(const std::string& path, OpenedFile& file, LinkFile& link) {
  return Load(
      file.Open(path), [&](int error) { return HResultFromErrnoForPath(error, path); }, file, link);
}

HRESULT LoadLinkFileAt(int folderFd, const char* name, OpenedFile& file, LinkFile& link) {
  return Load(file.OpenAt(folderFd, name), HResultFromErrno, file, link);
}

}  // namespace corvane::posix
