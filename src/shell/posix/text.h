// Text at the stand-in's edges: the bytes of argv, environment variables and
// file names on one side, wide strings on the other.
#pragma once

#include <string>
#include <string_view>

namespace corvane::posix {

// Decodes UTF-8. A byte that is not part of a valid sequence becomes
// U+DC80..U+DCFF (its value plus 0xDC00), so no byte is lost.
std::wstring DecodeNativeText(std::string_view bytes);

// The inverse of DecodeNativeText: U+DC80..U+DCFF become their original
// byte again, every other character its UTF-8 form.
std::string EncodeNativeText(std::wstring_view text);

// A Windows-style path as a native file name: every backslash becomes a
// slash, then the text is encoded as EncodeNativeText does.
std::string NativePath(std::wstring_view path);

// The number of UTF-16 units the text takes on Windows.
std::size_t Utf16Length(std::wstring_view text);

}  // namespace corvane::posix
