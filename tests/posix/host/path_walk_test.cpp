// The walk's trust in links and in the owners a file system reports.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "shell/posix/host/path_walk.h"
#include "support/process.h"

namespace {

using corvane::posix::MissingFolders;
using corvane::posix::MountOwnersTrusted;
using corvane::posix::OpenOwnFolder;
using corvane::posix::unique_fd;

// A link is followed when it is the caller's, or root's in a folder no other
// user can write; another user's, or root's where another user could have
// put it, is refused.
TEST(PosixPathWalk, LinksAreFollowedOnlyWhenTrusted) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give a link to another user";
  const corvane::testing::TemporaryFolder folder;
  const std::string target = folder.path() + "/target";
  std::filesystem::create_directory(target);
  std::filesystem::create_directory(folder.path() + "/open");
  ASSERT_EQ(chmod((folder.path() + "/open").c_str(), 01777), 0);
  for (const char* link : {"/mine", "/theirs", "/open/mine"}) {
    std::filesystem::create_symlink(target, folder.path() + link);
  }
  ASSERT_EQ(lchown((folder.path() + "/theirs").c_str(), 65534, 65534), 0);
  unique_fd opened;
  EXPECT_EQ(OpenOwnFolder(folder.path() + "/mine", MissingFolders::Fail, opened), 0);
  EXPECT_EQ(OpenOwnFolder(folder.path() + "/theirs", MissingFolders::Fail, opened), EACCES);
  EXPECT_EQ(OpenOwnFolder(folder.path() + "/open/mine", MissingFolders::Fail, opened), EACCES);
}

TEST(PosixPathWalk, OwnersOfAnotherUsersFuseMountAreNotBelieved) {
  const std::string fuse = "40 30 0:52 / /mnt/x rw,nosuid - fuse.sshfs host:/ rw,user_id=";
  EXPECT_TRUE(MountOwnersTrusted(fuse + "1000,group_id=1000", 1000));
  EXPECT_TRUE(MountOwnersTrusted(fuse + "0,group_id=0", 1000));
  EXPECT_FALSE(MountOwnersTrusted(fuse + "1001,group_id=1001", 1000));
  EXPECT_FALSE(MountOwnersTrusted(fuse + "1001,group_id=1001", 0));
  EXPECT_FALSE(MountOwnersTrusted("40 30 0:52 / /mnt/x rw - fuseblk /dev/sdb1 rw", 0));
  EXPECT_TRUE(MountOwnersTrusted("22 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw", 1000));
  EXPECT_FALSE(MountOwnersTrusted("", 1000));
}

}  // namespace
