// Text at the stand-in's edges: the bytes of argv, environment variables and
// file names on one side, wide strings on the other.
#pragma once

#include <string>
#include <string_view>

namespace corvane::posix {

// Decodes UTF-8. A byte that is not part of a valid sequence becomes
// U+DC80..U+DCFF (its value plus 0xDC00), so no byte is lost.
std::wstring DecodeNativeText(std::string_view bytes);

// DecodeNativeText into out[0..], which must have room for bytes.size()
// characters (never more are needed); returns how many it wrote.
std::size_t DecodeNativeTextTo(std::string_view bytes, wchar_t* out);

// The size in bytes of the first character of native text as
// DecodeNativeText reads it (a byte of no valid sequence is a character of
// its own); bytes must not be empty.
std::size_t NextCharacterSize(std::string_view bytes);

// The size in bytes of the longest start of native text, at most limit
// bytes, that ends between two characters as DecodeNativeText reads them.
std::size_t WholeCharactersPrefix(std::string_view bytes, std::size_t limit);

// The inverse of DecodeNativeText: U+DC80..U+DCFF become their original
// byte again, every other character its UTF-8 form.
std::string EncodeNativeText(std::wstring_view text);

// A Windows-style path as a native file name: every backslash becomes a
// slash, then the text is encoded as EncodeNativeText does.
std::string NativePath(std::wstring_view path);

// The number of UTF-16 units the text takes on Windows.
std::size_t Utf16Length(std::wstring_view text);

// Copies into a caller's buffer of `units` UTF-16 units (at least one) as
// much of the text as fits with its terminator, never ending between the two
// halves of a surrogate pair, and terminates it.
void CopyUtf16Prefix(std::wstring_view text, wchar_t* buffer, std::size_t units);

// Decodes text in the Windows-1252 code page, the stand-in's ANSI code page.
// The five bytes that page leaves undefined become U+0081, U+008D, U+008F,
// U+0090 and U+009D, as Windows decodes them.
std::wstring DecodeWindows1252(std::string_view bytes);

// DecodeWindows1252, appending the text to what `text` holds.
void AppendWindows1252(std::string_view bytes, std::wstring& text);

// UpperCaseChar for characters beyond ASCII.
wchar_t UpperCaseNonAscii(wchar_t c);

// The character in upper case by Unicode's simple case mapping, the way
// Windows compares file names without regard to case (a character beyond
// U+FFFF keeps its case there).
inline wchar_t UpperCaseChar(wchar_t c) {
  // ASCII maps the same in every locale.
  if (c >= 0 && c < 0x80) return c >= L'a' && c <= L'z' ? c - (L'a' - L'A') : c;
  return UpperCaseNonAscii(c);
}

// Whether two native names, as DecodeNativeText decodes them, are equal
// without regard to case, character by character. Decodes as it goes
// instead of into new strings.
bool SameTextIgnoringCaseNative(std::string_view a, std::string_view b);

// Orders native names, as DecodeNativeText decodes them, as NTFS lists a
// folder: by their upper-case form, then (for names that differ only in
// case) by the text itself, both compared in UTF-16 code units. Decodes as
// it goes instead of into new strings.
bool LessIgnoringCaseNative(std::string_view a, std::string_view b);

}  // namespace corvane::posix
