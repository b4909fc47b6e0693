// AbsoluteNativePath: Windows-style text to a normalised absolute native
// path, whether or not the text is in normal form already.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "shell/posix/host/paths.h"

namespace {

using corvane::posix::AbsoluteNativePath;

TEST(PosixAbsolutePath, NormalAbsolutePathIsKept) {
  EXPECT_EQ(AbsoluteNativePath(L"/a/b/c.lnk"), "/a/b/c.lnk");
  EXPECT_EQ(AbsoluteNativePath(L"/"), "/");
  EXPECT_EQ(AbsoluteNativePath(L"/a"), "/a");
  EXPECT_EQ(AbsoluteNativePath(L"/a/.b/..c/b..."), "/a/.b/..c/b...");
}

TEST(PosixAbsolutePath, BackslashesAreSeparators) {
  EXPECT_EQ(AbsoluteNativePath(L"\\a\\b\\c.lnk"), "/a/b/c.lnk");
  EXPECT_EQ(AbsoluteNativePath(L"/a\\b/c"), "/a/b/c");
}

TEST(PosixAbsolutePath, EveryAbnormalFormIsNormalised) {
  EXPECT_EQ(AbsoluteNativePath(L"/a//b"), "/a/b");
  EXPECT_EQ(AbsoluteNativePath(L"//a"), "/a");
  EXPECT_EQ(AbsoluteNativePath(L"/a/b/"), "/a/b");
  EXPECT_EQ(AbsoluteNativePath(L"/a/./b"), "/a/b");
  EXPECT_EQ(AbsoluteNativePath(L"/a/b/."), "/a/b");
  EXPECT_EQ(AbsoluteNativePath(L"/a/../b"), "/b");
  EXPECT_EQ(AbsoluteNativePath(L"/a/b/.."), "/a");
  EXPECT_EQ(AbsoluteNativePath(L"/.."), "/");
  EXPECT_EQ(AbsoluteNativePath(L"/."), "/");
  EXPECT_EQ(AbsoluteNativePath(L"//"), "/");
  EXPECT_EQ(AbsoluteNativePath(L"\\a\\..\\..\\b\\"), "/b");
}

TEST(PosixAbsolutePath, RelativePathIsTakenAgainstTheWorkingDirectory) {
  char cwd[PATH_MAX];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  const std::string base = std::string(cwd) == "/" ? "" : cwd;
  EXPECT_EQ(AbsoluteNativePath(L"x.lnk"), base + "/x.lnk");
  EXPECT_EQ(AbsoluteNativePath(L"sub\\x.lnk"), base + "/sub/x.lnk");
}

}  // namespace
