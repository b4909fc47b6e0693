// The Windows C runtime's console output, as the program sees it there:
// stdout and stderr in text mode under the default "C" locale.
//
// - A wide character below U+0100 becomes the one byte of the same value;
//   any other character fails the put.
// - Every line feed that reaches stdout or stderr is written as CR LF.
// - stdout is buffered (a file or pipe) and shared by its wide and narrow
//   streams, so their text keeps its order; stderr is unbuffered.
//
// ConsoleScope hands std::wcout, std::wcerr and std::cout stream buffers
// with these rules, and fputws on stdout and stderr follows them too.
#pragma once

#include <cstddef>
#include <cstdio>
#include <ios>
#include <iostream>
#include <streambuf>
#include <string>

namespace corvane::posix {

// One of the runtime's two standard output streams over a file descriptor.
class CrtStream {
 public:
  CrtStream(int fd, bool buffered) : fd_(fd), buffered_(buffered) {}
  CrtStream(const CrtStream&) = delete;
  CrtStream& operator=(const CrtStream&) = delete;

  // Converts one wide character; false when it has no one-byte form.
  bool PutWide(wchar_t c);
  void PutByte(unsigned char c);
  // Converts wide characters up to the first without a one-byte form;
  // returns how many were put.
  std::size_t PutWide(const wchar_t* text, std::size_t count);
  void PutBytes(const char* text, std::size_t count);
  // Writes out what the buffer holds; false when the write failed.
  bool Flush();
  // Ends a call on an unbuffered stream: what it wrote goes out now.
  void EndCall();

  int fd() const { return fd_; }

 private:
  static constexpr std::size_t kBufferSize = 4096;
  int fd_;
  bool buffered_;
  std::string pending_;
};

CrtStream& CrtStdout();
CrtStream& CrtStderr();

// A stream buffer with no buffer of its own: each character goes straight
// into the runtime stream, a wide one as through fputwc, a narrow one as
// through fputc.
template <typename Char>
class ConsoleBuffer : public std::basic_streambuf<Char> {
 public:
  using int_type = typename std::basic_streambuf<Char>::int_type;
  using traits_type = typename std::basic_streambuf<Char>::traits_type;

  explicit ConsoleBuffer(CrtStream& out) : out_(out) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const bool ok = Put(traits_type::to_char_type(c));
    out_.EndCall();
    return ok ? c : traits_type::eof();
  }
  std::streamsize xsputn(const Char* s, std::streamsize n) override {
    if (n <= 0) return 0;
    std::streamsize done = n;
    if constexpr (sizeof(Char) == 1) {
      out_.PutBytes(s, static_cast<std::size_t>(n));
    } else {
      done = static_cast<std::streamsize>(out_.PutWide(s, static_cast<std::size_t>(n)));
    }
    out_.EndCall();
    return done;
  }
  int sync() override { return out_.Flush() ? 0 : -1; }

 private:
  bool Put(Char c) {
    if constexpr (sizeof(Char) == 1) {
      out_.PutByte(static_cast<unsigned char>(c));
      return true;
    } else {
      return out_.PutWide(c);
    }
  }

  CrtStream& out_;
};

using WideConsoleBuffer = ConsoleBuffer<wchar_t>;
using NarrowConsoleBuffer = ConsoleBuffer<char>;

// Gives std::wcout, std::wcerr and std::cout the runtime's behaviour for
// its lifetime; on the way out flushes stdout, as the runtime does at exit,
// and gives the streams their own buffers back.
class ConsoleScope {
 public:
  ConsoleScope();
  ConsoleScope(const ConsoleScope&) = delete;
  ConsoleScope& operator=(const ConsoleScope&) = delete;
  ~ConsoleScope();

 private:
  WideConsoleBuffer stdoutWide_;
  WideConsoleBuffer stderrWide_;
  NarrowConsoleBuffer stdoutNarrow_;
  std::wstreambuf* savedWcout_;
  std::wstreambuf* savedWcerr_;
  std::streambuf* savedCout_;
};

}  // namespace corvane::posix
