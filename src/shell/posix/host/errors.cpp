#include "shell/posix/host/errors.h"

#include <sys/stat.h>

#include <cerrno>

namespace corvane::posix {

HRESULT HResultFromErrno(int error) {
  switch (error) {
    case 0:
      return S_OK;
    case ENOENT:
      return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    case ENOTDIR:
      return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    case EACCES:
    case EPERM:
    case EROFS:
      return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    case ENOMEM:
      return E_OUTOFMEMORY;
    case EMFILE:
    case ENFILE:
      return HRESULT_FROM_WIN32(ERROR_TOO_MANY_OPEN_FILES);
    case EEXIST:
      return HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
    case ENAMETOOLONG:
      return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    case EISDIR:
      return HRESULT_FROM_WIN32(ERROR_DIRECTORY);
    case EBUSY:
    case ETXTBSY:
      return HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION);
    case EIO:
      return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
    case EINVAL:
      return E_INVALIDARG;
    default:
      return E_FAIL;
  }
}

HRESULT HResultFromErrnoForPath(int error, const std::string& path) {
  if (error == ENOENT) {
    const std::size_t slash = path.find_last_of('/');
    struct stat status;
    if (slash != std::string::npos && slash > 0 &&
        stat(path.substr(0, slash).c_str(), &status) != 0) {
      return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    }
  }
  return HResultFromErrno(error);
}

}  // namespace corvane::posix
