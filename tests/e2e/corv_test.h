// What every end-to-end test of the built corv program shares: the fixture
// that runs it with its own application-data and work folders, the matcher
// for exact stdout and stderr bytes and exit status, and the messages that
// several test files expect.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/output.h"
#include "support/process.h"
#include "support/samples.h"

namespace corvane::e2e {

// Built under AddressSanitizer, corv reserves terabytes of address space
// and its runtime reads files of its own.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kUnderAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kUnderAddressSanitizer = true;
#else
inline constexpr bool kUnderAddressSanitizer = false;
#endif
#else
inline constexpr bool kUnderAddressSanitizer = false;
#endif

using corvane::testing::ListFolder;
using corvane::testing::ProcessOptions;
using corvane::testing::ProcessResult;
using corvane::testing::Produced;
using corvane::testing::ReadFileBytes;
using corvane::testing::RunProcess;
using corvane::testing::TemporaryFolder;
using corvane::testing::Visible;
using corvane::testing::WithCrLf;
using corvane::testing::WriteFileBytes;

// The entry returns -1 after printing the help text.
inline constexpr int kHelpStatus = 255;
inline constexpr int kNoItemStatus = 2;
inline constexpr int kModifyFailedStatus = 4;
inline constexpr int kSetAppIdFailedStatus = 5;
inline constexpr int kGetAppIdFailedStatus = 6;

inline constexpr std::string_view kPinningNewIcon = "No matching icon found, pinning new icon\r\n";
inline constexpr std::string_view kNoItem = "ILCreateFromPathW failed.\r\n";
inline constexpr std::string_view kModifyFailed = "IPinnedList3::Modify failed.\r\n";
inline constexpr std::string_view kAppIdArgumentCount =
    "Error: AppID setting requires exactly 4 arguments: corv <shortcut.lnk> s "
    "<AppUserModelID>\r\n";
inline constexpr std::string_view kSetAppIdFailed = "SetShortcutAppID failed.\r\n";
inline constexpr std::string_view kGetAppIdFailed = "GetShortcutAppID failed.\r\n";

inline constexpr std::string_view kPinFolderBelowAppData =
    "/Microsoft/Internet Explorer/Quick Launch/User Pinned/TaskBar";

// The help text as corv prints it, CR LF line ends included.
const std::string& HelpText();

// The words of $CORV_WRAPPER, split at spaces; empty when it is unset.
std::vector<std::string> WrapperWords();
// The corv that the wrapper runs: CORV_WRAPPED_PROGRAM when set (memcheck
// needs a dynamically linked build), else the one under test.
std::string WrappedProgram();

using corvane::testing::ExampleBytes;
using corvane::testing::SampleBytes;
using corvane::testing::SampleNames;

inline ::testing::AssertionResult Pinned(const ProcessResult& result) {
  return Produced(result, kPinningNewIcon, "", 0);
}

inline ::testing::AssertionResult Unpinned(const ProcessResult& result) {
  return Produced(result, "", "", 0);
}

// No hidden (temporary) entries left in a folder.
::testing::AssertionResult HasNoHiddenEntries(const std::string& folder);

class CorvTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_TRUE(HasNoHiddenEntries(PinFolder())); }

  // Runs corv in the work folder with this test's APPDATA.
  template <typename... Arguments>
  ProcessResult Run(const Arguments&... arguments) {
    return RunWith({}, {std::string(arguments)...});
  }

  // Runs corv with APPDATA set to this test's folder and the work folder as
  // working directory, unless options say otherwise. When CORV_WRAPPER is
  // set, its words come first (a checker such as valgrind that runs corv).
  // The stand-in checks that the run gives back every object, block, string
  // and search it was handed: anything left live ends the run with status 70.
  ProcessResult RunWith(ProcessOptions options, const std::vector<std::string>& arguments) {
    return RunBehind(WrapperWords(), std::move(options), arguments);
  }

  // As RunWith, with corv run by the given command words instead of those
  // of CORV_WRAPPER (none: corv itself).
  ProcessResult RunBehind(std::vector<std::string> command, ProcessOptions options,
                          const std::vector<std::string>& arguments) {
    options.environment.try_emplace("APPDATA", appData_.path());
    options.environment.try_emplace("CORVANE_RESOURCE_CHECK", "1");
    if (options.workingDirectory.empty()) options.workingDirectory = work_.path();
    if (!options.user) options.user = user_;
    const std::string program = !program_.empty() ? program_
                                : command.empty() ? CORV_BINARY
                                                  : WrappedProgram();
    if (command.empty()) return RunProcess(program, arguments, options);
    command.push_back(program);
    command.insert(command.end(), arguments.begin(), arguments.end());
    return RunProcess(command.front(), {command.begin() + 1, command.end()}, options);
  }

  std::string PinFolder() const { return PinFolderBelow(appData_.path()); }
  static std::string PinFolderBelow(const std::string& appData) {
    return appData + std::string(kPinFolderBelowAppData);
  }

  std::vector<std::string> Pins() const { return ListFolder(PinFolder()); }
  std::string PinBytes(const std::string& name) const {
    return ReadFileBytes(PinFolder() + "/" + name);
  }

  // Copies an example shortcut to a path relative to the work folder
  // (folders included) and gives back the absolute path.
  std::string CopyExample(const std::string& example, const std::string& as) {
    return WriteWorkFile(as, ExampleBytes(example));
  }

  // Writes bytes to a path relative to the work folder (folders included)
  // and gives back the absolute path.
  std::string WriteWorkFile(const std::string& relative, const std::string& bytes);

  // Writes Example.lnk grown to size bytes (at least 100, below 4 GiB) by
  // one extra data block of a kind no reader knows, holding zeros; the
  // zeros are left to the file system as a hole. Gives back the path.
  std::string WriteLargeShortcut(const std::string& relative, std::uint64_t size);

  // From here on runs corv as an ordinary user when the tests run as root,
  // so that file and folder permissions bind it as they bind any user: both
  // test folders, and everything in them so far, are handed to that user,
  // and corv runs from a copy that user can reach wherever the build lies.
  void RunAsOrdinaryUser();

  std::string WorkPath(const std::string& relative) const { return work_.path() + "/" + relative; }
  const std::string& AppData() const { return appData_.path(); }

  const std::string example_ = ExampleBytes("Example.lnk");
  const std::string minecraft_ = ExampleBytes("Minecraft.lnk");

 private:
  TemporaryFolder appData_;
  TemporaryFolder work_;
  std::optional<unsigned> user_;
  std::optional<TemporaryFolder> programFolder_;
  std::string program_;
};

}  // namespace corvane::e2e
