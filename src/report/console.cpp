#include "report/console.h"

#include <cstdio>
#include <cwchar>

namespace corvane {

void RawErrorStream(const wchar_t* message) { std::fputws(message, stderr); }

void WriteHResultLine(std::wostream& stream, const wchar_t* message, HRESULT hr) {
  stream << message;
  stream.setf(std::ios_base::hex, std::ios_base::basefield);
  // HRESULT is a 32-bit signed integer; in hexadecimal the stream prints
  // its 32 bits as an unsigned value, with no prefix and no padding.
  stream << hr << std::endl;
}

}  // namespace corvane
