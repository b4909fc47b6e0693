#include "shell/posix/text.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>

namespace corvane::posix {
namespace {

constexpr wchar_t kEscapeBase = 0xDC00;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the valid UTF-8 sequence at the start of bytes, or 0.
std::size_t ValidSequenceLength(std::string_view bytes, char32_t& codePoint) {
  const auto lead = static_cast<unsigned char>(bytes[0]);
  std::size_t length;
  char32_t minimum;
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, minimum = 0x80, codePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, minimum = 0x800, codePoint = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, minimum = 0x10000, codePoint = lead & 0x07;
  } else {
    return 0;
  }
  if (bytes.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(bytes[i]);
    if (!IsContinuation(next)) return 0;
    codePoint = (codePoint << 6) | (next & 0x3F);
  }
  if (codePoint < minimum || codePoint > 0x10FFFF) return 0;
  if (codePoint >= 0xD800 && codePoint <= 0xDFFF) return 0;
  return length;
}

// The next character of native text as DecodeNativeText decodes it; bytes
// must not be empty.
wchar_t NextNativeChar(std::string_view& bytes) {
  if (static_cast<unsigned char>(bytes[0]) < 0x80) {
    const auto ascii = static_cast<wchar_t>(bytes[0]);
    bytes.remove_prefix(1);
    return ascii;
  }
  char32_t codePoint = 0;
  const std::size_t length = ValidSequenceLength(bytes, codePoint);
  if (length == 0) {
    const auto escaped = static_cast<wchar_t>(kEscapeBase + static_cast<unsigned char>(bytes[0]));
    bytes.remove_prefix(1);
    return escaped;
  }
  bytes.remove_prefix(length);
  return static_cast<wchar_t>(codePoint);
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::wstring DecodeNativeText(std::string_view bytes) {
  // Never more characters than bytes: decode into room for that many.
  std::wstring text(bytes.size(), L'\0');
  wchar_t* out = text.data();
  while (!bytes.empty()) {
    *out++ = NextNativeChar(bytes);
  }
  text.resize(static_cast<std::size_t>(out - text.data()));
  return text;
}

namespace {

// EncodeNativeText, with backslashes turned into slashes when asked.
std::string Encode(std::wstring_view text, bool slashes) {
  // Never more than four bytes a character; ASCII, the usual case, is one.
  std::string bytes(text.size() * 4, '\0');
  char* out = bytes.data();
  for (wchar_t c : text) {
    if (slashes && c == L'\\') c = L'/';
    const auto unit = static_cast<char32_t>(c);
    if (unit < 0x80) {
      *out++ = static_cast<char>(unit);
      continue;
    }
    std::string encoded;
    if (unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF) {
      encoded += static_cast<char>(unit - kEscapeBase);
    } else if (unit > 0x10FFFF) {
      AppendUtf8(encoded, 0xFFFD);
    } else {
      AppendUtf8(encoded, unit);
    }
    out = std::copy(encoded.begin(), encoded.end(), out);
  }
  bytes.resize(static_cast<std::size_t>(out - bytes.data()));
  return bytes;
}

}  // namespace

std::string EncodeNativeText(std::wstring_view text) { return Encode(text, false); }

std::string NativePath(std::wstring_view path) { return Encode(path, true); }

std::size_t Utf16Length(std::wstring_view text) {
  std::size_t units = 0;
  for (wchar_t c : text) units += static_cast<char32_t>(c) > 0xFFFF ? 2 : 1;
  return units;
}

std::wstring_view Utf16Prefix(std::wstring_view text, std::size_t units) {
  std::size_t used = 0;
  std::size_t length = 0;
  for (wchar_t c : text) {
    const std::size_t width = static_cast<char32_t>(c) > 0xFFFF ? 2 : 1;
    if (used + width > units) break;
    used += width;
    ++length;
  }
  return text.substr(0, length);
}

std::wstring DecodeWindows1252(std::string_view bytes) {
  // 0x80..0x9F; every other byte is the code point of the same value.
  static constexpr char16_t kHighControls[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::wstring text;
  text.reserve(bytes.size());
  for (char byte : bytes) {
    const auto value = static_cast<unsigned char>(byte);
    text += value >= 0x80 && value <= 0x9F ? static_cast<wchar_t>(kHighControls[value - 0x80])
                                           : static_cast<wchar_t>(value);
  }
  return text;
}

wchar_t UpperCaseChar(wchar_t c) {
  // ASCII maps the same in every locale.
  if (c >= 0 && c < 0x80) return c >= L'a' && c <= L'z' ? c - (L'a' - L'A') : c;
  // The built-in C.UTF-8 locale has Unicode's simple case mapping. It is
  // used here only; the program's own locale stays untouched.
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  if (utf8 != static_cast<locale_t>(0)) return static_cast<wchar_t>(towupper_l(c, utf8));
  return c >= L'a' && c <= L'z' ? c - (L'a' - L'A') : c;
}

bool SameTextIgnoringCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && UpperCaseChar(a[i]) != UpperCaseChar(b[i])) return false;
  }
  return true;
}

bool LessIgnoringCase(std::wstring_view a, std::wstring_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const wchar_t upperA = UpperCaseChar(a[i]);
    const wchar_t upperB = UpperCaseChar(b[i]);
    if (upperA != upperB) return upperA < upperB;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

bool LessIgnoringCaseNative(std::string_view a, std::string_view b) {
  std::string_view restA = a, restB = b;
  while (!restA.empty() && !restB.empty()) {
    const wchar_t charA = NextNativeChar(restA);
    const wchar_t charB = NextNativeChar(restB);
    if (charA == charB) continue;
    const wchar_t upperA = UpperCaseChar(charA);
    const wchar_t upperB = UpperCaseChar(charB);
    if (upperA != upperB) return upperA < upperB;
  }
  // Equal without regard to case as far as the shorter one goes.
  if (restA.empty() != restB.empty()) return restA.empty();
  restA = a, restB = b;
  while (!restA.empty()) {
    const wchar_t charA = NextNativeChar(restA);
    const wchar_t charB = NextNativeChar(restB);
    if (charA != charB) return charA < charB;
  }
  return false;
}

}  // namespace corvane::posix
