#include "shell/posix/lnk/bytes.h"

namespace corvane::posix {
namespace {

// The UTF-16 code units of a wide string (characters above U+FFFF become
// surrogate pairs).
std::u16string ToUtf16(std::wstring_view text) {
  std::u16string units;
  units.reserve(text.size());
  for (wchar_t c : text) {
    const auto code = static_cast<std::uint32_t>(c);
    if (code >= 0x10000 && code <= 0x10FFFF) {
      units.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(code));
    }
  }
  return units;
}

}  // namespace

bool ReadUtf16(Bytes bytes, std::size_t offset, std::size_t units, std::wstring& text) {
  if (units > bytes.size() / 2 || !Fits(bytes.size(), offset, units * 2)) return false;
  text.clear();
  return AppendUtf16Text(bytes, offset, units, text);
}

bool AppendUtf16Text(Bytes bytes, std::size_t offset, std::size_t units, std::wstring& text) {
  if (units > bytes.size() / 2 || !Fits(bytes.size(), offset, units * 2)) return false;
  // At most one character a unit: written in place, then cut to length.
  const std::size_t start = text.size();
  text.resize(start + units);
  wchar_t* out = text.data() + start;
  const std::uint8_t* in = bytes.data() + offset;
  for (std::size_t i = 0; i < units; ++i) {
    const auto unit = static_cast<std::uint16_t>(in[2 * i] | in[2 * i + 1] << 8);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
      const auto next = static_cast<std::uint16_t>(in[2 * i + 2] | in[2 * i + 3] << 8);
      if (next >= 0xDC00 && next <= 0xDFFF) {
        *out++ = static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
        ++i;
        continue;
      }
    }
    *out++ = static_cast<wchar_t>(unit);
  }
  text.resize(static_cast<std::size_t>(out - text.data()));
  return true;
}

std::size_t AppendUtf16(std::vector<std::uint8_t>& out, std::wstring_view text) {
  const std::u16string units = ToUtf16(text);
  for (char16_t unit : units) AppendU16(out, unit);
  return units.size();
}

}  // namespace corvane::posix
