// corv.exe from the Windows build, run under Wine as a deployment script
// would run it on Windows: exact bytes on stdout and stderr (CR LF line
// ends from the C runtime), exit statuses, and the calls that reach the
// pinned-list object, as the test server logs them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/process.h"
#include "wine_support.h"

namespace corvane::wine {
namespace {

constexpr int kNoItemStatus = 2;
constexpr int kNoObjectStatus = 3;
constexpr int kModifyFailedStatus = 4;

constexpr std::string_view kPinningNewIcon = "No matching icon found, pinning new icon\r\n";
constexpr std::string_view kNoItem = "ILCreateFromPathW failed.\r\n";
constexpr std::string_view kNoObject = "CoCreateInstance failed.\r\n";
constexpr std::string_view kModifyFailed = "IPinnedList3::Modify failed.\r\n";
constexpr std::string_view kAppIdArgumentCount =
    "Error: AppID setting requires exactly 4 arguments: corv <shortcut.lnk> s "
    "<AppUserModelID>\r\n";

// --- Help -------------------------------------------------------------------

using WineHelp = WineCorvTest;

TEST_F(WineHelp, LongAndShortOptionPrintHelpOnStdoutWithCrLf) {
  for (const char* option : {"--help", "-h"}) {
    SCOPED_TRACE(option);
    EXPECT_TRUE(Produced(Run(option), HelpText(), "", kHelpStatus));
  }
  EXPECT_TRUE(Log().empty());
}

TEST_F(WineHelp, MalformedCommandLinesPrintHelpOnStderr) {
  work_.CopyExample("Example.lnk", "App.lnk");
  const std::string app = work_.Windows("App.lnk");
  const std::vector<std::vector<std::string>> commandLines = {
      {},         {app},       {"p"},      {"--HELP"},  {"-H"},          {"-help"},
      {"/?"},     {"--help "}, {app, "P"}, {app, "V"},  {app, "U"},      {app, "S", "App.Id"},
      {app, "G"}, {app, ""},   {app, "x"}, {app, " p"}, {app, "--help"}, {"p", app},
  };
  for (const std::vector<std::string>& arguments : commandLines) {
    SCOPED_TRACE(::testing::PrintToString(arguments));
    EXPECT_TRUE(Produced(RunWith({}, arguments), "", HelpText(), kHelpStatus));
  }
  EXPECT_TRUE(Log().empty());
}

TEST_F(WineHelp, AppIdWithoutExactlyOneArgumentPrintsTheErrorThenHelp) {
  work_.CopyExample("Example.lnk", "App.lnk");
  const std::string app = work_.Windows("App.lnk");
  const std::string expectedErr = std::string(kAppIdArgumentCount) + HelpText();
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{app, "s"}, {app, "s", "A", "B"}, {app, "set"}}) {
    SCOPED_TRACE(::testing::PrintToString(arguments));
    EXPECT_TRUE(Produced(RunWith({}, arguments), "", expectedErr, kHelpStatus));
  }
  EXPECT_EQ(testing::ReadFileBytes(work_.Unix("App.lnk")), ExampleBytes("Example.lnk"));
}

// --- Pin and unpin through the pinned-list object ---------------------------

using WinePin = WineCorvTest;

TEST_F(WinePin, PinHandsTheItemAsSecondListWithCallerFour) {
  work_.CopyExample("Example.lnk", "x/a.lnk");
  const std::string shortcut = work_.Windows("x/a.lnk");
  EXPECT_TRUE(Produced(Run(shortcut, "p"), kPinningNewIcon, "", 0));
  EXPECT_EQ(Log(), Pinned(shortcut));
}

TEST_F(WinePin, UnpinHandsTheItemAsFirstListAndPrintsNothing) {
  work_.CopyExample("Example.lnk", "a.lnk");
  const std::string shortcut = work_.Windows("a.lnk");
  EXPECT_TRUE(Produced(Run(shortcut, "u"), "", "", 0));
  EXPECT_EQ(Log(), Unpinned(shortcut));
}

TEST_F(WinePin, OnlyTheFirstLetterOfTheCommandCountsAndSurplusIsIgnored) {
  work_.CopyExample("Example.lnk", "a.lnk");
  const std::string shortcut = work_.Windows("a.lnk");
  EXPECT_TRUE(Produced(Run(shortcut, "pull"), kPinningNewIcon, "", 0));
  EXPECT_TRUE(Produced(Run(shortcut, "p", "extra", "more"), kPinningNewIcon, "", 0));
  EXPECT_TRUE(Produced(Run(shortcut, "unpin", "extra"), "", "", 0));
  EXPECT_EQ(Log(), Concat({Pinned(shortcut), Pinned(shortcut), Unpinned(shortcut)}));
}

// --- Checked pin: the Wine user's pin folder ---------------------------------

using WineCheckedPin = WineCorvTest;

// With no pin folder the namespace search cannot parse its path, says so,
// and the file search finds nothing.
TEST_F(WineCheckedPin, PinsWhenThePinFolderDoesNotExist) {
  work_.CopyExample("Example.lnk", "a.lnk");
  const std::string shortcut = work_.Windows("a.lnk");
  const std::string expectedOut =
      "Searching match for C:\\test\\a.txt\r\n"
      "Searching path: " +
      PinFolderWindowsPath() +
      "\r\n"
      "Searching match for C:\\test\\a.txt\r\n" +
      std::string(kPinningNewIcon);
  EXPECT_TRUE(
      Produced(Run(shortcut, "v"), expectedOut, "Failed to parse taskbar folder path.\r\n", 0));
  EXPECT_EQ(Log(), Pinned(shortcut));
}

TEST_F(WineCheckedPin, PinWithTheSameTargetMeansNothingToDo) {
  work_.CopyExample("Example.lnk", "a.lnk");
  std::filesystem::create_directories(PinFolder());
  testing::WriteFileBytes(PinFolder() + "/Other.lnk", ExampleBytes("Minecraft.lnk"));
  testing::WriteFileBytes(PinFolder() + "/Pinned.lnk", ExampleBytes("Example.lnk"));
  const std::string expectedOut =
      "Searching match for C:\\test\\a.txt\r\n"
      "Searching path: " +
      PinFolderWindowsPath() + "\r\n";
  EXPECT_TRUE(Produced(Run(work_.Windows("a.lnk"), "v"), expectedOut, "", 0));
  EXPECT_TRUE(Log().empty());
}

// One program with other arguments is another taskbar button: v pins it
// beside the pin of the same target, and finds the pin of its own. (Another
// AppUserModelID cannot be shown here: Wine's link object reads none, so
// under Wine every identifier is unknown and equal.)
TEST_F(WineCheckedPin, SameTargetWithOtherArgumentsIsPinned) {
  std::filesystem::create_directories(PinFolder());
  testing::WriteFileBytes(PinFolder() + "/Pinned.lnk", testing::SampleBytes("sample9.lnk"));
  testing::WriteFileBytes(work_.Unix("Other.lnk"), testing::SampleBytes("sample8.lnk"));
  testing::WriteFileBytes(work_.Unix("Same.lnk"), testing::SampleBytes("sample9.lnk"));
  const testing::ProcessResult other = Run(work_.Windows("Other.lnk"), "v");
  EXPECT_EQ(other.exitStatus, 0);
  EXPECT_TRUE(other.out.ends_with(kPinningNewIcon)) << other.out;
  const testing::ProcessResult same = Run(work_.Windows("Same.lnk"), "v");
  EXPECT_EQ(same.exitStatus, 0);
  EXPECT_EQ(same.out.find(kPinningNewIcon), std::string::npos) << same.out;
  EXPECT_EQ(Log(), Pinned(work_.Windows("Other.lnk")));
}

TEST_F(WineCheckedPin, UnreadableAndDifferentPinsLetThePinGoAhead) {
  work_.CopyExample("Example.lnk", "a.lnk");
  const std::string shortcut = work_.Windows("a.lnk");
  std::filesystem::create_directories(PinFolder());
  testing::WriteFileBytes(PinFolder() + "/Broken.lnk", "not a shortcut");
  testing::WriteFileBytes(PinFolder() + "/Other.lnk", ExampleBytes("Minecraft.lnk"));
  std::filesystem::create_directories(PinFolder() + "/Folder.lnk");
  const std::string folder = PinFolderWindowsPath();
  const std::string expectedOut =
      "Searching match for C:\\test\\a.txt\r\n"
      "Searching path: " +
      folder +
      "\r\n"
      "Searching match for C:\\test\\a.txt\r\n" +
      folder + "\\Broken.lnk\r\nError: failed to open\r\n" + folder +
      "\\Folder.lnk\r\nError: failed to open\r\n" + folder +
      "\\Other.lnk\r\nC:\\Users\\TEMP\\AppData\\Roaming\\.minecraft\r\n" +
      std::string(kPinningNewIcon);
  EXPECT_TRUE(Produced(Run(shortcut, "v"), expectedOut, "", 0));
  EXPECT_EQ(Log(), Pinned(shortcut));
}

TEST_F(WineCheckedPin, UnreadableShortcutIsReportedByBothSearchesThenPinned) {
  testing::WriteFileBytes(work_.Unix("Broken.lnk"), "not a shortcut");
  const std::string shortcut = work_.Windows("Broken.lnk");
  const std::string couldNotOpen = "Could not open " + shortcut + "\r\n";
  EXPECT_TRUE(Produced(Run(shortcut, "v"),
                       couldNotOpen + couldNotOpen + std::string(kPinningNewIcon), "", 0));
  EXPECT_EQ(Log(), Pinned(shortcut));
}

TEST_F(WinePin, FalseFromModifyIsSuccess) {
  work_.CopyExample("Example.lnk", "a.lnk");
  const std::string shortcut = work_.Windows("a.lnk");
  EXPECT_TRUE(Produced(RunReturning("S_FALSE", {shortcut, "p"}), kPinningNewIcon, "", 0));
  EXPECT_TRUE(Produced(RunReturning("S_FALSE", {shortcut, "u"}), "", "", 0));
  EXPECT_EQ(Log(), Concat({Pinned(shortcut), Unpinned(shortcut)}));
}

TEST_F(WinePin, FailureFromModifyEndsWithFourAfterReleasingTheObject) {
  work_.CopyExample("Example.lnk", "a.lnk");
  const std::string shortcut = work_.Windows("a.lnk");
  for (const char* failure : {"0x80004005", "0x80070490"}) {
    SCOPED_TRACE(failure);
    EXPECT_TRUE(Produced(RunReturning(failure, {shortcut, "p"}), kPinningNewIcon, kModifyFailed,
                         kModifyFailedStatus));
    EXPECT_TRUE(
        Produced(RunReturning(failure, {shortcut, "u"}), "", kModifyFailed, kModifyFailedStatus));
  }
  EXPECT_EQ(Log(),
            Concat({Pinned(shortcut), Unpinned(shortcut), Pinned(shortcut), Unpinned(shortcut)}));
}

// Success is what shows in the pin folder. The server writes it as Modify
// returns or half a second later, and corv succeeds either way; where it
// answers S_OK and changes nothing, corv looks for two seconds and fails as
// for a refused Modify.
TEST_F(WinePin, SuccessIsWhatShowsInThePinFolder) {
  work_.CopyExample("Example.lnk", "a.lnk");
  const std::string shortcut = work_.Windows("a.lnk");
  WineRun run;
  for (const char* when : {"now", "late"}) {
    SCOPED_TRACE(when);
    run.serverWrites = when;
    EXPECT_TRUE(Produced(RunWith(run, {shortcut, "p"}), kPinningNewIcon, "", 0));
    EXPECT_EQ(testing::ReadFileBytes(PinFolder() + "/a.lnk"), ExampleBytes("Example.lnk"));
    EXPECT_TRUE(Produced(RunWith(run, {shortcut, "u"}), "", "", 0));
    EXPECT_FALSE(std::filesystem::exists(PinFolder() + "/a.lnk"));
  }
  run.serverWrites = "never";
  EXPECT_TRUE(
      Produced(RunWith(run, {shortcut, "p"}), kPinningNewIcon, kModifyFailed, kModifyFailedStatus));
  EXPECT_FALSE(std::filesystem::exists(PinFolder() + "/a.lnk"));
  testing::WriteFileBytes(PinFolder() + "/a.lnk", ExampleBytes("Example.lnk"));
  EXPECT_TRUE(Produced(RunWith(run, {shortcut, "u"}), "", kModifyFailed, kModifyFailedStatus));
  EXPECT_TRUE(std::filesystem::exists(PinFolder() + "/a.lnk"));
  EXPECT_EQ(Log(), Concat({Pinned(shortcut), Unpinned(shortcut), Pinned(shortcut),
                           Unpinned(shortcut), Pinned(shortcut), Unpinned(shortcut)}));
}

TEST_F(WinePin, MergedOutputKeepsTheProgressLineBeforeTheFailure) {
  work_.CopyExample("Example.lnk", "a.lnk");
  WineRun run;
  run.serverResult = "0x80004005";
  run.mergeStderrIntoStdout = true;
  EXPECT_TRUE(Produced(RunWith(run, {work_.Windows("a.lnk"), "p"}),
                       std::string(kPinningNewIcon) + std::string(kModifyFailed), "",
                       kModifyFailedStatus));
}

TEST_F(WinePin, UnregisteredClassFailsToCreateTheObject) {
  work_.CopyExample("Example.lnk", "a.lnk");
  const std::string shortcut = work_.Windows("a.lnk");
  {
    const ServerUnregistered unregistered;
    EXPECT_TRUE(Produced(Run(shortcut, "p"), kPinningNewIcon, kNoObject, kNoObjectStatus));
    EXPECT_TRUE(Produced(Run(shortcut, "u"), "", kNoObject, kNoObjectStatus));
  }
  EXPECT_TRUE(Log().empty());
  // Registered again: the next pin reaches the server.
  EXPECT_TRUE(Produced(Run(shortcut, "p"), kPinningNewIcon, "", 0));
  EXPECT_EQ(Log(), Pinned(shortcut));
}

TEST_F(WinePin, MissingShortcutFailsToGetAnItem) {
  EXPECT_TRUE(
      Produced(Run(work_.Windows("missing.lnk"), "p"), kPinningNewIcon, kNoItem, kNoItemStatus));
  EXPECT_TRUE(Produced(Run(work_.Windows("missing.lnk"), "u"), "", kNoItem, kNoItemStatus));
  EXPECT_EQ(Run(work_.Windows("no/such/folder/a.lnk"), "v").exitStatus, kNoItemStatus);
  EXPECT_TRUE(Log().empty());
}

// --- How the shortcut path reaches the shell --------------------------------

using WineShortcutPath = WineCorvTest;

TEST_F(WineShortcutPath, WildcardsReachTheProgramAsTyped) {
  // Expanded by the runtime, "*.lnk p" would become "A.lnk B.lnk p": a
  // command letter B, and the help text.
  work_.CopyExample("Example.lnk", "A.lnk");
  work_.CopyExample("Minecraft.lnk", "B.lnk");
  EXPECT_TRUE(Produced(Run("*.lnk", "p"), kPinningNewIcon, kNoItem, kNoItemStatus));
  EXPECT_TRUE(Produced(Run("?.lnk", "u"), "", kNoItem, kNoItemStatus));
  EXPECT_TRUE(Log().empty());
}

TEST_F(WineShortcutPath, NonAsciiNamesReachTheShellUnchanged) {
  for (const std::string name :
       {"caf\xc3\xa9.lnk", "\xc4\x80pp.lnk", "\xe6\x97\xa5\xe6\x9c\xac.lnk"}) {
    SCOPED_TRACE(Visible(name));
    work_.CopyExample("Example.lnk", name);
    const std::string shortcut = work_.Windows(name);
    const Lines before = Log();
    EXPECT_TRUE(Produced(Run(shortcut, "p"), kPinningNewIcon, "", 0));
    EXPECT_TRUE(Produced(Run(shortcut, "u"), "", "", 0));
    EXPECT_EQ(Log(), Concat({before, Pinned(shortcut), Unpinned(shortcut)}));
  }
}

// A path of 259 characters takes; one of 260 or more gets no item (MAX_PATH
// counts the terminating null), as the administrators' README says.
TEST_F(WineShortcutPath, PathsOf260CharactersOrMoreGetNoItem) {
  const std::string folder = std::string(120, 'a') + "/" + std::string(100, 'b');
  for (const std::size_t length : {259u, 260u}) {
    const std::string name =
        folder + "/" + std::string(length - work_.Windows(folder).size() - 5, 'c') + ".lnk";
    work_.CopyExample("Example.lnk", name);
    ASSERT_EQ(work_.Windows(name).size(), length);
    EXPECT_EQ(Run(work_.Windows(name), "p").exitStatus, length == 259u ? 0 : kNoItemStatus);
  }
}

// Where Wine's shell differs from the Linux stand-in (see docs/windows.md):
// it takes no relative paths, and matches wildcards in an absolute one.
TEST_F(WineShortcutPath, WineShellTakesNoRelativePaths) {
  work_.CopyExample("Example.lnk", "a.lnk");
  EXPECT_TRUE(Produced(Run("a.lnk", "p"), kPinningNewIcon, kNoItem, kNoItemStatus));
  EXPECT_TRUE(Log().empty());
}

// The pin made is of only.lnk, not of the "o*.lnk" asked for, which never
// shows in the pin folder: the pin fails.
TEST_F(WineShortcutPath, WineShellMatchesWildcardsInAnAbsolutePath) {
  work_.CopyExample("Example.lnk", "only.lnk");
  EXPECT_TRUE(Produced(Run(work_.Windows("o*.lnk"), "p"), kPinningNewIcon, kModifyFailed,
                       kModifyFailedStatus));
  EXPECT_EQ(Log(), Pinned(work_.Windows("only.lnk")));
}

}  // namespace
}  // namespace corvane::wine
