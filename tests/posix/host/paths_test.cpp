// AbsoluteNativePath: Windows-style text to a normalised absolute native
// path, whether or not the text is in normal form already; and whose word
// the walk of a path takes for an owner.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "shell/posix/host/path_walk.h"
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

// Not that of a FUSE mount another user made, whose owners that user invents.
TEST(PosixPathWalk, OwnersOfAnotherUsersFuseMountAreNotBelieved) {
  using corvane::posix::MountOwnersTrusted;
  const std::string fuse = "40 30 0:52 / /mnt/x rw,nosuid - fuse.sshfs host:/ rw,user_id=";
  EXPECT_TRUE(MountOwnersTrusted(fuse + "1000,group_id=1000", 1000));
  EXPECT_TRUE(MountOwnersTrusted(fuse + "0,group_id=0", 1000));
  EXPECT_FALSE(MountOwnersTrusted(fuse + "1001,group_id=1001", 0));
  EXPECT_FALSE(MountOwnersTrusted("40 30 0:52 / /mnt/x rw - fuseblk /dev/sdb1 rw", 0));
  EXPECT_TRUE(MountOwnersTrusted("22 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw", 1000));
}

}  // namespace
