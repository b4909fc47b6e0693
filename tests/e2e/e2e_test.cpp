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
#include <utility>
#include <vector>

#include "e2e/corv_test.h"

namespace {

using namespace corvane::e2e;

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
  WriteFileBytes(third, SampleBytes("sample.lnk"));

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

// Reached through a symbolic link, a shortcut is pinned under the link's
// name with the bytes of the file it names.
TEST_F(E2ePin, PinThroughASymbolicLinkTakesTheLinksName) {
  const std::string target = CopyExample("Example.lnk", "real/Target.lnk");
  std::filesystem::create_symlink(target, WorkPath("Link.lnk"));
  EXPECT_TRUE(Pinned(Run(WorkPath("Link.lnk"), "p")));
  EXPECT_EQ(Pins(), std::vector<std::string>{"Link.lnk"});
  EXPECT_EQ(PinBytes("Link.lnk"), example_);
}

// Every listing of pins passes over corv's own hidden names: a shortcut
// named like one is pinned under its next name.
TEST_F(E2ePin, ShortcutNamedLikeAHiddenFileTakesItsNextName) {
  CopyExample("Example.lnk", ".corv-Tools");
  ASSERT_TRUE(Pinned(Run(".corv-Tools", "p")));
  EXPECT_EQ(Pins(), std::vector<std::string>{".corv-Tools (2)"});
  EXPECT_TRUE(Unpinned(Run(".corv-Tools", "u")));
  EXPECT_TRUE(Pins().empty());
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

// A pin that cannot be taken away, in a read-only pin folder or one that
// cannot be listed, fails the unpin with the Modify line and stays.
TEST_F(E2ePinFailure, UnpinThatCannotRemoveThePinFails) {
  const std::string shortcut = CopyExample("Example.lnk", "App.lnk");
  ASSERT_TRUE(Pinned(Run(shortcut, "p")));
  ASSERT_NO_FATAL_FAILURE(RunAsOrdinaryUser());
  for (const mode_t mode : {0555, 0311}) {
    SCOPED_TRACE(mode);
    ASSERT_EQ(chmod(PinFolder().c_str(), mode), 0);
    EXPECT_TRUE(Produced(Run(shortcut, "u"), "", kModifyFailed, kModifyFailedStatus));
    ASSERT_EQ(chmod(PinFolder().c_str(), 0755), 0);
    EXPECT_EQ(Pins(), std::vector<std::string>{"App.lnk"});
  }
}

TEST_F(E2ePinFailure, ReadOnlyParentOfThePinFolderLeavesNothingBehind) {
  const std::string shortcut = CopyExample("Example.lnk", "App.lnk");
  const std::string parent = std::filesystem::path(PinFolder()).parent_path();
  std::filesystem::create_directories(parent);
  ASSERT_NO_FATAL_FAILURE(RunAsOrdinaryUser());
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

// p, v and u use only a pin folder of the caller's own, reached through the
// caller's and root's folders and links: root is refused another user's,
// and root's link is trusted only in a folder no other user can write.
TEST_F(E2ePinFolderLocation, OnlyAPinFolderOfTheCallersOwnIsUsed) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give folders to another user";
  const std::string shortcut = CopyExample("Example.lnk", "App.lnk");
  std::filesystem::create_directories(PinFolder());
  ASSERT_EQ(chown(AppData().c_str(), 65534, 65534), 0);
  EXPECT_TRUE(Produced(Run(shortcut, "p"), kPinningNewIcon, kModifyFailed, kModifyFailedStatus));
  const ProcessResult checked = Run(shortcut, "v");
  EXPECT_EQ(checked.err, "Failed to enumerate objects.\r\n" + std::string(kModifyFailed));
  EXPECT_EQ(checked.exitStatus, kModifyFailedStatus);

  ASSERT_NO_FATAL_FAILURE(RunAsOrdinaryUser());
  TemporaryFolder links;
  ASSERT_EQ(chmod(links.path().c_str(), 0755), 0);
  const auto through = [&](const std::string& folder, mode_t bits) {
    std::filesystem::create_directory(links.path() + folder);
    chmod((links.path() + folder).c_str(), bits);
    std::filesystem::create_symlink(AppData(), links.path() + folder + "/appdata");
    ProcessOptions options;
    options.environment["APPDATA"] = links.path() + folder + "/appdata";
    return RunWith(options, {shortcut, "p"});
  };
  EXPECT_TRUE(Produced(through("/open", 0777), kPinningNewIcon, kModifyFailed, 4));
  EXPECT_TRUE(Pinned(through("/closed", 0755)));
  EXPECT_EQ(Pins(), std::vector<std::string>{"App.lnk"});
}

}  // namespace
