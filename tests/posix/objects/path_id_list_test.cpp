// ILCreateFromPathW and ILFree: a Windows-style path to an existing file or
// folder gives an item-ID list that names its absolute, normalised path.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "shell/item_id_list.h"
#include "shell/owners.h"
#include "shell/posix/host/native_text.h"
#include "shell/posix/objects/path_id_list.h"
#include "support/process.h"

namespace {

using corvane::unique_idlist;
using corvane::posix::DecodeNativeText;
using corvane::posix::NativePathFromIdList;
using corvane::testing::RealPath;
using corvane::testing::ScopedWorkingFolder;
using corvane::testing::TemporaryFolder;
using corvane::testing::WriteFileBytes;

// What the list for path names, or nothing when there is no list.
std::optional<std::string> ListedPath(const std::wstring& path) {
  unique_idlist list(ILCreateFromPathW(path.c_str()));
  if (!list) return std::nullopt;
  const auto named = NativePathFromIdList(list.get());
  // A list that came from ILCreateFromPathW is always one the stand-in reads.
  EXPECT_TRUE(named.has_value());
  return named;
}

// A folder holding "sub/App.lnk" and "sub/inner/"; the working directory is
// put back after each test.
class PosixItemIdList : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = RealPath(folder_.path());
    ASSERT_FALSE(root_.empty());
    ASSERT_EQ(mkdir((root_ + "/sub").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((root_ + "/sub/inner").c_str(), 0755), 0);
    WriteFileBytes(root_ + "/sub/App.lnk", "shortcut");
  }

  void EnterFolder(const std::string& relative) { ASSERT_EQ(chdir((root_ + relative).c_str()), 0); }
  // The root as a Windows-style wide path.
  std::wstring WideRoot() const { return DecodeNativeText(root_); }

  ScopedWorkingFolder workingFolder_;
  TemporaryFolder folder_;
  std::string root_;
};

TEST_F(PosixItemIdList, AbsolutePathToFileNamesThatFile) {
  EXPECT_EQ(ListedPath(WideRoot() + L"/sub/App.lnk"), root_ + "/sub/App.lnk");
}

TEST_F(PosixItemIdList, AbsolutePathToFolderNamesThatFolder) {
  EXPECT_EQ(ListedPath(WideRoot() + L"/sub/inner"), root_ + "/sub/inner");
  EXPECT_EQ(ListedPath(WideRoot() + L"\\sub\\inner\\"), root_ + "/sub/inner");
}

TEST_F(PosixItemIdList, BackslashesSeparateComponents) {
  EXPECT_EQ(ListedPath(WideRoot() + L"\\sub\\App.lnk"), root_ + "/sub/App.lnk");
  EXPECT_EQ(ListedPath(WideRoot() + L"\\sub/inner\\..\\App.lnk"), root_ + "/sub/App.lnk");
}

TEST_F(PosixItemIdList, RelativePathIsTakenAgainstTheWorkingDirectory) {
  EnterFolder("/sub");
  EXPECT_EQ(ListedPath(L"App.lnk"), root_ + "/sub/App.lnk");
  EXPECT_EQ(ListedPath(L"inner"), root_ + "/sub/inner");
  EXPECT_EQ(ListedPath(L".\\App.lnk"), root_ + "/sub/App.lnk");
  EXPECT_EQ(ListedPath(L"."), root_ + "/sub");

  EnterFolder("/sub/inner");
  EXPECT_EQ(ListedPath(L"..\\App.lnk"), root_ + "/sub/App.lnk");
  EXPECT_EQ(ListedPath(L"..\\inner\\.\\..\\.\\App.lnk"), root_ + "/sub/App.lnk");
  EXPECT_EQ(ListedPath(L".."), root_ + "/sub");
}

TEST_F(PosixItemIdList, DotAndDotDotAreResolvedByTheTextAlone) {
  // "missing" does not exist; its ".." cancels it before anything is looked up.
  EXPECT_EQ(ListedPath(WideRoot() + L"\\sub\\missing\\..\\App.lnk"), root_ + "/sub/App.lnk");
  EnterFolder("/sub");
  EXPECT_EQ(ListedPath(L"missing\\..\\App.lnk"), root_ + "/sub/App.lnk");
}

TEST_F(PosixItemIdList, DoubledSeparatorsCollapse) {
  EXPECT_EQ(ListedPath(WideRoot() + L"\\\\sub//\\App.lnk"), root_ + "/sub/App.lnk");
}

TEST_F(PosixItemIdList, DotDotAboveTheRootStaysAtTheRoot) {
  EXPECT_EQ(ListedPath(L"\\..\\..\\" + WideRoot().substr(1) + L"\\sub\\App.lnk"),
            root_ + "/sub/App.lnk");
  EXPECT_EQ(ListedPath(L"\\"), "/");
}

TEST_F(PosixItemIdList, NonAsciiNamesKeepTheirBytes) {
  WriteFileBytes(root_ + "/sub/caf\xc3\xa9 \xf0\x9f\x98\x80.lnk", "a");
  WriteFileBytes(root_ + "/sub/bad\xff.lnk", "b");
  EXPECT_EQ(ListedPath(WideRoot() + L"\\sub\\caf\u00e9 \U0001F600.lnk"),
            root_ + "/sub/caf\xc3\xa9 \xf0\x9f\x98\x80.lnk");
  EXPECT_EQ(ListedPath(WideRoot() + L"\\sub\\bad" + std::wstring(1, wchar_t{0xDCFF}) + L".lnk"),
            root_ + "/sub/bad\xff.lnk");
}

TEST_F(PosixItemIdList, MissingPathGivesNoList) {
  EXPECT_EQ(ILCreateFromPathW((WideRoot() + L"\\sub\\Other.lnk").c_str()), nullptr);
  EXPECT_EQ(ILCreateFromPathW((WideRoot() + L"\\missing\\App.lnk").c_str()), nullptr);
  // A file is no folder: nothing is below it.
  EXPECT_EQ(ILCreateFromPathW((WideRoot() + L"\\sub\\App.lnk\\x").c_str()), nullptr);
  EnterFolder("/sub/inner");
  EXPECT_EQ(ILCreateFromPathW(L"App.lnk"), nullptr);
}

TEST_F(PosixItemIdList, NullAndEmptyPathGiveNoList) {
  EXPECT_EQ(ILCreateFromPathW(nullptr), nullptr);
  EXPECT_EQ(ILCreateFromPathW(L""), nullptr);
}

TEST_F(PosixItemIdList, ListOutlivesTheFileItNames) {
  const std::string path = root_ + "/sub/App.lnk";
  unique_idlist list(ILCreateFromPathW((WideRoot() + L"\\sub\\App.lnk").c_str()));
  ASSERT_TRUE(list);
  ASSERT_EQ(unlink(path.c_str()), 0);
  EXPECT_EQ(NativePathFromIdList(list.get()), path);
}

TEST(PosixItemIdListFree, NullIsHarmless) { ILFree(nullptr); }

TEST(PosixItemIdListRead, NullAndForeignListsNameNothing) {
  EXPECT_EQ(NativePathFromIdList(nullptr), std::nullopt);
  // A list whose item is not one of the stand-in's (an unknown kind byte).
  const unsigned char foreign[] = {0x06, 0x00, 0x1F, 'a', 'b', 0x00, 0x00, 0x00};
  EXPECT_EQ(NativePathFromIdList(reinterpret_cast<PCIDLIST_ABSOLUTE>(foreign)), std::nullopt);
  // An item too short to hold a name.
  const unsigned char tooShort[] = {0x02, 0x00, 0x00, 0x00};
  EXPECT_EQ(NativePathFromIdList(reinterpret_cast<PCIDLIST_ABSOLUTE>(tooShort)), std::nullopt);
}

}  // namespace
