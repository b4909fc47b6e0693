#include "shell/posix/host/native_text.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

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

std::size_t DecodeNativeTextTo(std::string_view bytes, wchar_t* out) {
  wchar_t* const start = out;
  while (!bytes.empty()) {
    // A run of ASCII goes across as it is.
    std::size_t ascii = 0;
    while (ascii < bytes.size() && static_cast<unsigned char>(bytes[ascii]) < 0x80) {
      out[ascii] = static_cast<wchar_t>(bytes[ascii]);
      ++ascii;
    }
    out += ascii;
    bytes.remove_prefix(ascii);
    if (!bytes.empty()) *out++ = NextNativeChar(bytes);
  }
  return static_cast<std::size_t>(out - start);
}

std::size_t NextCharacterSize(std::string_view bytes) {
  std::string_view rest = bytes;
  NextNativeChar(rest);
  return bytes.size() - rest.size();
}

std::size_t WholeCharactersPrefix(std::string_view bytes, std::size_t limit) {
  std::size_t size = 0;
  while (size < bytes.size()) {
    const std::size_t next = size + NextCharacterSize(bytes.substr(size));
    if (next > limit) break;
    size = next;
  }
  return size;
}

std::wstring DecodeNativeText(std::string_view bytes) {
  // Never more characters than bytes: decode into room for that many.
  std::wstring text(bytes.size(), L'\0');
  text.resize(DecodeNativeTextTo(bytes, text.data()));
  return text;
}

std::string EncodeNativeText(std::wstring_view text) {
  // ASCII, the usual case, is one byte a character: the text gets room for
  // that many, and for four bytes a character from the first that is not.
  std::string bytes(text.size(), '\0');
  const wchar_t* const in = text.data();
  char* const out = bytes.data();
  std::size_t i = 0;
  for (; i < text.size(); ++i) {
    const auto unit = static_cast<char32_t>(in[i]);
    if (unit >= 0x80) break;
    out[i] = static_cast<char>(unit);
  }
  if (i == text.size()) return bytes;
  bytes.resize(i);
  bytes.reserve(i + (text.size() - i) * 4);
  for (; i < text.size(); ++i) {
    const auto unit = static_cast<char32_t>(text[i]);
    if (unit < 0x80) {
      bytes += static_cast<char>(unit);
    } else if (unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF) {
      bytes += static_cast<char>(unit - kEscapeBase);
    } else if (unit > 0x10FFFF) {
      AppendUtf8(bytes, 0xFFFD);
    } else {
      AppendUtf8(bytes, unit);
    }
  }
  return bytes;
}

std::string NativePath(std::wstring_view path) {
  // Only a backslash encodes to the byte 0x5C: no byte of a longer sequence,
  // nor an escaped byte, is below 0x80.
  std::string native = EncodeNativeText(path);
  std::replace(native.begin(), native.end(), '\\', '/');
  return native;
}

std::size_t Utf16Length(std::wstring_view text) {
  std::size_t units = 0;
  for (wchar_t c : text) units += static_cast<char32_t>(c) > 0xFFFF ? 2 : 1;
  return units;
}

namespace {

// The longest prefix of the text that fits in `units` UTF-16 units, never
// ending between the two halves of a surrogate pair.
std::wstring_view Utf16Prefix(std::wstring_view text, std::size_t units) {
  // No character takes more than two units.
  if (text.size() <= units / 2) return text;
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

}  // namespace

void CopyUtf16Prefix(std::wstring_view text, wchar_t* buffer, std::size_t units) {
  const std::wstring_view fitting = Utf16Prefix(text, units - 1);
  fitting.copy(buffer, fitting.size());
  buffer[fitting.size()] = L'\0';
}

std::wstring DecodeWindows1252(std::string_view bytes) {
  std::wstring text;
  AppendWindows1252(bytes, text);
  return text;
}

void AppendWindows1252(std::string_view bytes, std::wstring& text) {
  // 0x80..0x9F; every other byte is the code point of the same value.
  static constexpr char16_t kHighControls[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  const std::size_t start = text.size();
  text.resize(start + bytes.size());
  wchar_t* out = text.data() + start;
  for (char byte : bytes) {
    const auto value = static_cast<unsigned char>(byte);
    *out++ = value >= 0x80 && value <= 0x9F ? static_cast<wchar_t>(kHighControls[value - 0x80])
                                            : static_cast<wchar_t>(value);
  }
}

wchar_t UpperCaseNonAscii(wchar_t c) {
  if (c >= 0 && c < 0x80) return c >= L'a' && c <= L'z' ? c - (L'a' - L'A') : c;
  // Windows' case table has an entry for each UTF-16 unit: a character
  // beyond U+FFFF, a surrogate pair, has no other case.
  if (static_cast<char32_t>(c) > 0xFFFF) return c;
  // The built-in C.UTF-8 locale has Unicode's simple case mapping. It is
  // used here only; the program's own locale stays untouched.
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  if (utf8 != static_cast<locale_t>(0)) return static_cast<wchar_t>(towupper_l(c, utf8));
  return c >= L'a' && c <= L'z' ? c - (L'a' - L'A') : c;
}

namespace {

// Where a character falls in the order of UTF-16 code units, in which NTFS
// compares names: a character beyond U+FFFF is a surrogate pair, so it comes
// before U+E000..U+FFFF.
std::uint32_t Utf16Order(wchar_t c) {
  const auto code = static_cast<std::uint32_t>(c);
  if (code <= 0xFFFF) return code << 16;
  return (0xD800 + ((code - 0x10000) >> 10)) << 16 | (0xDC00 + ((code - 0x10000) & 0x3FF));
}

}  // namespace

bool SameTextIgnoringCaseNative(std::string_view a, std::string_view b) {
  while (!a.empty() && !b.empty()) {
    const wchar_t charA = NextNativeChar(a);
    const wchar_t charB = NextNativeChar(b);
    if (charA != charB && UpperCaseChar(charA) != UpperCaseChar(charB)) return false;
  }
  return a.empty() && b.empty();
}

bool LessIgnoringCaseNative(std::string_view a, std::string_view b) {
  std::string_view restA = a, restB = b;
  // Equal ASCII bytes are equal characters: a common ASCII start is passed
  // over eight bytes at a time.
  while (restA.size() >= 8 && restB.size() >= 8) {
    std::uint64_t wordA, wordB;
    std::memcpy(&wordA, restA.data(), 8);
    std::memcpy(&wordB, restB.data(), 8);
    if (wordA != wordB || (wordA & 0x8080808080808080u) != 0) break;
    restA.remove_prefix(8);
    restB.remove_prefix(8);
  }
  while (!restA.empty() && !restB.empty()) {
    // Two ASCII bytes are two characters: compared without decoding.
    const auto byteA = static_cast<unsigned char>(restA[0]);
    const auto byteB = static_cast<unsigned char>(restB[0]);
    if ((byteA | byteB) < 0x80) {
      restA.remove_prefix(1);
      restB.remove_prefix(1);
      if (byteA == byteB) continue;
      const int upperA = byteA >= 'a' && byteA <= 'z' ? byteA - ('a' - 'A') : byteA;
      const int upperB = byteB >= 'a' && byteB <= 'z' ? byteB - ('a' - 'A') : byteB;
      if (upperA != upperB) return upperA < upperB;
      continue;
    }
    const wchar_t charA = NextNativeChar(restA);
    const wchar_t charB = NextNativeChar(restB);
    if (charA == charB) continue;
    const wchar_t upperA = UpperCaseChar(charA);
    const wchar_t upperB = UpperCaseChar(charB);
    if (upperA != upperB) return Utf16Order(upperA) < Utf16Order(upperB);
  }
  // Equal without regard to case as far as the shorter one goes.
  if (restA.empty() != restB.empty()) return restA.empty();
  restA = a, restB = b;
  while (!restA.empty()) {
    const wchar_t charA = NextNativeChar(restA);
    const wchar_t charB = NextNativeChar(restB);
    if (charA != charB) return Utf16Order(charA) < Utf16Order(charB);
  }
  return false;
}

}  // namespace corvane::posix
