// Opening and reading whole regular files, as loads and pins read shortcuts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "shell/posix/host/opened_file.h"
#include "support/process.h"

namespace {

using corvane::posix::kFileBusy;
using corvane::posix::kFileReplaced;
using corvane::posix::kFileTooLarge;
using corvane::posix::OpenedFile;
using corvane::testing::ListFolder;
using corvane::testing::TemporaryFolder;
using corvane::testing::WriteFileBytes;

class OpenedFileTest : public ::testing::Test {
 protected:
  TemporaryFolder folder_;
};

TEST_F(OpenedFileTest, WholeFileIsReadWhateverItsSize) {
  const std::string path = folder_.path() + "/file";
  for (const std::size_t size : {0u, 1u, 4095u, 4096u, 65536u, 65537u, 200000u}) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + i % 26);
    WriteFileBytes(path, text);
    std::vector<std::uint8_t> bytes{1, 2, 3};
    OpenedFile file;
    ASSERT_EQ(file.Open(path), 0) << size;
    ASSERT_EQ(file.ReadAll(1 << 20, bytes), 0) << size;
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), text) << size;
  }
}

TEST_F(OpenedFileTest, FileOfTheLimitIsReadAndOneByteMoreIsTooLarge) {
  const std::string path = folder_.path() + "/file";
  std::vector<std::uint8_t> bytes;
  WriteFileBytes(path, std::string(100, 'x'));
  OpenedFile file;
  ASSERT_EQ(file.Open(path), 0);
  EXPECT_EQ(file.ReadAll(100, bytes), 0);
  EXPECT_EQ(bytes.size(), 100u);
  WriteFileBytes(path, std::string(101, 'x'));
  ASSERT_EQ(file.Open(path), 0);
  EXPECT_EQ(file.ReadAll(100, bytes), kFileTooLarge);
}

// Another replacement of the file waits for the one that holds it, and
// gives up after five seconds; a name removed after the open gets nothing
// written.
TEST_F(OpenedFileTest, ReplacementWaitsForTheLockAndWritesOnlyTheOpenedFile) {
  const std::string path = folder_.path() + "/file";
  WriteFileBytes(path, "old");
  OpenedFile file, second;
  ASSERT_EQ(file.OpenToReplace(path), 0);
  EXPECT_EQ(second.OpenToReplace(path), kFileBusy);
  ASSERT_EQ(unlink(path.c_str()), 0);
  EXPECT_EQ(file.Replace({'n', 'e', 'w'}), kFileReplaced);
  EXPECT_EQ(ListFolder(folder_.path()), std::vector<std::string>{});
}

}  // namespace
