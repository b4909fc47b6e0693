// The built corv program as a user or a deployment script runs it: exact
// bytes on stdout and stderr, the exit status, and the files it leaves in the
// taskbar's pin folder. Every test gets its own application-data folder and
// its own copies of the example shortcuts.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/process.h"

namespace {

using corvane::testing::ListFolder;
using corvane::testing::ProcessOptions;
using corvane::testing::ProcessResult;
using corvane::testing::ReadFileBytes;
using corvane::testing::RunProcess;
using corvane::testing::TemporaryFolder;
using corvane::testing::WithCrLf;
using corvane::testing::WriteFileBytes;

// The entry returns -1 after printing the help text.
constexpr int kHelpStatus = 255;
constexpr int kNoItemStatus = 2;
constexpr int kModifyFailedStatus = 4;

constexpr std::string_view kPinningNewIcon = "No matching icon found, pinning new icon\r\n";
constexpr std::string_view kNoItem = "ILCreateFromPathW failed.\r\n";
constexpr std::string_view kModifyFailed = "IPinnedList3::Modify failed.\r\n";
constexpr std::string_view kAppIdArgumentCount =
    "Error: AppID setting requires exactly 4 arguments: corv <shortcut.lnk> s "
    "<AppUserModelID>\r\n";

constexpr std::string_view kPinFolderBelowAppData =
    "/Microsoft/Internet Explorer/Quick Launch/User Pinned/TaskBar";

const std::string& HelpText() {
  static const std::string text = WithCrLf(ReadFileBytes(CORV_HELP_FILE));
  return text;
}

std::string ExampleBytes(const std::string& name) {
  return ReadFileBytes(std::string(CORV_EXAMPLES_DIR) + "/" + name);
}

// Bytes with everything outside printable ASCII escaped, so that a failure
// shows where a CR or a stray byte went.
std::string Visible(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\r') {
      text += "\\r";
    } else if (c == '\n') {
      text += "\\n";
    } else if (c == '\\') {
      text += "\\\\";
    } else if (byte < 0x20 || byte >= 0x7f) {
      text += "\\x";
      text += kHex[byte >> 4];
      text += kHex[byte & 0xf];
    } else {
      text += c;
    }
  }
  return text;
}

::testing::AssertionResult Produced(const ProcessResult& result, std::string_view out,
                                    std::string_view err, int status) {
  if (result.out == out && result.err == err && result.exitStatus == status) {
    return ::testing::AssertionSuccess();
  }
  auto failure = ::testing::AssertionFailure();
  if (result.out != out) {
    failure << "\nstdout:   \"" << Visible(result.out) << "\"\nexpected: \"" << Visible(out)
            << "\"";
  }
  if (result.err != err) {
    failure << "\nstderr:   \"" << Visible(result.err) << "\"\nexpected: \"" << Visible(err)
            << "\"";
  }
  if (result.exitStatus != status) {
    failure << "\nexit status " << result.exitStatus << ", expected " << status;
  }
  return failure;
}

::testing::AssertionResult Pinned(const ProcessResult& result) {
  return Produced(result, kPinningNewIcon, "", 0);
}

::testing::AssertionResult Unpinned(const ProcessResult& result) {
  return Produced(result, "", "", 0);
}

::testing::AssertionResult HasNoHiddenEntries(const std::string& folder) {
  for (const std::string& name : ListFolder(folder)) {
    if (name.front() == '.') {
      return ::testing::AssertionFailure() << "left behind in " << folder << ": " << name;
    }
  }
  return ::testing::AssertionSuccess();
}

class CorvTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_TRUE(HasNoHiddenEntries(PinFolder())); }

  // Runs corv in the work folder with this test's APPDATA.
  template <typename... Arguments>
  ProcessResult Run(const Arguments&... arguments) {
    return RunWith({}, {std::string(arguments)...});
  }

  // Runs corv with APPDATA set to this test's folder and the work folder as
  // working directory, unless options say otherwise.
  ProcessResult RunWith(ProcessOptions options, const std::vector<std::string>& arguments) {
    options.environment.try_emplace("APPDATA", appData_.path());
    if (options.workingDirectory.empty()) options.workingDirectory = work_.path();
    return RunProcess(CORV_BINARY, arguments, options);
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
    const std::string path = WorkPath(as);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteFileBytes(path, ExampleBytes(example));
    return path;
  }

  std::string WorkPath(const std::string& relative) const { return work_.path() + "/" + relative; }
  const std::string& AppData() const { return appData_.path(); }

  const std::string example_ = ExampleBytes("Example.lnk");
  const std::string minecraft_ = ExampleBytes("Minecraft.lnk");

 private:
  TemporaryFolder appData_;
  TemporaryFolder work_;
};

// --- Help on request ------------------------------------------------------

using E2eHelp = CorvTest;

TEST_F(E2eHelp, LongAndShortOptionPrintHelpOnStdout) {
  for (const char* option : {"--help", "-h"}) {
    SCOPED_TRACE(option);
    EXPECT_TRUE(Produced(Run(option), HelpText(), "", kHelpStatus));
  }
  EXPECT_FALSE(std::filesystem::exists(AppData() + "/Microsoft"));
}

// --- Malformed command lines: help on stderr, nothing pinned ---------------

class E2eMalformedCommandLine : public CorvTest {
 protected:
  void SetUp() override { CopyExample("Example.lnk", "App.lnk"); }

  void ExpectHelpOnStderr(std::initializer_list<std::vector<std::string>> commandLines) {
    for (const std::vector<std::string>& arguments : commandLines) {
      std::string trace = "corv";
      for (const std::string& argument : arguments) trace += " '" + argument + "'";
      SCOPED_TRACE(trace);
      EXPECT_TRUE(Produced(RunWith({}, arguments), "", HelpText(), kHelpStatus));
    }
    EXPECT_TRUE(Pins().empty());
    EXPECT_EQ(ReadFileBytes(WorkPath("App.lnk")), example_);
  }
};

TEST_F(E2eMalformedCommandLine, NoArgumentsOrOnlyAPath) {
  ExpectHelpOnStderr({{}, {"App.lnk"}, {"p"}});
}

TEST_F(E2eMalformedCommandLine, HelpOptionSpelledDifferently) {
  ExpectHelpOnStderr({{"--HELP"}, {"-H"}, {"-help"}, {"/?"}, {"--help "}, {"help"}});
}

TEST_F(E2eMalformedCommandLine, CommandLetterUpperCaseEmptyOrUnknown) {
  ExpectHelpOnStderr({{"App.lnk", "P"},
                      {"App.lnk", "V"},
                      {"App.lnk", "U"},
                      {"App.lnk", "S", "App.Id"},
                      {"App.lnk", "G"},
                      {"App.lnk", ""},
                      {"App.lnk", "x"},
                      {"App.lnk", "h"},
                      {"App.lnk", " p"},
                      {"App.lnk", "--help"},
                      {"-h", "-h"}});
}

TEST_F(E2eMalformedCommandLine, CommandBeforeThePath) { ExpectHelpOnStderr({{"x", "App.lnk"}}); }

// --- Help option followed by more arguments is a shortcut path --------------

using E2eHelpOptionAsPath = CorvTest;

TEST_F(E2eHelpOptionAsPath, PinsAFileNamedLikeTheOptionWhenMissing) {
  EXPECT_TRUE(Produced(Run("--help", "p"), kPinningNewIcon, kNoItem, kNoItemStatus));
  EXPECT_TRUE(Produced(Run("-h", "p"), kPinningNewIcon, kNoItem, kNoItemStatus));
  EXPECT_TRUE(Produced(Run("--help", "u"), "", kNoItem, kNoItemStatus));
  EXPECT_TRUE(Pins().empty());
}

TEST_F(E2eHelpOptionAsPath, PinsAndUnpinsAnExistingFileNamedLikeTheOption) {
  CopyExample("Example.lnk", "--help");
  ASSERT_TRUE(Pinned(Run("--help", "p")));
  EXPECT_EQ(Pins(), std::vector<std::string>{"--help"});
  EXPECT_EQ(PinBytes("--help"), example_);

  ASSERT_TRUE(Unpinned(Run("--help", "u")));
  EXPECT_TRUE(Pins().empty());
}

// --- s with the wrong number of arguments -----------------------------------

using E2eAppIdArgumentCount = CorvTest;

TEST_F(E2eAppIdArgumentCount, TooFewOrTooManyPrintTheErrorThenHelp) {
  const std::string shortcut = CopyExample("Example.lnk", "App.lnk");
  const std::string expectedErr = std::string(kAppIdArgumentCount) + HelpText();
  const std::vector<std::vector<std::string>> commandLines = {
      {shortcut, "s"},
      {shortcut, "s", "App.Id", "extra"},
      {shortcut, "set"},
      {shortcut, "sx", "App.Id", "extra", "more"},
  };
  for (const std::vector<std::string>& arguments : commandLines) {
    SCOPED_TRACE(::testing::PrintToString(arguments));
    EXPECT_TRUE(Produced(RunWith({}, arguments), "", expectedErr, kHelpStatus));
  }
  EXPECT_EQ(ReadFileBytes(shortcut), example_);
  EXPECT_TRUE(Pins().empty());
}

// --- Pinning and unpinning --------------------------------------------------

using E2ePin = CorvTest;

TEST_F(E2ePin, PinCopiesTheShortcutUnderItsOwnName) {
  const std::string shortcut = CopyExample("Example.lnk", "App.lnk");
  EXPECT_TRUE(Pinned(Run(shortcut, "p")));
  EXPECT_EQ(Pins(), std::vector<std::string>{"App.lnk"});
  EXPECT_EQ(PinBytes("App.lnk"), example_);
  EXPECT_EQ(ReadFileBytes(shortcut), example_);
}

TEST_F(E2ePin, OnlyTheFirstLetterOfTheCommandCounts) {
  const std::string example = CopyExample("Example.lnk", "Example.lnk");
  const std::string minecraft = CopyExample("Minecraft.lnk", "Minecraft.lnk");
  const std::string third = CopyExample("Example.lnk", "sub/Third.lnk");
  WriteFileBytes(third, example_ + "different");

  EXPECT_TRUE(Pinned(Run(example, "px")));
  EXPECT_TRUE(Pinned(Run(minecraft, "pull")));
  EXPECT_TRUE(Pinned(Run(third, "p", "extra", "more")));
  EXPECT_EQ(Pins(), (std::vector<std::string>{"Example.lnk", "Minecraft.lnk", "Third.lnk"}));

  EXPECT_TRUE(Unpinned(Run(example, "unpin")));
  EXPECT_TRUE(Unpinned(Run(minecraft, "u", "extra", "more")));
  EXPECT_EQ(Pins(), std::vector<std::string>{"Third.lnk"});
}

TEST_F(E2ePin, TwoShortcutsGiveTwoPinsAndUnpinRemovesExactlyOne) {
  const std::string example = CopyExample("Example.lnk", "Example.lnk");
  const std::string minecraft = CopyExample("Minecraft.lnk", "Minecraft.lnk");
  ASSERT_TRUE(Pinned(Run(example, "p")));
  ASSERT_TRUE(Pinned(Run(minecraft, "p")));
  EXPECT_EQ(Pins(), (std::vector<std::string>{"Example.lnk", "Minecraft.lnk"}));

  EXPECT_TRUE(Unpinned(Run(example, "u")));
  EXPECT_EQ(Pins(), std::vector<std::string>{"Minecraft.lnk"});
  EXPECT_EQ(PinBytes("Minecraft.lnk"), minecraft_);

  EXPECT_TRUE(Unpinned(Run(minecraft, "u")));
  EXPECT_TRUE(Pins().empty());
}

TEST_F(E2ePin, PinningTheSameShortcutTwiceLeavesOnePin) {
  const std::string shortcut = CopyExample("Example.lnk", "App.lnk");
  EXPECT_TRUE(Pinned(Run(shortcut, "p")));
  EXPECT_TRUE(Pinned(Run(shortcut, "p")));
  EXPECT_EQ(Pins(), std::vector<std::string>{"App.lnk"});
  EXPECT_EQ(PinBytes("App.lnk"), example_);
}

TEST_F(E2ePin, SameFileNameForADifferentShortcutGetsAFreeName) {
  const std::string first = CopyExample("Example.lnk", "one/App.lnk");
  const std::string second = CopyExample("Minecraft.lnk", "two/App.lnk");
  const std::string third = CopyExample("Example.lnk", "three/App.lnk");
  WriteFileBytes(third, example_ + "changed");

  ASSERT_TRUE(Pinned(Run(first, "p")));
  ASSERT_TRUE(Pinned(Run(second, "p")));
  ASSERT_TRUE(Pinned(Run(third, "p")));
  EXPECT_EQ(Pins(), (std::vector<std::string>{"App (2).lnk", "App (3).lnk", "App.lnk"}));
  EXPECT_EQ(PinBytes("App.lnk"), example_);
  EXPECT_EQ(PinBytes("App (2).lnk"), minecraft_);
  EXPECT_EQ(PinBytes("App (3).lnk"), example_ + "changed");
}

TEST_F(E2ePin, UnpinLeavesPinsOfOtherShortcutsWithTheSameName) {
  const std::string first = CopyExample("Example.lnk", "one/App.lnk");
  const std::string second = CopyExample("Minecraft.lnk", "two/App.lnk");
  ASSERT_TRUE(Pinned(Run(first, "p")));
  ASSERT_TRUE(Pinned(Run(second, "p")));

  EXPECT_TRUE(Unpinned(Run(second, "u")));
  EXPECT_EQ(Pins(), std::vector<std::string>{"App.lnk"});
  EXPECT_EQ(PinBytes("App.lnk"), example_);
}

TEST_F(E2ePin, UnpinFindsAShortcutChangedSinceItWasPinnedByItsName) {
  const std::string shortcut = CopyExample("Example.lnk", "App.lnk");
  const std::string other = CopyExample("Minecraft.lnk", "Other.lnk");
  ASSERT_TRUE(Pinned(Run(shortcut, "p")));
  ASSERT_TRUE(Pinned(Run(other, "p")));
  // Changed, and renamed in letter case only.
  std::filesystem::remove(shortcut);
  WriteFileBytes(WorkPath("app.LNK"), example_ + "changed");

  EXPECT_TRUE(Unpinned(Run("app.LNK", "u")));
  EXPECT_EQ(Pins(), std::vector<std::string>{"Other.lnk"});
}

TEST_F(E2ePin, MergedOutputKeepsTheProgressLineBeforeTheFailure) {
  ProcessOptions merged;
  merged.mergeStderrIntoStdout = true;
  EXPECT_TRUE(Produced(RunWith(merged, {"missing.lnk", "p"}),
                       std::string(kPinningNewIcon) + std::string(kNoItem), "", kNoItemStatus));
}

// --- Failures -----------------------------------------------------------------

using E2ePinFailure = CorvTest;

TEST_F(E2ePinFailure, MissingShortcutFailsToGetAnItem) {
  EXPECT_TRUE(Produced(Run("missing.lnk", "p"), kPinningNewIcon, kNoItem, kNoItemStatus));
  EXPECT_TRUE(Produced(Run("missing.lnk", "u"), "", kNoItem, kNoItemStatus));
  EXPECT_TRUE(Produced(Run(WorkPath("no/such/folder/App.lnk"), "p"), kPinningNewIcon, kNoItem,
                       kNoItemStatus));
  EXPECT_FALSE(std::filesystem::exists(AppData() + "/Microsoft"));
}

TEST_F(E2ePinFailure, UnpinningWhatIsNotPinnedFails) {
  const std::string example = CopyExample("Example.lnk", "Example.lnk");
  const std::string minecraft = CopyExample("Minecraft.lnk", "Minecraft.lnk");

  // No pin folder at all yet.
  EXPECT_TRUE(Produced(Run(example, "u"), "", kModifyFailed, kModifyFailedStatus));

  // Another shortcut pinned: it stays.
  ASSERT_TRUE(Pinned(Run(minecraft, "p")));
  EXPECT_TRUE(Produced(Run(example, "u"), "", kModifyFailed, kModifyFailedStatus));
  EXPECT_EQ(Pins(), std::vector<std::string>{"Minecraft.lnk"});

  // Unpinned once already.
  ASSERT_TRUE(Unpinned(Run(minecraft, "u")));
  EXPECT_TRUE(Produced(Run(minecraft, "u"), "", kModifyFailed, kModifyFailedStatus));
}

TEST_F(E2ePinFailure, ReadOnlyParentOfThePinFolderLeavesNothingBehind) {
  if (geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
  const std::string shortcut = CopyExample("Example.lnk", "App.lnk");
  const std::string parent = std::filesystem::path(PinFolder()).parent_path();
  std::filesystem::create_directories(parent);
  ASSERT_EQ(chmod(parent.c_str(), 0555), 0);

  EXPECT_TRUE(Produced(Run(shortcut, "p"), kPinningNewIcon, kModifyFailed, kModifyFailedStatus));
  EXPECT_TRUE(ListFolder(parent).empty());
}

TEST_F(E2ePinFailure, FileInThePlaceOfThePinFolderIsLeftAlone) {
  const std::string shortcut = CopyExample("Example.lnk", "App.lnk");
  const std::string parent = std::filesystem::path(PinFolder()).parent_path();
  std::filesystem::create_directories(parent);
  WriteFileBytes(PinFolder(), "not a folder");

  EXPECT_TRUE(Produced(Run(shortcut, "p"), kPinningNewIcon, kModifyFailed, kModifyFailedStatus));
  EXPECT_TRUE(Produced(Run(shortcut, "u"), "", kModifyFailed, kModifyFailedStatus));
  EXPECT_EQ(ListFolder(parent), std::vector<std::string>{"TaskBar"});
  EXPECT_EQ(ReadFileBytes(PinFolder()), "not a folder");
}

// --- How the shortcut path is read -------------------------------------------

using E2eShortcutPath = CorvTest;

TEST_F(E2eShortcutPath, WildcardsAreNotExpanded) {
  CopyExample("Example.lnk", "x*.lnk");
  CopyExample("Minecraft.lnk", "xy.lnk");

  EXPECT_TRUE(Pinned(Run("x*.lnk", "p")));
  EXPECT_EQ(Pins(), std::vector<std::string>{"x*.lnk"});
  EXPECT_EQ(PinBytes("x*.lnk"), example_);

  EXPECT_TRUE(Produced(Run("*.lnk", "p"), kPinningNewIcon, kNoItem, kNoItemStatus));
  EXPECT_TRUE(Produced(Run("x?.lnk", "u"), "", kNoItem, kNoItemStatus));
  EXPECT_EQ(Pins(), std::vector<std::string>{"x*.lnk"});
}

TEST_F(E2eShortcutPath, RelativePathsResolveAgainstTheWorkingDirectory) {
  CopyExample("Example.lnk", "sub/App.lnk");
  CopyExample("Minecraft.lnk", "App.lnk");

  ProcessOptions inSub;
  inSub.workingDirectory = WorkPath("sub");
  EXPECT_TRUE(Pinned(RunWith(inSub, {"App.lnk", "p"})));
  EXPECT_EQ(Pins(), std::vector<std::string>{"App.lnk"});
  EXPECT_EQ(PinBytes("App.lnk"), example_);

  EXPECT_TRUE(Unpinned(RunWith(inSub, {"./../sub/App.lnk", "u"})));
  EXPECT_TRUE(Pins().empty());

  EXPECT_TRUE(Pinned(Run("sub/../App.lnk", "p")));
  EXPECT_EQ(PinBytes("App.lnk"), minecraft_);
}

TEST_F(E2eShortcutPath, BackslashSeparatesFolders) {
  CopyExample("Example.lnk", "sub/App.lnk");
  CopyExample("Minecraft.lnk", "sub/deeper/Other.lnk");

  EXPECT_TRUE(Pinned(Run("sub\\App.lnk", "p")));
  EXPECT_EQ(Pins(), std::vector<std::string>{"App.lnk"});
  EXPECT_EQ(PinBytes("App.lnk"), example_);

  EXPECT_TRUE(Pinned(Run(WorkPath("sub\\deeper\\Other.lnk"), "p")));
  EXPECT_EQ(PinBytes("Other.lnk"), minecraft_);

  EXPECT_TRUE(Unpinned(Run("sub\\App.lnk", "u")));
  EXPECT_EQ(Pins(), std::vector<std::string>{"Other.lnk"});
}

TEST_F(E2eShortcutPath, NonAsciiAndInvalidUtf8NamesKeepTheirBytes) {
  for (const std::string name :
       {"caf\xc3\xa9.lnk", "bad\xff name.lnk", "\xe6\x97\xa5\xe6\x9c\xac.lnk"}) {
    SCOPED_TRACE(Visible(name));
    CopyExample("Example.lnk", name);
    EXPECT_TRUE(Pinned(Run(name, "p")));
    EXPECT_EQ(Pins(), std::vector<std::string>{name});
    EXPECT_EQ(PinBytes(name), example_);

    EXPECT_TRUE(Unpinned(Run(name, "u")));
    EXPECT_TRUE(Pins().empty());
  }
}

TEST_F(E2eShortcutPath, NonAsciiFolderNamesOnTheWay) {
  const std::string shortcut = CopyExample("Minecraft.lnk", "d\xc3\xa9j\xe0/App.lnk");
  EXPECT_TRUE(Pinned(Run(shortcut, "p")));
  EXPECT_EQ(PinBytes("App.lnk"), minecraft_);
}

// --- Where the pin folder is --------------------------------------------------

using E2ePinFolderLocation = CorvTest;

TEST_F(E2ePinFolderLocation, XdgDataHomeWhenAppDataIsUnsetOrRelative) {
  const std::string shortcut = CopyExample("Example.lnk", "App.lnk");
  TemporaryFolder dataHome;
  for (const std::optional<std::string>& appData :
       {std::optional<std::string>(), std::optional<std::string>("relative/appdata")}) {
    SCOPED_TRACE(appData.value_or("(unset)"));
    ProcessOptions options;
    options.environment["APPDATA"] = appData;
    options.environment["XDG_DATA_HOME"] = dataHome.path();
    EXPECT_TRUE(Pinned(RunWith(options, {shortcut, "p"})));
    EXPECT_EQ(ListFolder(PinFolderBelow(dataHome.path())), std::vector<std::string>{"App.lnk"});
    EXPECT_TRUE(HasNoHiddenEntries(PinFolderBelow(dataHome.path())));

    EXPECT_TRUE(Unpinned(RunWith(options, {shortcut, "u"})));
    EXPECT_TRUE(ListFolder(PinFolderBelow(dataHome.path())).empty());
  }
  EXPECT_FALSE(std::filesystem::exists(WorkPath("relative")));
  EXPECT_FALSE(std::filesystem::exists(AppData() + "/Microsoft"));
}

TEST_F(E2ePinFolderLocation, HomeLocalShareAsTheLastChoice) {
  const std::string shortcut = CopyExample("Example.lnk", "App.lnk");
  TemporaryFolder home;
  ProcessOptions options;
  options.environment["APPDATA"] = std::nullopt;
  options.environment["XDG_DATA_HOME"] = "relative/data";
  options.environment["HOME"] = home.path();

  EXPECT_TRUE(Pinned(RunWith(options, {shortcut, "p"})));
  EXPECT_EQ(ListFolder(PinFolderBelow(home.path() + "/.local/share")),
            std::vector<std::string>{"App.lnk"});
  EXPECT_FALSE(std::filesystem::exists(WorkPath("relative")));
}

TEST_F(E2ePinFolderLocation, NoUsableFolderFailsToModify) {
  const std::string shortcut = CopyExample("Example.lnk", "App.lnk");
  ProcessOptions options;
  options.environment["APPDATA"] = std::nullopt;
  options.environment["XDG_DATA_HOME"] = std::nullopt;
  options.environment["HOME"] = std::nullopt;
  EXPECT_TRUE(Produced(RunWith(options, {shortcut, "p"}), kPinningNewIcon, kModifyFailed,
                       kModifyFailedStatus));
  EXPECT_TRUE(Produced(RunWith(options, {shortcut, "u"}), "", kModifyFailed, kModifyFailedStatus));

  options.environment["APPDATA"] = "appdata";
  options.environment["XDG_DATA_HOME"] = "data";
  options.environment["HOME"] = "home";
  EXPECT_TRUE(Produced(RunWith(options, {shortcut, "p"}), kPinningNewIcon, kModifyFailed,
                       kModifyFailedStatus));
  EXPECT_EQ(ListFolder(WorkPath("")), std::vector<std::string>{"App.lnk"});
}

}  // namespace
