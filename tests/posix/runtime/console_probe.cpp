// A small program over the stand-in's entry and console that writes through
// the program's own output channels, as its arguments say, so that a test
// can look at the exact bytes a real process puts out.
//
//   info TEXT     TEXT on InfoStream, no line end
//   infoend       std::endl on InfoStream
//   error TEXT    TEXT on ErrorStream, no line end
//   errorend      std::endl on ErrorStream
//   narrow TEXT   TEXT's original bytes on NarrowInfoStream, no line end
//   narrowend     std::endl on NarrowInfoStream
//   raw TEXT      TEXT and a line feed through RawErrorStream, in one call
//   hresult HEX   WriteHResultLine(ErrorStream(), L"X HRESULT: 0x", HEX)
//   vartype N     N as an unsigned short on ErrorStream, then std::endl
//   args ...      each remaining argument on its own InfoStream line, as
//                 its characters' code points in lower-case hex
//   exit N        returns N from wmain at once
//
// Without an exit word wmain returns 0; a malformed script returns 99.
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <string_view>

#include "report/console.h"
#include "shell/entry.h"
#include "shell/posix/host/native_text.h"

namespace {

constexpr int kBadScript = 99;

std::wstring CodePoints(std::wstring_view argument) {
  std::wstring line;
  for (const wchar_t c : argument) {
    wchar_t digits[16];
    std::swprintf(digits, 16, L"%x", static_cast<unsigned>(c));
    if (!line.empty()) line += L' ';
    line += digits;
  }
  return line;
}

}  // namespace

extern "C" int wmain(int argc, wchar_t* argv[]) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring_view word = argv[i];
    const bool hasOperand = i + 1 < argc;
    if (word == L"infoend") {
      corvane::InfoStream() << std::endl;
    } else if (word == L"errorend") {
      corvane::ErrorStream() << std::endl;
    } else if (word == L"narrowend") {
      corvane::NarrowInfoStream() << std::endl;
    } else if (word == L"args") {
      for (++i; i < argc; ++i) corvane::InfoStream() << CodePoints(argv[i]) << std::endl;
      return 0;
    } else if (!hasOperand) {
      return kBadScript;
    } else if (const wchar_t* operand = argv[++i]; word == L"info") {
      corvane::InfoStream() << operand;
    } else if (word == L"error") {
      corvane::ErrorStream() << operand;
    } else if (word == L"narrow") {
      corvane::NarrowInfoStream() << corvane::posix::EncodeNativeText(operand);
    } else if (word == L"raw") {
      corvane::RawErrorStream((std::wstring(operand) + L"\n").c_str());
    } else if (word == L"hresult") {
      const auto bits = static_cast<std::uint32_t>(std::wcstoul(operand, nullptr, 16));
      corvane::WriteHResultLine(corvane::ErrorStream(), L"X HRESULT: 0x", HResultFromBits(bits));
    } else if (word == L"vartype") {
      const auto type = static_cast<unsigned short>(std::wcstoul(operand, nullptr, 10));
      corvane::ErrorStream() << type << std::endl;
    } else if (word == L"exit") {
      return static_cast<int>(std::wcstol(operand, nullptr, 10));
    } else {
      return kBadScript;
    }
  }
  return 0;
}
