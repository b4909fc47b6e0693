#include "e2e/corv_test.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace corvane::e2e {

const std::string& HelpText() {
  static const std::string text = WithCrLf(ReadFileBytes(CORV_HELP_FILE));
  return text;
}

std::vector<std::string> WrapperWords() {
  std::vector<std::string> words;
  const char* wrapper = std::getenv("CORV_WRAPPER");
  std::istringstream text(wrapper != nullptr ? wrapper : "");
  for (std::string word; text >> word;) words.push_back(word);
  return words;
}

std::string WrappedProgram() {
  const char* program = std::getenv("CORV_WRAPPED_PROGRAM");
  return program != nullptr && *program != '\0' ? program : CORV_BINARY;
}

::testing::AssertionResult HasNoHiddenEntries(const std::string& folder) {
  for (const std::string& name : ListFolder(folder)) {
    if (name.front() == '.') {
      return ::testing::AssertionFailure() << "left behind in " << folder << ": " << name;
    }
  }
  return ::testing::AssertionSuccess();
}

std::string CorvTest::WriteWorkFile(const std::string& relative, const std::string& bytes) {
  const std::string path = WorkPath(relative);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  WriteFileBytes(path, bytes);
  return path;
}

std::string CorvTest::WriteLargeShortcut(const std::string& relative, std::uint64_t size) {
  // Example.lnk up to its terminal block, then the block's size and kind;
  // the zeros after them end with the four of a new terminal block.
  std::string bytes = example_.substr(0, example_.size() - 4);
  const auto blockSize = static_cast<std::uint32_t>(size - bytes.size() - 4);
  for (const std::uint32_t value : {blockSize, std::uint32_t{0xA0000077}}) {
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  }
  const std::string path = WriteWorkFile(relative, bytes);
  std::filesystem::resize_file(path, size);
  return path;
}

void CorvTest::RunAsOrdinaryUser() {
  if (geteuid() != 0) return;
  constexpr unsigned kNobody = 65534;
  programFolder_.emplace();
  const std::string original = WrapperWords().empty() ? CORV_BINARY : WrappedProgram();
  program_ = programFolder_->path() + "/corv";
  std::filesystem::copy_file(original, program_);
  std::filesystem::permissions(programFolder_->path(), std::filesystem::perms(0755));
  std::filesystem::permissions(program_, std::filesystem::perms(0755));
  for (const std::string& root : {appData_.path(), work_.path()}) {
    ASSERT_EQ(lchown(root.c_str(), kNobody, kNobody), 0) << root;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
      ASSERT_EQ(lchown(entry.path().c_str(), kNobody, kNobody), 0) << entry.path();
    }
  }
  user_ = kNobody;
}

}  // namespace corvane::e2e
