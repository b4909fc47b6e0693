// FindFirstFileW, FindNextFileW and FindClose: a pattern's folder part is a
// path, its last component is matched against the folder's entries with
// Windows' rules, and every kind of entry that matches is reported.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "shell/find_files.h"
#include "shell/posix/host/native_text.h"
#include "support/process.h"

namespace {

using corvane::posix::DecodeNativeText;
using corvane::testing::RealPath;
using corvane::testing::ScopedWorkingFolder;
using corvane::testing::TemporaryFolder;
using corvane::testing::WriteFileBytes;

// Everything a search reports, by name, in the order reported.
struct Found {
  std::vector<std::wstring> names;
  std::map<std::wstring, WIN32_FIND_DATAW> data;
};

Found Search(const std::wstring& pattern) {
  Found found;
  WIN32_FIND_DATAW data{};
  const HANDLE search = FindFirstFileW(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return found;
  do {
    found.names.push_back(data.cFileName);
    found.data[data.cFileName] = data;
  } while (FindNextFileW(search, &data));
  EXPECT_TRUE(FindClose(search));
  return found;
}

std::vector<std::wstring> Names(const std::wstring& pattern) {
  std::vector<std::wstring> names = Search(pattern).names;
  std::sort(names.begin(), names.end());
  return names;
}

using NameList = std::vector<std::wstring>;

class PosixFindFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = RealPath(folder_.path());
    ASSERT_FALSE(root_.empty());
    for (const char* name : {"App.lnk", "other.LNK", "notes.txt", "readme", "a.lnk.bak",
                             ".hidden.lnk", "x.txt", "x1.txt", "x12.txt", "caf\xc3\xa9.lnk"}) {
      WriteFileBytes(root_ + "/" + name, name);
    }
    ASSERT_EQ(mkdir((root_ + "/Folder.lnk").c_str(), 0755), 0);
  }

  std::wstring Pattern(const std::wstring& mask) const {
    return DecodeNativeText(root_) + L"\\" + mask;
  }

  ScopedWorkingFolder workingFolder_;
  TemporaryFolder folder_;
  std::string root_;
};

TEST_F(PosixFindFiles, ExtensionPatternMatchesEveryKindOfEntryWithoutRegardToCase) {
  const Found found = Search(Pattern(L"*.lnk"));
  NameList names = found.names;
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names,
            (NameList{L".hidden.lnk", L"App.lnk", L"Folder.lnk", L"caf\u00E9.lnk", L"other.LNK"}));
  // A folder is reported like a file, marked as a folder; hidden names too.
  EXPECT_TRUE(found.data.at(L"Folder.lnk").dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_FALSE(found.data.at(L"App.lnk").dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(found.data.at(L".hidden.lnk").dwFileAttributes & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(found.data.at(L"App.lnk").nFileSizeLow, 7u);
  EXPECT_EQ(found.data.at(L"App.lnk").nFileSizeHigh, 0u);
}

TEST_F(PosixFindFiles, LettersMatchInEitherCase) {
  EXPECT_EQ(Names(Pattern(L"APP.LNK")), NameList{L"App.lnk"});
  EXPECT_EQ(Names(Pattern(L"app.lnk")), NameList{L"App.lnk"});
  EXPECT_EQ(Names(Pattern(L"CAF\u00C9.LNK")), NameList{L"caf\u00E9.lnk"});
  EXPECT_EQ(Names(Pattern(L"*.Lnk")).size(), 5u);
}

TEST_F(PosixFindFiles, StarMatchesEverythingWithDotEntriesFirst) {
  const NameList all = Search(Pattern(L"*")).names;
  ASSERT_GE(all.size(), 2u);
  EXPECT_EQ(all[0], L".");
  EXPECT_EQ(all[1], L"..");
  EXPECT_EQ(all.size(), 13u);  // 11 files and folders, "." and ".."
  // "*.*" matches names without a dot as well.
  EXPECT_EQ(Names(Pattern(L"*.*")), Names(Pattern(L"*")));
  EXPECT_TRUE(Search(Pattern(L"*")).data.at(L"..").dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(PosixFindFiles, StarMatchesAnyRun) {
  EXPECT_EQ(Names(Pattern(L"a*")), (NameList{L"App.lnk", L"a.lnk.bak"}));
  EXPECT_EQ(Names(Pattern(L"*bak")), NameList{L"a.lnk.bak"});
  EXPECT_EQ(Names(Pattern(L"*e*")),
            (NameList{L".hidden.lnk", L"Folder.lnk", L"notes.txt", L"other.LNK", L"readme"}));
  // A name without an extension.
  EXPECT_EQ(Names(Pattern(L"*.")), (NameList{L".", L"..", L"readme"}));
}

TEST_F(PosixFindFiles, StarThenCharactersMatchesByTheNamesEnd) {
  for (const char* name : {".lnk", "lnk", "a.b.lnk", "x.lnk.lnk", "a.lnkx", "a.LNK.Lnk",
                           "\xc3\xa9.LNK", "b.lnk.", "k"}) {
    WriteFileBytes(root_ + "/" + name, name);
  }
  EXPECT_EQ(Names(Pattern(L"*.lnk")),
            (NameList{L".hidden.lnk", L".lnk", L"App.lnk", L"Folder.lnk", L"a.LNK.Lnk", L"a.b.lnk",
                      L"caf\u00E9.lnk", L"other.LNK", L"x.lnk.lnk", L"\u00E9.LNK"}));
  // Without the dot, the star may take dots too.
  EXPECT_EQ(Names(Pattern(L"*lnk")),
            (NameList{L".hidden.lnk", L".lnk", L"App.lnk", L"Folder.lnk", L"a.LNK.Lnk", L"a.b.lnk",
                      L"caf\u00E9.lnk", L"lnk", L"other.LNK", L"x.lnk.lnk", L"\u00E9.LNK"}));
  EXPECT_EQ(Names(Pattern(L"*.b.lnk")), NameList{L"a.b.lnk"});
  EXPECT_EQ(Names(Pattern(L"*.LNK.lnk")), (NameList{L"a.LNK.Lnk", L"x.lnk.lnk"}));
  EXPECT_EQ(Names(Pattern(L"*\u00C9.lnk")), (NameList{L"caf\u00E9.lnk", L"\u00E9.LNK"}));
  EXPECT_EQ(Names(Pattern(L"*k")).size(), 13u);  // every name ending in k or K
}

TEST_F(PosixFindFiles, QuestionMarkMatchesOneCharacter) {
  EXPECT_EQ(Names(Pattern(L"?pp.lnk")), NameList{L"App.lnk"});
  EXPECT_EQ(Names(Pattern(L"x??.txt")), (NameList{L"x.txt", L"x1.txt", L"x12.txt"}));
  EXPECT_EQ(Names(Pattern(L"x?2.txt")), NameList{L"x12.txt"});
  // Before a dot or at the end it may match nothing, as in DOS.
  EXPECT_EQ(Names(Pattern(L"x?.txt")), (NameList{L"x.txt", L"x1.txt"}));
  EXPECT_EQ(Names(Pattern(L"readme?")), NameList{L"readme"});
  // Never the dot itself.
  EXPECT_EQ(Names(Pattern(L"x?txt")), NameList{});
}

TEST_F(PosixFindFiles, NothingMatchingIsNoSearch) {
  WIN32_FIND_DATAW data{};
  EXPECT_EQ(FindFirstFileW(Pattern(L"*.exe").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirstFileW(Pattern(L"App.lnkx").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirstFileW(Pattern(L"pp.lnk").c_str(), &data), INVALID_HANDLE_VALUE);
  // A missing folder, a file taken for a folder, an empty last component.
  EXPECT_EQ(FindFirstFileW(Pattern(L"missing\\*").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirstFileW(Pattern(L"App.lnk\\*").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirstFileW(Pattern(L"").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirstFileW(nullptr, &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirstFileW(Pattern(L"*").c_str(), nullptr), INVALID_HANDLE_VALUE);
}

TEST_F(PosixFindFiles, FolderPartIsAPathInEitherForm) {
  ASSERT_EQ(mkdir((root_ + "/sub").c_str(), 0755), 0);
  WriteFileBytes(root_ + "/sub/Inner.lnk", "i");
  const std::wstring root = DecodeNativeText(root_);
  EXPECT_EQ(Names(root + L"/sub/*.lnk"), NameList{L"Inner.lnk"});
  EXPECT_EQ(Names(root + L"\\sub\\*.lnk"), NameList{L"Inner.lnk"});
  EXPECT_EQ(Names(root + L"\\Folder.lnk\\..\\sub\\*.lnk"), NameList{L"Inner.lnk"});
  // Relative to the working directory.
  ASSERT_EQ(chdir(root_.c_str()), 0);
  EXPECT_EQ(Names(L"sub\\*.lnk"), NameList{L"Inner.lnk"});
  ASSERT_EQ(chdir((root_ + "/sub").c_str()), 0);
  EXPECT_EQ(Names(L"*.lnk"), NameList{L"Inner.lnk"});
  EXPECT_EQ(Names(L"..\\x1.*"), NameList{L"x1.txt"});
}

TEST_F(PosixFindFiles, OtherKindsOfEntryAreReportedToo) {
  ASSERT_EQ(mkfifo((root_ + "/pipe.lnk").c_str(), 0600), 0);
  ASSERT_EQ(symlink("nowhere", (root_ + "/dangling.lnk").c_str()), 0);
  ASSERT_EQ(symlink("Folder.lnk", (root_ + "/linked.lnk").c_str()), 0);
  const Found found = Search(Pattern(L"*.lnk"));
  ASSERT_EQ(found.data.count(L"pipe.lnk"), 1u);
  ASSERT_EQ(found.data.count(L"dangling.lnk"), 1u);
  ASSERT_EQ(found.data.count(L"linked.lnk"), 1u);
  EXPECT_FALSE(found.data.at(L"pipe.lnk").dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(found.data.at(L"dangling.lnk").dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
  EXPECT_TRUE(found.data.at(L"linked.lnk").dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(found.data.at(L"linked.lnk").dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

TEST_F(PosixFindFiles, NamesComeBackAsWideText) {
  WriteFileBytes(root_ + "/\xf0\x9f\x98\x80 bad\xff.lnk", "e");
  const NameList names = Names(Pattern(L"\U0001F600*"));
  EXPECT_EQ(names, NameList{L"\U0001F600 bad" + std::wstring(1, wchar_t{0xDCFF}) + L".lnk"});
}

TEST_F(PosixFindFiles, HandlesEndAndCloseOnce) {
  WIN32_FIND_DATAW data{};
  const HANDLE search = FindFirstFileW(Pattern(L"App.lnk").c_str(), &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(std::wstring(data.cFileName), L"App.lnk");
  EXPECT_FALSE(FindNextFileW(search, &data));
  EXPECT_FALSE(FindNextFileW(search, &data));
  EXPECT_FALSE(FindNextFileW(search, nullptr));
  EXPECT_TRUE(FindClose(search));
  // A closed or never-opened handle is refused, not followed.
  EXPECT_FALSE(FindClose(search));
  EXPECT_FALSE(FindNextFileW(search, &data));
  EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
  EXPECT_FALSE(FindClose(nullptr));
}

TEST_F(PosixFindFiles, EntryRemovedDuringTheSearchIsPassedOver) {
  WIN32_FIND_DATAW data{};
  const HANDLE search = FindFirstFileW(Pattern(L"x*.txt").c_str(), &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(std::wstring(data.cFileName), L"x.txt");
  // x1.txt would come next; once it is gone the search goes on with x12.txt.
  ASSERT_EQ(unlink((root_ + "/x1.txt").c_str()), 0);
  ASSERT_TRUE(FindNextFileW(search, &data));
  EXPECT_EQ(std::wstring(data.cFileName), L"x12.txt");
  EXPECT_EQ(data.nFileSizeLow, 7u);  // described when handed out
  EXPECT_FALSE(FindNextFileW(search, &data));
  EXPECT_TRUE(FindClose(search));
}

// NTFS keeps a folder by the upper-case form of each name (so "_" comes
// after every letter, and "\u00e9" after "_"), names equal but for case by
// their own text.
TEST_F(PosixFindFiles, EntriesComeInTheOrderNtfsKeeps) {
  const std::string sorted = root_ + "/sorted";
  ASSERT_EQ(mkdir(sorted.c_str(), 0755), 0);
  for (const char* name : {"b.lnk", "_u.lnk", "Z.lnk", "caf\xc3\xa9.lnk", "a.lnk", "B.lnk",
                           "\xc3\xa9t\xc3\xa9.lnk", "C.lnk", "cafe.lnk"}) {
    WriteFileBytes(sorted + "/" + name, "x");
  }
  EXPECT_EQ(Search(DecodeNativeText(sorted) + L"\\*.lnk").names,
            (NameList{L"a.lnk", L"B.lnk", L"b.lnk", L"C.lnk", L"cafe.lnk", L"caf\u00E9.lnk",
                      L"Z.lnk", L"_u.lnk", L"\u00E9t\u00E9.lnk"}));
}

TEST_F(PosixFindFiles, ManyEntriesComeBackOnceEachInOrder) {
  const std::string many = root_ + "/many";
  ASSERT_EQ(mkdir(many.c_str(), 0755), 0);
  std::vector<std::wstring> expected;
  for (int i = 0; i < 2000; ++i) {
    const std::string name = "Pin " + std::to_string(i) + (i % 2 ? ".lnk" : ".LNK");
    WriteFileBytes(many + "/" + name, "x");
    expected.push_back(DecodeNativeText(name));
  }
  WriteFileBytes(many + "/skip.txt", "x");
  // ASCII names, in NTFS's order: by their upper-case form.
  const auto upper = [](std::wstring name) {
    for (wchar_t& c : name) c = c >= L'a' && c <= L'z' ? c - (L'a' - L'A') : c;
    return name;
  };
  std::sort(expected.begin(), expected.end(),
            [&](const std::wstring& a, const std::wstring& b) { return upper(a) < upper(b); });
  EXPECT_EQ(Search(DecodeNativeText(many) + L"\\*.lnk").names, expected);
}

TEST(PosixUtf16Prefix, CutsAtWholeCharacters) {
  const auto copied = [](std::wstring_view text, std::size_t units) {
    std::wstring buffer(units, L'?');
    corvane::posix::CopyUtf16Prefix(text, buffer.data(), units);
    return std::wstring(buffer.c_str());
  };
  EXPECT_EQ(copied(L"abc", 6), L"abc");
  EXPECT_EQ(copied(L"abc", 3), L"ab");
  EXPECT_EQ(copied(L"a\U0001F600b", 3), L"a");
  EXPECT_EQ(copied(L"a\U0001F600b", 4), L"a\U0001F600");
  EXPECT_EQ(copied(std::wstring(300, L'n'), MAX_PATH).size(),
            static_cast<std::size_t>(MAX_PATH - 1));
}

}  // namespace
