// Reading whole regular files, as loads and pins read shortcuts.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "shell/posix/host/file_io.h"
#include "support/process.h"

namespace {

using corvane::posix::ReadRegularFile;
using corvane::testing::TemporaryFolder;
using corvane::testing::WriteFileBytes;

class ReadRegularFileTest : public ::testing::Test {
 protected:
  TemporaryFolder folder_;
};

TEST_F(ReadRegularFileTest, WholeFileIsReadWhateverItsSize) {
  const std::string path = folder_.path() + "/file";
  for (const std::size_t size : {0u, 1u, 4095u, 4096u, 65536u, 65537u, 200000u}) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + i % 26);
    WriteFileBytes(path, text);
    std::vector<std::uint8_t> bytes{1, 2, 3};
    ASSERT_EQ(ReadRegularFile(path, 1 << 20, bytes), 0) << size;
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), text) << size;
  }
}

TEST_F(ReadRegularFileTest, FileOfTheLimitIsReadAndOneByteMoreIsTooLarge) {
  const std::string path = folder_.path() + "/file";
  std::vector<std::uint8_t> bytes;
  WriteFileBytes(path, std::string(100, 'x'));
  EXPECT_EQ(ReadRegularFile(path, 100, bytes), 0);
  EXPECT_EQ(bytes.size(), 100u);
  WriteFileBytes(path, std::string(101, 'x'));
  EXPECT_EQ(ReadRegularFile(path, 100, bytes), EFBIG);
}

}  // namespace
