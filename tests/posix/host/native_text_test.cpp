// Text at the stand-in's edges: native bytes (argv, environment, file names)
// to wide strings and back, and the UTF-16 length Windows would count.
#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include "shell/posix/host/native_text.h"

namespace {

using corvane::posix::DecodeNativeText;
using corvane::posix::DecodeNativeTextTo;
using corvane::posix::EncodeNativeText;
using corvane::posix::LessIgnoringCaseNative;
using corvane::posix::NativePath;
using corvane::posix::SameTextIgnoringCaseNative;
using corvane::posix::Utf16Length;

// What CopyUtf16Prefix copies into a buffer of units and a terminator.
std::wstring Utf16Prefix(std::wstring_view text, std::size_t units) {
  std::wstring buffer(units + 1, L'?');
  corvane::posix::CopyUtf16Prefix(text, buffer.data(), units + 1);
  return buffer.c_str();
}

// The wide character that stands for a byte that is not valid UTF-8.
wchar_t Escaped(unsigned char byte) { return static_cast<wchar_t>(0xDC00 + byte); }

TEST(PosixNativeText, AsciiPassesThrough) {
  EXPECT_EQ(DecodeNativeText("App.lnk"), L"App.lnk");
  EXPECT_EQ(EncodeNativeText(L"App.lnk"), "App.lnk");
  EXPECT_EQ(DecodeNativeText(""), L"");
  EXPECT_EQ(EncodeNativeText(L""), "");
}

TEST(PosixNativeText, EmbeddedNulIsKept) {
  const std::string bytes("a\0b", 3);
  EXPECT_EQ(DecodeNativeText(bytes), std::wstring(L"a\0b", 3));
  EXPECT_EQ(EncodeNativeText(std::wstring(L"a\0b", 3)), bytes);
}

TEST(PosixNativeText, MultiByteSequencesDecodeToOneCharacterEach) {
  EXPECT_EQ(DecodeNativeText("caf\xc3\xa9"), L"caf\u00e9");
  EXPECT_EQ(DecodeNativeText("\xc4\x80"), L"\u0100");
  EXPECT_EQ(DecodeNativeText("\xdf\xbf"), L"\u07ff");
  EXPECT_EQ(DecodeNativeText("\xe0\xa0\x80"), L"\u0800");
  EXPECT_EQ(DecodeNativeText("\xe2\x82\xac"), L"\u20ac");
  EXPECT_EQ(DecodeNativeText("\xef\xbf\xbd"), L"\ufffd");
  EXPECT_EQ(DecodeNativeText("\xd0\x9f\xd1\x80\xd0\xb8"), L"\u041f\u0440\u0438");

  EXPECT_EQ(EncodeNativeText(L"caf\u00e9"), "caf\xc3\xa9");
  EXPECT_EQ(EncodeNativeText(L"\u20ac"), "\xe2\x82\xac");
  EXPECT_EQ(EncodeNativeText(L"\u041f\u0440\u0438"), "\xd0\x9f\xd1\x80\xd0\xb8");
}

TEST(PosixNativeText, FourByteSequenceIsOneWideCharacterButTwoUtf16Units) {
  const std::wstring grin = DecodeNativeText("\xf0\x9f\x98\x80");
  ASSERT_EQ(grin.size(), 1u);
  EXPECT_EQ(static_cast<char32_t>(grin[0]), U'\U0001F600');
  EXPECT_EQ(Utf16Length(grin), 2u);
  EXPECT_EQ(EncodeNativeText(grin), "\xf0\x9f\x98\x80");

  const std::wstring highest = DecodeNativeText("\xf4\x8f\xbf\xbf");
  ASSERT_EQ(highest.size(), 1u);
  EXPECT_EQ(static_cast<char32_t>(highest[0]), U'\U0010FFFF');
  EXPECT_EQ(EncodeNativeText(highest), "\xf4\x8f\xbf\xbf");
}

struct InvalidBytes {
  const char* what;
  std::string bytes;
  std::wstring text;
};

void PrintTo(const InvalidBytes& sample, std::ostream* out) { *out << sample.what; }

class PosixNativeTextInvalid : public ::testing::TestWithParam<InvalidBytes> {};

TEST_P(PosixNativeTextInvalid, EachBadByteIsEscapedAndComesBack) {
  const InvalidBytes& sample = GetParam();
  const std::wstring text = DecodeNativeText(sample.bytes);
  EXPECT_EQ(text, sample.text) << sample.what;
  EXPECT_EQ(EncodeNativeText(text), sample.bytes) << sample.what;
}

INSTANTIATE_TEST_SUITE_P(
    Posix, PosixNativeTextInvalid,
    ::testing::Values(
        InvalidBytes{"lone continuation", "a\x80z", {L'a', Escaped(0x80), L'z'}},
        InvalidBytes{"last continuation", "\xbf", {Escaped(0xBF)}},
        InvalidBytes{"two-byte overlong slash", "\xc0\xaf", {Escaped(0xC0), Escaped(0xAF)}},
        InvalidBytes{"two-byte overlong", "\xc1\xbf", {Escaped(0xC1), Escaped(0xBF)}},
        InvalidBytes{
            "three-byte overlong", "\xe0\x80\xaf", {Escaped(0xE0), Escaped(0x80), Escaped(0xAF)}},
        InvalidBytes{"four-byte overlong",
                     "\xf0\x8f\xbf\xbf",
                     {Escaped(0xF0), Escaped(0x8F), Escaped(0xBF), Escaped(0xBF)}},
        InvalidBytes{
            "truncated at the end", "ab\xe2\x82", {L'a', L'b', Escaped(0xE2), Escaped(0x82)}},
        InvalidBytes{"truncated before ASCII", "\xe2\x82z", {Escaped(0xE2), Escaped(0x82), L'z'}},
        InvalidBytes{"truncated before a valid character",
                     "\xf0\x9f\xc3\xa9",
                     {Escaped(0xF0), Escaped(0x9F), L'\u00e9'}},
        InvalidBytes{"lead byte alone", "\xc3", {Escaped(0xC3)}},
        InvalidBytes{"high surrogate encoded",
                     "\xed\xa0\x80",
                     {Escaped(0xED), Escaped(0xA0), Escaped(0x80)}},
        InvalidBytes{
            "low surrogate encoded", "\xed\xbf\xbf", {Escaped(0xED), Escaped(0xBF), Escaped(0xBF)}},
        // Must not decode to the very characters that stand for bad bytes.
        InvalidBytes{"escape character encoded",
                     "\xed\xb2\x80",
                     {Escaped(0xED), Escaped(0xB2), Escaped(0x80)}},
        InvalidBytes{"above U+10FFFF",
                     "\xf4\x90\x80\x80",
                     {Escaped(0xF4), Escaped(0x90), Escaped(0x80), Escaped(0x80)}},
        InvalidBytes{"lead byte F5",
                     "\xf5\x80\x80\x80",
                     {Escaped(0xF5), Escaped(0x80), Escaped(0x80), Escaped(0x80)}},
        InvalidBytes{"byte FE", "\xfe", {Escaped(0xFE)}},
        InvalidBytes{"byte FF", "x\xffy", {L'x', Escaped(0xFF), L'y'}},
        InvalidBytes{
            "Windows-1251 text", "\xcf\xf0\xe8", {Escaped(0xCF), Escaped(0xF0), Escaped(0xE8)}}),
    [](const ::testing::TestParamInfo<InvalidBytes>& info) {
      std::string name;
      for (const char c : std::string(info.param.what)) {
        if (std::isalnum(static_cast<unsigned char>(c))) name += c;
      }
      return name;
    });

TEST(PosixNativeText, EveryByteOnItsOwnRoundTrips) {
  for (int byte = 0; byte < 256; ++byte) {
    const std::string bytes(1, static_cast<char>(byte));
    const std::wstring text = DecodeNativeText(bytes);
    ASSERT_EQ(text.size(), 1u) << byte;
    EXPECT_EQ(static_cast<char32_t>(text[0]),
              static_cast<char32_t>(byte < 0x80 ? byte : 0xDC00 + byte))
        << byte;
    EXPECT_EQ(EncodeNativeText(text), bytes) << byte;
  }
}

TEST(PosixNativeText, EveryTwoByteStringRoundTrips) {
  for (int first = 0; first < 256; ++first) {
    for (int second = 0; second < 256; ++second) {
      const std::string bytes{static_cast<char>(first), static_cast<char>(second)};
      ASSERT_EQ(EncodeNativeText(DecodeNativeText(bytes)), bytes) << first << " " << second;
    }
  }
}

TEST(PosixNativeText, MixturesOfBoundaryBytesRoundTrip) {
  const std::vector<unsigned char> boundary = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F,
                                               0xA0, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF, 0xE0,
                                               0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
  for (unsigned char a : boundary) {
    for (unsigned char b : boundary) {
      for (unsigned char c : boundary) {
        for (unsigned char d : boundary) {
          const std::string bytes{static_cast<char>(a), static_cast<char>(b), static_cast<char>(c),
                                  static_cast<char>(d)};
          const std::wstring text = DecodeNativeText(bytes);
          ASSERT_EQ(EncodeNativeText(text), bytes)
              << int{a} << " " << int{b} << " " << int{c} << " " << int{d};
          ASSERT_LE(text.size(), bytes.size());
        }
      }
    }
  }
}

TEST(PosixNativeText, ValidTextNeverDecodesToEscapes) {
  const std::string valid =
      "A\xc2\x80\xdf\xbf\xe0\xa0\x80\xed\x9f\xbf\xee\x80\x80\xef\xbf\xbf"
      "\xf0\x90\x80\x80\xf4\x8f\xbf\xbf";
  const std::wstring text = DecodeNativeText(valid);
  EXPECT_EQ(text,
            (std::wstring{L'A', L'\u0080', L'\u07ff', L'\u0800', L'\ud7ff', L'\ue000', L'\uffff',
                          static_cast<wchar_t>(0x10000), static_cast<wchar_t>(0x10FFFF)}));
  EXPECT_EQ(EncodeNativeText(text), valid);
}

TEST(PosixNativePath, BackslashesBecomeSlashes) {
  EXPECT_EQ(NativePath(L"C:\\Users\\me\\App.lnk"), "C:/Users/me/App.lnk");
  EXPECT_EQ(NativePath(L"\\\\server\\share"), "//server/share");
  EXPECT_EQ(NativePath(L"already/slashed\\mixed"), "already/slashed/mixed");
  EXPECT_EQ(NativePath(L""), "");
}

TEST(PosixNativePath, NamesAreEncodedLikeText) {
  EXPECT_EQ(NativePath(L"dir\\caf\u00e9.lnk"), "dir/caf\xc3\xa9.lnk");
  EXPECT_EQ(NativePath(std::wstring{L'd', L'\\', Escaped(0xFF), L'.', L'l'}), "d/\xff.l");
  // A backslash byte that came through decoding is a separator too.
  EXPECT_EQ(NativePath(DecodeNativeText("a\\b\xe9")), "a/b\xe9");
  // Separators after the first character beyond ASCII are turned as well.
  EXPECT_EQ(NativePath(L"caf\u00e9\\x\\\U0001F600\\y"), "caf\xc3\xa9/x/\xf0\x9f\x98\x80/y");
  EXPECT_EQ(EncodeNativeText(L"caf\u00e9\\x"), "caf\xc3\xa9\\x");
}

TEST(PosixNativeText, DecodesIntoACallersBuffer) {
  const std::string bytes = "App \xc3\xa9\xff\xf0\x9f\x98\x80 (2).lnk";
  std::wstring buffer(bytes.size() + 1, L'#');
  const std::size_t count = DecodeNativeTextTo(bytes, buffer.data());
  EXPECT_EQ(buffer.substr(0, count),
            L"App \u00e9" + std::wstring{Escaped(0xFF)} + L"\U0001F600 (2).lnk");
  // Nothing is written past the characters.
  EXPECT_EQ(buffer.substr(count), std::wstring(buffer.size() - count, L'#'));
  EXPECT_EQ(DecodeNativeTextTo("", buffer.data()), 0u);
}

TEST(PosixUtf16Length, PrefixStopsBeforeTheUnitLimitAndNeverSplitsAPair) {
  const std::wstring text = DecodeNativeText(
      "ab\xf0\x9f\x98\x80"
      "cd");  // a b U+1F600 c d
  EXPECT_EQ(Utf16Prefix(text, 100), text);
  EXPECT_EQ(Utf16Prefix(text, 6), text);
  EXPECT_EQ(Utf16Prefix(text, 5), text.substr(0, 4));
  EXPECT_EQ(Utf16Prefix(text, 3), text.substr(0, 2));
  EXPECT_EQ(Utf16Prefix(text, 2), text.substr(0, 2));
  EXPECT_EQ(Utf16Prefix(text, 0), L"");
  const std::wstring wide(300, static_cast<wchar_t>(0x10000));
  EXPECT_EQ(Utf16Prefix(wide, 259).size(), 129u);
  EXPECT_EQ(Utf16Prefix(std::wstring(300, L'x'), 259).size(), 259u);
}

TEST(PosixUtf16Length, CountsUnitsAsWindowsDoes) {
  EXPECT_EQ(Utf16Length(L""), 0u);
  EXPECT_EQ(Utf16Length(L"App.lnk"), 7u);
  EXPECT_EQ(Utf16Length(L"caf\u00e9\u20ac\uffff"), 6u);
  EXPECT_EQ(Utf16Length(std::wstring{Escaped(0x80), Escaped(0xFF)}), 2u);
  EXPECT_EQ(Utf16Length(DecodeNativeText("a\xf0\x9f\x98\x80z\xf4\x8f\xbf\xbf")), 6u);
}

// Names in the order NTFS keeps a folder: by their upper-case form, unit by
// unit in UTF-16 (a character beyond U+FFFF is a surrogate pair, so it comes
// before U+E000..U+FFFF; a byte that is not UTF-8 stands for U+DC80..U+DCFF,
// among the surrogates), names alike but for case by their own text. The
// ordering keeps it without decoding (long names alike for eight bytes or
// more test its shortcut).
TEST(PosixNativeOrder, NamesSortAsNtfsKeepsThem) {
  const std::vector<std::string> sorted = {
      "", "A", "a", "a b", "A.LNK", "a.lnk", "AB", "Ab", "aB", "ab", "App (10).lnk", "App (2).lnk",
      "app.lnk", "a[b", "a_b", "B", "b", "C", "cafe",
      // CAFÉ, café; a cut sequence (U+DCC3), an invalid byte (U+DCE9).
      "CAF\xc3\x89", "caf\xc3\xa9", "caf\xc3", "caf\xe9",
      // Long names, alike for eight bytes or more.
      "pin-0000", "pin-00001", "PIN-00001-sample.lnk", "pin-00001-Sample.lnk",
      "pin-00001-sample.lnk", "pin-00001-sample.lnk2", "pin-00002-a.lnk", "pin-0000PIN-0000",
      "pin-0000pin-0000", "pin-0000pin-0000x", "pin-0000\xc3\x89", "pin-0000\xc3\xa9",
      "pin-0000\xe9", "pin-000\xc3\xa9x", "Z", "z", "zz", "_u",
      // été, Éz; U+00FF and U+0178, its upper case; capital and small alpha;
      // Deseret U+10400 and U+10428; U+1F600 (D83D DE00); U+DCFF; U+FFFD.
      "\xc3\xa9t\xc3\xa9", "\xc3\x89z", "\xc3\xbf", "\xc5\xb8", "\xce\x91", "\xce\xb1",
      "\xf0\x90\x90\x80", "\xf0\x90\x90\xa8", "\xf0\x9f\x98\x80", "\xff", "\xef\xbf\xbd"};
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    for (std::size_t j = 0; j < sorted.size(); ++j) {
      const std::string& a = sorted[i];
      const std::string& b = sorted[j];
      EXPECT_EQ(LessIgnoringCaseNative(a, b), i < j) << "\"" << a << "\" < \"" << b << "\"";
    }
  }
}

// Names equal without regard to case are those in one group, written out.
// Case is that of NTFS's table, which has no entries beyond U+FFFF: the two
// Deseret letters stay two names.
TEST(PosixNativeOrder, NamesAreTheSameIgnoringCaseWithinTheirGroup) {
  const std::vector<std::vector<std::string>> groups = {
      {""},
      {"a", "A"},
      {"ab", "AB", "aB"},
      {"app.lnk", "APP.LNK", "App.Lnk"},
      {"App (2).lnk"},
      {"s", "S"},
      {"cafe"},
      // café, CAFÉ; an invalid byte; U+00FF, U+0178; small and capital alpha;
      // Deseret U+10400, U+10428; U+1F600.
      {"caf\xc3\xa9", "CAF\xc3\x89"},
      {"caf\xe9"},
      {"\xc3\xbf", "\xc5\xb8"},
      {"\xff"},
      {"\xce\xb1", "\xce\x91"},
      {"\xf0\x90\x90\x80"},
      {"\xf0\x90\x90\xa8"},
      {"\xf0\x9f\x98\x80"}};
  for (std::size_t g = 0; g < groups.size(); ++g) {
    for (std::size_t h = 0; h < groups.size(); ++h) {
      for (const std::string& a : groups[g]) {
        for (const std::string& b : groups[h]) {
          EXPECT_EQ(SameTextIgnoringCaseNative(a, b), g == h)
              << "\"" << a << "\" = \"" << b << "\"";
        }
      }
    }
  }
}

}  // namespace
