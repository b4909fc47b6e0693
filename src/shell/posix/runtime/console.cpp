#include "shell/posix/runtime/console.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cwchar>
#include <type_traits>

namespace corvane::posix {

bool CrtStream::PutWide(wchar_t c) {
  if (static_cast<std::make_unsigned_t<wchar_t>>(c) > 0xFF) return false;
  PutByte(static_cast<unsigned char>(c));
  return true;
}

void CrtStream::PutByte(unsigned char c) {
  if (c == '\n') pending_ += '\r';
  pending_ += static_cast<char>(c);
  if (buffered_ && pending_.size() >= kBufferSize) Flush();
}

std::size_t CrtStream::PutWide(const wchar_t* text, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    // Up to the buffer's size at a time, with room for a CR before each LF;
    // a buffered stream is written out whenever it holds a buffer's worth.
    const std::size_t chunk = std::min(count - done, kBufferSize);
    const std::size_t start = pending_.size();
    pending_.resize(start + 2 * chunk);
    char* out = pending_.data() + start;
    std::size_t i = 0;
    for (; i < chunk; ++i) {
      const auto c = static_cast<std::make_unsigned_t<wchar_t>>(text[done + i]);
      if (c > 0xFF) break;
      if (c == '\n') *out++ = '\r';
      *out++ = static_cast<char>(c);
    }
    pending_.resize(static_cast<std::size_t>(out - pending_.data()));
    done += i;
    if (buffered_ && pending_.size() >= kBufferSize) Flush();
    if (i < chunk) break;
  }
  return done;
}

void CrtStream::PutBytes(const char* text, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) PutByte(static_cast<unsigned char>(text[i]));
}

bool CrtStream::Flush() {
  std::size_t done = 0;
  bool ok = true;
  while (done < pending_.size()) {
    const ssize_t written = write(fd_, pending_.data() + done, pending_.size() - done);
    if (written < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    done += static_cast<std::size_t>(written);
  }
  // Bytes that could not be written are dropped, as the runtime drops them.
  pending_.clear();
  return ok;
}

void CrtStream::EndCall() {
  if (!buffered_) Flush();
}

CrtStream& CrtStdout() {
  // A console shows every character at once; a file or pipe gets a buffer.
  static CrtStream stream(STDOUT_FILENO, !isatty(STDOUT_FILENO));
  return stream;
}

CrtStream& CrtStderr() {
  static CrtStream stream(STDERR_FILENO, false);
  return stream;
}

ConsoleScope::ConsoleScope()
    : stdoutWide_(CrtStdout()),
      stderrWide_(CrtStderr()),
      stdoutNarrow_(CrtStdout()),
      savedWcout_(std::wcout.rdbuf(&stdoutWide_)),
      savedWcerr_(std::wcerr.rdbuf(&stderrWide_)),
      savedCout_(std::cout.rdbuf(&stdoutNarrow_)) {}

ConsoleScope::~ConsoleScope() {
  CrtStdout().Flush();
  CrtStderr().Flush();
  std::wcout.rdbuf(savedWcout_);
  std::wcerr.rdbuf(savedWcerr_);
  std::cout.rdbuf(savedCout_);
}

}  // namespace corvane::posix

// The runtime's fputws: characters go out one by one until one has no
// one-byte form; the ones before it stay written.
extern "C" int fputws(const wchar_t* text, std::FILE* stream) {
  using corvane::posix::CrtStream;
  CrtStream* out = stream == stdout   ? &corvane::posix::CrtStdout()
                   : stream == stderr ? &corvane::posix::CrtStderr()
                                      : nullptr;
  bool ok = true;
  for (; ok && *text != L'\0'; ++text) {
    if (out != nullptr) {
      ok = out->PutWide(*text);
    } else {
      ok = static_cast<std::make_unsigned_t<wchar_t>>(*text) <= 0xFF &&
           std::fputc(static_cast<unsigned char>(*text), stream) != EOF;
    }
  }
  if (out != nullptr) out->EndCall();
  return ok ? 0 : static_cast<int>(WEOF);
}
