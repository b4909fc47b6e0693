// The kernel's environment, clock and wait functions over POSIX. Lengths
// count the wide characters of the caller's buffer.
#include "shell/posix/sdk/system.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>

#include "shell/posix/host/errors.h"
#include "shell/posix/host/native_text.h"

DWORD GetEnvironmentVariableW(LPCWSTR lpName, LPWSTR lpBuffer, DWORD nSize) {
  if (lpName == nullptr) return 0;
  return corvane::posix::FailOnOutOfMemory(DWORD{0}, [&]() -> DWORD {
    const char* value = std::getenv(corvane::posix::EncodeNativeText(lpName).c_str());
    if (value == nullptr) return 0;
    const std::wstring text = corvane::posix::DecodeNativeText(value);
    if (lpBuffer == nullptr || text.size() >= nSize) return static_cast<DWORD>(text.size() + 1);
    text.copy(lpBuffer, text.size());
    lpBuffer[text.size()] = L'\0';
    return static_cast<DWORD>(text.size());
  });
}

ULONGLONG GetTickCount64() {
  timespec now = {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<ULONGLONG>(now.tv_sec) * 1000 + static_cast<ULONGLONG>(now.tv_nsec) / 1000000;
}

void Sleep(DWORD dwMilliseconds) {
  timespec left = {static_cast<time_t>(dwMilliseconds / 1000),
                   static_cast<long>(dwMilliseconds % 1000) * 1000000};
  // A signal ends nanosleep early; it goes on with what is left.
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}
