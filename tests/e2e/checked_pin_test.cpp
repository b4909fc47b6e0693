// corv's v command over the real binary: the target it reads from real
// shortcut files, the two searches of the pin folder with every line they
// print, in order and on its stream, and what is pinned afterwards. Also
// unpinning by target, which lets a shortcut that changed since it was
// pinned, or a second shortcut to the same program, take its pins off.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "e2e/corv_test.h"
#include "support/sample_readings.h"

namespace {

using namespace corvane::e2e;
using corvane::testing::RefusedAsCorrupt;
using corvane::testing::TargetByWindowsRules;

constexpr std::string_view kWindowsPinFolder =
    "\\Microsoft\\Internet Explorer\\Quick Launch\\User Pinned\\TaskBar";
constexpr std::string_view kCouldNotOpen = "Could not open ";
constexpr std::string_view kSearchingMatchFor = "Searching match for ";
constexpr std::string_view kSearchingPath = "Searching path: ";
constexpr std::string_view kFailedToOpen = "Error: failed to open\r\n";
constexpr std::string_view kHasFoundMatch = "has found match\r\n";
constexpr std::string_view kParseFailed = "Failed to parse taskbar folder path.\r\n";

// The sample8/9/11/12/14/15 family all point here; sample13 elsewhere.
const std::string kBrowser = "C:\\AnonymusBrowser-v2.0\\AnonymusBrowser.exe";
const std::string kCmd = "C:\\Windows\\System32\\cmd.exe";

std::string Utf16Le(std::u16string_view text) {
  std::string out;
  for (const char16_t unit : text) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
  }
  return out;
}

// Replaces every occurrence of from with to (same size), and says how many
// there were.
int ReplaceAll(std::string& bytes, const std::string& from, const std::string& to) {
  int count = 0;
  for (std::size_t at = bytes.find(from); at != std::string::npos;
       at = bytes.find(from, at + to.size())) {
    bytes.replace(at, from.size(), to);
    ++count;
  }
  return count;
}

std::u16string Widen(std::string_view latin1) {
  std::u16string wide;
  for (const char c : latin1) wide += static_cast<char16_t>(static_cast<unsigned char>(c));
  return wide;
}

// corv's standard output as it should come out: a character above U+00FF
// on a wide line ends that line there and silences the wide stream for the
// rest of the run; the two narrow lines still come out.
class ExpectedStdout {
 public:
  ExpectedStdout& Wide(std::initializer_list<std::u16string_view> pieces) {
    for (const std::u16string_view piece : pieces) {
      for (const char16_t unit : piece) {
        if (silenced_) return *this;
        if (unit > 0xFF) {
          silenced_ = true;
          return *this;
        }
        bytes_ += static_cast<char>(unit);
      }
    }
    if (!silenced_) bytes_ += "\r\n";
    return *this;
  }
  ExpectedStdout& Narrow(std::string_view line) {
    bytes_ += line;
    bytes_ += "\r\n";
    return *this;
  }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
  bool silenced_ = false;
};

class CheckedPinTest : public CorvTest {
 protected:
  void TearDown() override {
    for (const std::string& name : hiddenPins_) std::filesystem::remove(PinFolder() + "/" + name);
    CorvTest::TearDown();
  }

  void MakePinFolder() { std::filesystem::create_directories(PinFolder()); }

  // Puts bytes into the pin folder under a name, as if pinned before.
  void PlacePin(const std::string& name, const std::string& bytes) {
    MakePinFolder();
    WriteFileBytes(PinFolder() + "/" + name, bytes);
    if (name.front() == '.') hiddenPins_.push_back(name);
  }

  std::string CopySample(const std::string& sample, const std::string& as) {
    return WriteWorkFile(as, SampleBytes(sample + ".lnk"));
  }

  // The pin folder as the searches write it: the application-data folder
  // as given, then the Windows path below it.
  static std::string ShownPinFolder(const std::string& appData) {
    return appData + std::string(kWindowsPinFolder);
  }
  std::string ShownPinFolder() const { return ShownPinFolder(AppData()); }

  // The namespace search's two lines when it gets as far as the folder.
  static std::string NamespaceLines(const std::string& target, const std::string& appData) {
    return std::string(kSearchingMatchFor) + target + "\r\n" + std::string(kSearchingPath) +
           ShownPinFolder(appData) + "\r\n";
  }
  std::string NamespaceLines(const std::string& target) const {
    return NamespaceLines(target, AppData());
  }

  static std::string FileSearchOpening(const std::string& target) {
    return std::string(kSearchingMatchFor) + target + "\r\n";
  }

  // A file search candidate that reads: its path, then its target.
  std::string Candidate(const std::string& name, const std::string& target) const {
    return ShownPinFolder() + "\\" + name + "\r\n" + target + "\r\n";
  }

  std::string UnreadableCandidate(const std::string& name) const {
    return ShownPinFolder() + "\\" + name + "\r\n" + std::string(kFailedToOpen);
  }

  static std::string CouldNotOpen(const std::string& path) {
    return std::string(kCouldNotOpen) + path + "\r\n";
  }

 private:
  std::vector<std::string> hiddenPins_;
};

// --- The target read from each sample ---------------------------------------

// A target as the wide lines show it.
std::u16string Utf16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

using E2eCheckedPinSampleTargets = CheckedPinTest;

TEST_F(E2eCheckedPinSampleTargets, VWithNothingPinnedShowsEachTargetThenPins) {
  for (const std::string& name : SampleNames()) {
    SCOPED_TRACE(name);
    std::filesystem::remove_all(PinFolder());
    MakePinFolder();
    const std::string shortcut = WriteWorkFile(name, SampleBytes(name));
    const std::optional<std::wstring> target = TargetByWindowsRules(name);

    // A sample the link object refuses is refused by the pin that goes ahead
    // after the searches.
    const bool refused = RefusedAsCorrupt(name);
    ExpectedStdout out;
    if (target) {
      out.Wide({u"Searching match for ", Utf16(*target)})
          .Wide({u"Searching path: ", Widen(ShownPinFolder())})
          .Wide({u"Searching match for ", Utf16(*target)});
    } else {
      out.Wide({u"Could not open ", Widen(shortcut)}).Wide({u"Could not open ", Widen(shortcut)});
    }
    out.Narrow(kPinningNewIcon.substr(0, kPinningNewIcon.size() - 2));

    const ProcessResult result = Run(shortcut, "v");
    if (refused) {
      EXPECT_TRUE(Produced(result, out.bytes(), kModifyFailed, kModifyFailedStatus));
      EXPECT_TRUE(Pins().empty());
      continue;
    }
    EXPECT_TRUE(Produced(result, out.bytes(), "", 0));
    EXPECT_EQ(Pins(), std::vector<std::string>{name});
    EXPECT_EQ(PinBytes(name), SampleBytes(name));
  }
}

TEST_F(E2eCheckedPinSampleTargets, CharacterAboveLatin1EndsTheWideLinesButPinning) {
  // sample5's last item renamed from U+00A0 ".exe" to U+0100 ".exe".
  std::string bytes = SampleBytes("sample5.lnk");
  ASSERT_EQ(ReplaceAll(bytes, Utf16Le(u"\u00a0.exe"), Utf16Le(u"\u0100.exe")), 2);
  const std::string shortcut = WriteWorkFile("Wide.lnk", bytes);
  MakePinFolder();

  const std::string out = "Searching match for E:\\\xa0\\" + std::string(kPinningNewIcon);
  EXPECT_TRUE(Produced(Run(shortcut, "v"), out, "", 0));
  EXPECT_EQ(Pins(), std::vector<std::string>{"Wide.lnk"});
}

// On a terminal stdout is written as it comes: the start of a line cut at
// U+0100 is there before the namespace search's failure that follows it.
// Written to a file, stdout waits for the next line to go out.
TEST_F(E2eCheckedPinSampleTargets, OnATerminalACutLineComesOutAtOnce) {
  std::string bytes = SampleBytes("sample5.lnk");
  ASSERT_EQ(ReplaceAll(bytes, Utf16Le(u"\u00a0.exe"), Utf16Le(u"\u0100.exe")), 2);
  const std::string shortcut = WriteWorkFile("Wide.lnk", bytes);
  const std::string cut = "Searching match for E:\\\xa0\\";
  // No pin folder: the namespace search fails, and the pin then makes it.
  ProcessOptions terminal;
  terminal.onTerminal = true;
  EXPECT_TRUE(Produced(RunWith(terminal, {shortcut, "v"}),
                       cut + std::string(kParseFailed) + std::string(kPinningNewIcon), "", 0));
  std::filesystem::remove_all(PinFolder());
  ProcessOptions file;
  file.mergeStderrIntoStdout = true;
  EXPECT_TRUE(Produced(RunWith(file, {shortcut, "v"}),
                       std::string(kParseFailed) + cut + std::string(kPinningNewIcon), "", 0));
}

// --- The two searches ----------------------------------------------------------

using E2eCheckedPin = CheckedPinTest;

TEST_F(E2eCheckedPin, EmptyPinFolderRunsBothSearchesThenPins) {
  MakePinFolder();
  const std::string shortcut = CopySample("sample8", "Browser.lnk");

  EXPECT_TRUE(Produced(
      Run(shortcut, "v"),
      NamespaceLines(kBrowser) + FileSearchOpening(kBrowser) + std::string(kPinningNewIcon), "",
      0));
  EXPECT_EQ(Pins(), std::vector<std::string>{"Browser.lnk"});
  EXPECT_EQ(PinBytes("Browser.lnk"), SampleBytes("sample8.lnk"));
}

TEST_F(E2eCheckedPin, MissingPinFolderIsReportedAndThePinCreatesIt) {
  const std::string shortcut = CopySample("sample8", "Browser.lnk");

  EXPECT_TRUE(Produced(
      Run(shortcut, "v"),
      NamespaceLines(kBrowser) + FileSearchOpening(kBrowser) + std::string(kPinningNewIcon),
      kParseFailed, 0));
  EXPECT_EQ(Pins(), std::vector<std::string>{"Browser.lnk"});

  // With both streams in one file, the failure sits right after the
  // namespace search's lines.
  TemporaryFolder otherAppData;
  ProcessOptions merged;
  merged.environment["APPDATA"] = otherAppData.path();
  merged.mergeStderrIntoStdout = true;
  EXPECT_TRUE(Produced(RunWith(merged, {shortcut, "v"}),
                       NamespaceLines(kBrowser, otherAppData.path()) + std::string(kParseFailed) +
                           FileSearchOpening(kBrowser) + std::string(kPinningNewIcon),
                       "", 0));
  EXPECT_EQ(ListFolder(PinFolderBelow(otherAppData.path())),
            std::vector<std::string>{"Browser.lnk"});
}

TEST_F(E2eCheckedPin, SameButtonPinnedLeavesOnlyTheNamespaceLines) {
  PlacePin("Pinned.lnk", SampleBytes("sample9.lnk"));
  const std::string shortcut = CopySample("sample9", "Browser.lnk");
  EXPECT_TRUE(Produced(Run(shortcut, "v"), NamespaceLines(kBrowser), "", 0));
  EXPECT_EQ(Pins(), std::vector<std::string>{"Pinned.lnk"});
  EXPECT_EQ(PinBytes("Pinned.lnk"), SampleBytes("sample9.lnk"));
}

// One program started with other arguments (sample8/11/12/14/15 against
// sample9), or under another AppUserModelID, makes another taskbar button:
// each is pinned beside the pin of the same target.
TEST_F(E2eCheckedPin, SameTargetWithOtherArgumentsOrIdentifierIsPinned) {
  PlacePin("Pinned.lnk", SampleBytes("sample9.lnk"));
  std::vector<std::string> pins{"Pinned.lnk"};
  for (const std::string sample : {"sample8", "sample11", "sample12", "sample14", "sample15"}) {
    SCOPED_TRACE(sample);
    const std::string shortcut = CopySample(sample, sample + ".lnk");
    const corvane::testing::ProcessResult run = Run(shortcut, "v");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_NE(run.out.find(Candidate("Pinned.lnk", kBrowser)), std::string::npos);
    EXPECT_TRUE(run.out.ends_with(kPinningNewIcon));
    pins.push_back(sample + ".lnk");
  }
  const std::string work = CopySample("sample9", "Work.lnk");
  ASSERT_EQ(Run(work, "s", "Contoso.Browser.Work").exitStatus, 0);
  EXPECT_EQ(Run(work, "v").exitStatus, 0);
  pins.push_back("Work.lnk");
  std::sort(pins.begin(), pins.end());
  EXPECT_EQ(Pins(), pins);
}

TEST_F(E2eCheckedPin, OneDifferingPinShowsEveryLineInOrder) {
  PlacePin("Cmd.lnk", SampleBytes("sample13.lnk"));
  const std::string shortcut = CopySample("sample8", "Browser.lnk");

  const std::string out = "Searching match for " + kBrowser + "\r\n" +      //
                          "Searching path: " + ShownPinFolder() + "\r\n" +  //
                          "Searching match for " + kBrowser + "\r\n" +      //
                          ShownPinFolder() + "\\Cmd.lnk\r\n" +              //
                          kCmd + "\r\n" +                                   //
                          "No matching icon found, pinning new icon\r\n";
  EXPECT_TRUE(Produced(Run(shortcut, "v"), out, "", 0));
  EXPECT_EQ(Pins(), (std::vector<std::string>{"Browser.lnk", "Cmd.lnk"}));
  EXPECT_EQ(PinBytes("Cmd.lnk"), SampleBytes("sample13.lnk"));
  EXPECT_EQ(PinBytes("Browser.lnk"), SampleBytes("sample8.lnk"));
}

// A shortcut whose LinkInfo alone names its target, in ANSI.
std::string ShortcutTo(const std::string& target) {
  const auto u32 = [](std::size_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
  };
  // The header with HasLinkInfo alone; a VolumeID of 0x11 bytes at 0x1C,
  // then LocalBasePath, then an empty CommonPathSuffix.
  const std::string header = SampleBytes("microsoft_example.lnk").substr(0, 0x4C);
  const std::size_t suffix = 0x2D + target.size() + 1;
  const std::string info = u32(suffix + 1) + u32(0x1C) + u32(1) + u32(0x1C) + u32(0x2D) + u32(0) +
                           u32(suffix) + u32(0x11) + u32(3) + u32(0) + u32(0x10) +
                           std::string(1, '\0') + target + std::string(2, '\0');
  return header.substr(0, 0x14) + u32(0x02) + header.substr(0x18) + info + u32(0);
}

// GetPath fills a buffer of 260 units, so two targets of 260 units or more
// that share their first 259 are one target to v; one that differs within
// them is another.
TEST_F(E2eCheckedPin, LongTargetsAreComparedByTheirFirst259Units) {
  const std::string common = "C:\\Programs\\" + std::string(247, 'x');
  ASSERT_EQ(common.size(), 259u);
  const std::string otherTarget = "C:\\Programs\\" + std::string(246, 'x') + "y";
  const std::string first = WriteWorkFile("First.lnk", ShortcutTo(common + "\\First.exe"));
  const std::string second = WriteWorkFile("Second.lnk", ShortcutTo(common + "\\Second.exe"));
  const std::string other = WriteWorkFile("Other.lnk", ShortcutTo(otherTarget + "\\First.exe"));
  ASSERT_TRUE(Pinned(Run(first, "p")));

  EXPECT_TRUE(Produced(Run(second, "v"), NamespaceLines(common), "", 0));
  EXPECT_EQ(Pins(), std::vector<std::string>{"First.lnk"});
  EXPECT_TRUE(Produced(Run(other, "v"),
                       NamespaceLines(otherTarget) + FileSearchOpening(otherTarget) +
                           Candidate("First.lnk", common) + std::string(kPinningNewIcon),
                       "", 0));
  EXPECT_EQ(Pins(), (std::vector<std::string>{"First.lnk", "Other.lnk"}));
}

TEST_F(E2eCheckedPin, TargetDifferingOnlyInLetterCaseIsNoMatch) {
  // sample8 with the program's name starting in lower case, in the item
  // list's long name and the LinkInfo path alike (and the other copies of
  // the name in the file).
  std::string lower = SampleBytes("sample8.lnk");
  ASSERT_GE(ReplaceAll(lower, "AnonymusBrowser.exe", "anonymusBrowser.exe"), 1);
  ASSERT_GE(ReplaceAll(lower, Utf16Le(u"AnonymusBrowser.exe"), Utf16Le(u"anonymusBrowser.exe")), 1);
  const std::string lowerTarget = "C:\\AnonymusBrowser-v2.0\\anonymusBrowser.exe";
  MakePinFolder();

  // Checked-pinned into an empty folder, it shows the target it is read as.
  const std::string lowerShortcut = WriteWorkFile("Lower.lnk", lower);
  ASSERT_TRUE(Produced(
      Run(lowerShortcut, "v"),
      NamespaceLines(lowerTarget) + FileSearchOpening(lowerTarget) + std::string(kPinningNewIcon),
      "", 0));
  ASSERT_EQ(Pins(), std::vector<std::string>{"Lower.lnk"});

  const std::string shortcut = CopySample("sample8", "Browser.lnk");
  EXPECT_TRUE(Produced(Run(shortcut, "v"),
                       NamespaceLines(kBrowser) + FileSearchOpening(kBrowser) +
                           Candidate("Lower.lnk", lowerTarget) + std::string(kPinningNewIcon),
                       "", 0));
  EXPECT_EQ(Pins(), (std::vector<std::string>{"Browser.lnk", "Lower.lnk"}));
}

TEST_F(E2eCheckedPin, UnreadablePinIsReportedByTheFileSearchOnly) {
  PlacePin("Broken.lnk", "not a shortcut \x01\x02\xff at all");
  PlacePin("Cmd.lnk", SampleBytes("sample13.lnk"));
  const std::string shortcut = CopySample("sample8", "Browser.lnk");

  EXPECT_TRUE(Produced(Run(shortcut, "v"),
                       NamespaceLines(kBrowser) + FileSearchOpening(kBrowser) +
                           UnreadableCandidate("Broken.lnk") + Candidate("Cmd.lnk", kCmd) +
                           std::string(kPinningNewIcon),
                       "", 0));
  EXPECT_EQ(Pins(), (std::vector<std::string>{"Broken.lnk", "Browser.lnk", "Cmd.lnk"}));
}

TEST_F(E2eCheckedPin, PinWithoutReadPermissionIsReportedByTheFileSearchOnly) {
  PlacePin("Locked.lnk", SampleBytes("sample13.lnk"));
  PlacePin("Cmd.lnk", SampleBytes("sample13.lnk"));
  const std::string shortcut = CopySample("sample8", "Browser.lnk");
  ASSERT_NO_FATAL_FAILURE(RunAsOrdinaryUser());
  ASSERT_EQ(chmod((PinFolder() + "/Locked.lnk").c_str(), 0), 0);

  EXPECT_TRUE(Produced(Run(shortcut, "v"),
                       NamespaceLines(kBrowser) + FileSearchOpening(kBrowser) +
                           Candidate("Cmd.lnk", kCmd) + UnreadableCandidate("Locked.lnk") +
                           std::string(kPinningNewIcon),
                       "", 0));
  EXPECT_EQ(Pins(), (std::vector<std::string>{"Browser.lnk", "Cmd.lnk", "Locked.lnk"}));
}

TEST_F(E2eCheckedPin, FolderNamedLikeAShortcutIsAFileSearchCandidate) {
  MakePinFolder();
  std::filesystem::create_directory(PinFolder() + "/x.lnk");
  const std::string shortcut = CopySample("sample8", "Browser.lnk");

  EXPECT_TRUE(Produced(Run(shortcut, "v"),
                       NamespaceLines(kBrowser) + FileSearchOpening(kBrowser) +
                           UnreadableCandidate("x.lnk") + std::string(kPinningNewIcon),
                       "", 0));
  EXPECT_EQ(Pins(), (std::vector<std::string>{"Browser.lnk", "x.lnk"}));
  EXPECT_TRUE(std::filesystem::is_directory(PinFolder() + "/x.lnk"));
}

// The pin goes ahead after both searches, and the pinned list refuses a
// file that is no shortcut.
TEST_F(E2eCheckedPin, UnreadableGivenShortcutSkipsBothSearchesAndIsNotPinned) {
  PlacePin("Cmd.lnk", SampleBytes("sample13.lnk"));
  const std::string garbage = "not a shortcut \x01\x02\xff at all";
  const std::string shortcut = WriteWorkFile("Bad.lnk", garbage);

  EXPECT_TRUE(
      Produced(Run(shortcut, "v"),
               CouldNotOpen(shortcut) + CouldNotOpen(shortcut) + std::string(kPinningNewIcon),
               kModifyFailed, kModifyFailedStatus));
  EXPECT_EQ(Pins(), std::vector<std::string>{"Cmd.lnk"});

  // Given as typed, relative to the working directory.
  EXPECT_TRUE(
      Produced(Run("Bad.lnk", "v"),
               CouldNotOpen("Bad.lnk") + CouldNotOpen("Bad.lnk") + std::string(kPinningNewIcon),
               kModifyFailed, kModifyFailedStatus));
  EXPECT_EQ(Pins(), std::vector<std::string>{"Cmd.lnk"});
}

TEST_F(E2eCheckedPin, MissingGivenShortcutFailsToGetAnItem) {
  PlacePin("Cmd.lnk", SampleBytes("sample13.lnk"));
  const std::string missing = WorkPath("missing.lnk");

  EXPECT_TRUE(Produced(Run(missing, "v"),
                       CouldNotOpen(missing) + CouldNotOpen(missing) + std::string(kPinningNewIcon),
                       kNoItem, kNoItemStatus));
  EXPECT_EQ(Pins(), std::vector<std::string>{"Cmd.lnk"});
}

TEST_F(E2eCheckedPin, HiddenPinWithTheSameTargetIsFoundByTheFileSearchOnly) {
  // Sorted by name: .Cmd.lnk, .Same.lnk, Zed.lnk. The search stops at the
  // match, so Zed.lnk is never shown.
  PlacePin(".Cmd.lnk", SampleBytes("sample13.lnk"));
  PlacePin(".Same.lnk", SampleBytes("sample9.lnk"));
  PlacePin("Zed.lnk", SampleBytes("sample13.lnk"));
  const std::string shortcut = CopySample("sample9", "Browser.lnk");

  EXPECT_TRUE(Produced(Run(shortcut, "v"),
                       NamespaceLines(kBrowser) + FileSearchOpening(kBrowser) +
                           Candidate(".Cmd.lnk", kCmd) + Candidate(".Same.lnk", kBrowser) +
                           std::string(kHasFoundMatch),
                       "", 0));
  EXPECT_EQ(Pins(), (std::vector<std::string>{".Cmd.lnk", ".Same.lnk", "Zed.lnk"}));
}

// --- Unpinning by target -------------------------------------------------------

using E2eCheckedPinUnpinByTarget = CheckedPinTest;

// A shortcut given an AppUserModelID since it was pinned makes another
// button: v pins it again. Unpinned, that pin goes first; then the old one,
// which holds the same target under the shortcut's name.
TEST_F(E2eCheckedPinUnpinByTarget, ShortcutChangedSincePinningIsStillUnpinned) {
  const std::string shortcut = CopySample("sample8", "Browser.lnk");
  ASSERT_TRUE(Pinned(Run(shortcut, "p")));

  ASSERT_TRUE(Produced(
      Run(shortcut, "s", "Corvane.Test"),
      "Successfully set AppUserModelID 'Corvane.Test' for shortcut: " + shortcut + "\r\n", "", 0));
  ASSERT_NE(ReadFileBytes(shortcut), SampleBytes("sample8.lnk"));

  EXPECT_EQ(Run(shortcut, "v").exitStatus, 0);
  EXPECT_EQ(Pins(), (std::vector<std::string>{"Browser (2).lnk", "Browser.lnk"}));
  EXPECT_EQ(PinBytes("Browser (2).lnk"), ReadFileBytes(shortcut));

  EXPECT_TRUE(Unpinned(Run(shortcut, "u")));
  EXPECT_EQ(Pins(), std::vector<std::string>{"Browser.lnk"});
  EXPECT_TRUE(Unpinned(Run(shortcut, "u")));
  EXPECT_TRUE(Pins().empty());
}

// Two shortcuts to one program under different AppUserModelIDs are two
// buttons on the taskbar: unpinning one leaves the other's pin. A pin whose
// shortcut got another AppUserModelID since it was pinned is still found
// by its name.
TEST_F(E2eCheckedPinUnpinByTarget, PinsOfAnotherAppUserModelIdAreAnotherButton) {
  const std::string work = CopySample("sample8", "Work Profile.lnk");
  const std::string home = CopySample("sample8", "Home Profile.lnk");
  ASSERT_EQ(Run(work, "s", "Contoso.Browser.Work").exitStatus, 0);
  ASSERT_EQ(Run(home, "s", "Contoso.Browser.Home").exitStatus, 0);
  ASSERT_TRUE(Pinned(Run(work, "p")));
  ASSERT_TRUE(Pinned(Run(home, "p")));

  EXPECT_TRUE(Unpinned(Run(home, "u")));
  EXPECT_EQ(Pins(), std::vector<std::string>{"Work Profile.lnk"});
  ASSERT_EQ(Run(work, "s", "Contoso.Browser.Renamed").exitStatus, 0);
  EXPECT_TRUE(Unpinned(Run(work, "u")));
  EXPECT_EQ(Pins(), std::vector<std::string>{});
}

// Pins of the same target with other arguments are other buttons on the
// taskbar: only the given shortcut's own pin goes.
TEST_F(E2eCheckedPinUnpinByTarget, UnpinLeavesPinsOfTheSameTargetWithOtherArguments) {
  const std::string first = CopySample("sample8", "First.lnk");
  const std::string second = CopySample("sample9", "Second.lnk");
  const std::string cmd = CopySample("sample13", "Cmd.lnk");
  ASSERT_TRUE(Pinned(Run(first, "p")));
  ASSERT_TRUE(Pinned(Run(second, "p")));
  ASSERT_TRUE(Pinned(Run(cmd, "p")));
  ASSERT_EQ(Pins(), (std::vector<std::string>{"Cmd.lnk", "First.lnk", "Second.lnk"}));

  EXPECT_TRUE(Unpinned(Run(first, "u")));
  EXPECT_EQ(Pins(), (std::vector<std::string>{"Cmd.lnk", "Second.lnk"}));
  EXPECT_EQ(PinBytes("Cmd.lnk"), SampleBytes("sample13.lnk"));
}

}  // namespace
