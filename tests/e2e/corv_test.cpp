#include "e2e/corv_test.h"

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

std::string ExampleBytes(const std::string& name) {
  return ReadFileBytes(std::string(CORV_EXAMPLES_DIR) + "/" + name);
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

}  // namespace corvane::e2e
