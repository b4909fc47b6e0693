// Whose word the walk takes for a file's owner: not that of a FUSE mount
// another user made, whose owners that user invents.
#include <gtest/gtest.h>

#include <string>

#include "shell/posix/host/path_walk.h"

namespace {

using corvane::posix::MountOwnersTrusted;

TEST(PosixPathWalk, OwnersOfAnotherUsersFuseMountAreNotBelieved) {
  const std::string fuse = "40 30 0:52 / /mnt/x rw,nosuid - fuse.sshfs host:/ rw,user_id=";
  EXPECT_TRUE(MountOwnersTrusted(fuse + "1000,group_id=1000", 1000));
  EXPECT_TRUE(MountOwnersTrusted(fuse + "0,group_id=0", 1000));
  EXPECT_FALSE(MountOwnersTrusted(fuse + "1001,group_id=1001", 0));
  EXPECT_FALSE(MountOwnersTrusted("40 30 0:52 / /mnt/x rw - fuseblk /dev/sdb1 rw", 0));
  EXPECT_TRUE(MountOwnersTrusted("22 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw", 1000));
}

}  // namespace
