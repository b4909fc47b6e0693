// The stand-in's pinned-list object: Modify pins a shortcut by copying it
// into the taskbar's pin folder below the application-data folder, and
// unpins it by removing the copies of it from there.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "shell/com.h"
#include "shell/item_id_list.h"
#include "shell/owners.h"
#include "shell/pinned_list.h"
#include "shell/posix/host/native_text.h"
#include "support/process.h"

namespace {

using corvane::com_ptr;
using corvane::unique_idlist;
using corvane::posix::DecodeNativeText;
using corvane::testing::ListFolder;
using corvane::testing::ReadFileBytes;
using corvane::testing::ScopedVariable;
using corvane::testing::TemporaryFolder;
using corvane::testing::WriteFileBytes;

constexpr HRESULT kNotFound = HResultFromBits(0x80070490);
constexpr HRESULT kInvalidArgument = HResultFromBits(0x80070057);
constexpr HRESULT kCorrupt = HResultFromBits(0x80070570);
constexpr HRESULT kFileTooLarge = HResultFromBits(0x800700DF);

// Real shortcut files from the field; read-only.
std::string SamplesFolder() { return CORVANE_SAMPLES_DIR; }

std::string Sample(const std::string& name) {
  const std::string bytes = ReadFileBytes(SamplesFolder() + "/" + name);
  EXPECT_FALSE(bytes.empty()) << "missing sample " << SamplesFolder() << "/" << name;
  return bytes;
}

std::vector<std::string> HiddenEntries(const std::string& folder) {
  std::vector<std::string> hidden;
  for (const std::string& name : ListFolder(folder)) {
    if (name[0] == '.') hidden.push_back(name);
  }
  return hidden;
}

bool IsFolder(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

ino_t InodeOf(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 ? status.st_ino : 0;
}

// APPDATA points at a fresh folder; shortcuts to pin are written below
// "src". The apartment is open for the whole test.
class PosixPinnedList : public ::testing::Test {
 protected:
  PosixPinnedList() : appData_(work_.path() + "/appdata"), appDataVariable_("APPDATA", appData_) {}

  void SetUp() override { ASSERT_EQ(CoInitialize(nullptr), S_OK); }
  void TearDown() override {
    CoUninitialize();
    // Whatever happened, no temporary file is left behind.
    EXPECT_EQ(HiddenEntries(PinFolder()), std::vector<std::string>{});
  }

  std::string PinFolder() const {
    return appData_ + "/Microsoft/Internet Explorer/Quick Launch/User Pinned/TaskBar";
  }
  std::string Pinned(const std::string& name) const { return PinFolder() + "/" + name; }
  std::vector<std::string> PinnedNames() const { return ListFolder(PinFolder()); }

  // Writes a shortcut below "src" (folders included) and gives its path.
  std::string Shortcut(const std::string& relative, const std::string& bytes) {
    const std::string path = work_.path() + "/src/" + relative;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteFileBytes(path, bytes);
    return path;
  }

  // Writes a file straight into the pin folder, as if pinned earlier.
  void PlacePin(const std::string& name, const std::string& bytes) {
    std::filesystem::create_directories(PinFolder());
    WriteFileBytes(Pinned(name), bytes);
  }

  static unique_idlist ListFor(const std::string& path) {
    unique_idlist list(ILCreateFromPathW(DecodeNativeText(path).c_str()));
    EXPECT_TRUE(list) << "no item-ID list for " << path;
    return list;
  }

  static HRESULT Modify(PCIDLIST_ABSOLUTE unpin, PCIDLIST_ABSOLUTE pin) {
    com_ptr<IPinnedList3> list;
    const HRESULT created =
        CoCreateInstance(PinnedListClassId, nullptr, CLSCTX_ALL, IID_IPinnedList3, list.put_void());
    EXPECT_EQ(created, S_OK);
    if (FAILED(created)) return created;
    return list->Modify(unpin, pin, PinnedListModifyCaller);
  }

  static HRESULT Pin(const std::string& path) {
    const unique_idlist list = ListFor(path);
    return list ? Modify(nullptr, list.get()) : E_UNEXPECTED;
  }
  static HRESULT Unpin(const std::string& path) {
    const unique_idlist list = ListFor(path);
    return list ? Modify(list.get(), nullptr) : E_UNEXPECTED;
  }

  TemporaryFolder work_;
  std::string appData_;
  ScopedVariable appDataVariable_;
};

using PosixPinnedListPin = PosixPinnedList;
using PosixPinnedListUnpin = PosixPinnedList;
using PosixPinnedListModify = PosixPinnedList;

TEST_F(PosixPinnedListPin, CopiesTheShortcutByteForByteUnderItsName) {
  const std::string bytes = Sample("sample.lnk");
  const std::string source = Shortcut("App.lnk", bytes);
  ASSERT_FALSE(IsFolder(appData_));

  EXPECT_EQ(Pin(source), S_OK);
  EXPECT_EQ(PinnedNames(), std::vector<std::string>{"App.lnk"});
  EXPECT_EQ(ReadFileBytes(Pinned("App.lnk")), bytes);
  EXPECT_EQ(ReadFileBytes(source), bytes);
}

TEST_F(PosixPinnedListPin, IntoAnExistingPinFolderKeepsWhatIsThere) {
  PlacePin("Other.lnk", Sample("sample2.lnk"));
  const std::string source = Shortcut("App.lnk", Sample("sample.lnk"));
  EXPECT_EQ(Pin(source), S_OK);
  EXPECT_EQ(PinnedNames(), (std::vector<std::string>{"App.lnk", "Other.lnk"}));
  EXPECT_EQ(ReadFileBytes(Pinned("Other.lnk")), Sample("sample2.lnk"));
}

TEST_F(PosixPinnedListPin, PinningAgainWritesNothingNew) {
  const std::string source = Shortcut("App.lnk", Sample("sample.lnk"));
  ASSERT_EQ(Pin(source), S_OK);
  const ino_t first = InodeOf(Pinned("App.lnk"));

  EXPECT_EQ(Pin(source), S_OK);
  EXPECT_EQ(PinnedNames(), std::vector<std::string>{"App.lnk"});
  EXPECT_EQ(InodeOf(Pinned("App.lnk")), first);
}

TEST_F(PosixPinnedListPin, SameNameWithOtherBytesGetsTheNextNumber) {
  const std::string first = Shortcut("a/App.lnk", Sample("sample.lnk"));
  const std::string second = Shortcut("b/App.lnk", Sample("sample2.lnk"));
  const std::string third = Shortcut("c/App.lnk", Sample("sample3.lnk"));

  EXPECT_EQ(Pin(first), S_OK);
  EXPECT_EQ(Pin(second), S_OK);
  EXPECT_EQ(Pin(third), S_OK);
  EXPECT_EQ(PinnedNames(), (std::vector<std::string>{"App (2).lnk", "App (3).lnk", "App.lnk"}));
  EXPECT_EQ(ReadFileBytes(Pinned("App.lnk")), Sample("sample.lnk"));
  EXPECT_EQ(ReadFileBytes(Pinned("App (2).lnk")), Sample("sample2.lnk"));
  EXPECT_EQ(ReadFileBytes(Pinned("App (3).lnk")), Sample("sample3.lnk"));

  // Each of them is pinned already, under whichever name it got.
  EXPECT_EQ(Pin(second), S_OK);
  EXPECT_EQ(Pin(third), S_OK);
  EXPECT_EQ(PinnedNames().size(), 3u);
}

TEST_F(PosixPinnedListPin, FilesOfEqualSizeDifferingInTheirLastBytesAreDifferent) {
  // The same length, differing only in their last byte (past the terminal
  // block, where no reader of the link looks).
  const std::string first = Shortcut("a/App.lnk", Sample("sample.lnk") + "tail-a");
  const std::string second = Shortcut("b/App.lnk", Sample("sample.lnk") + "tail-b");

  EXPECT_EQ(Pin(first), S_OK);
  EXPECT_EQ(Pin(second), S_OK);
  EXPECT_EQ(PinnedNames(), (std::vector<std::string>{"App (2).lnk", "App.lnk"}));
  EXPECT_EQ(ReadFileBytes(Pinned("App (2).lnk")), Sample("sample.lnk") + "tail-b");
}

TEST_F(PosixPinnedListPin, IdenticalBytesUnderAnotherNameAreNotPinnedTwice) {
  const std::string bytes = Sample("darwin_block.lnk");
  const std::string original = Shortcut("App.lnk", bytes);
  const std::string copy = Shortcut("elsewhere/Copy of App.lnk", bytes);

  EXPECT_EQ(Pin(original), S_OK);
  EXPECT_EQ(Pin(copy), S_OK);
  EXPECT_EQ(PinnedNames(), std::vector<std::string>{"App.lnk"});
}

TEST_F(PosixPinnedListPin, FolderWithTheShortcutsNameIsPassedOver) {
  std::filesystem::create_directories(Pinned("App.lnk"));
  const std::string source = Shortcut("App.lnk", Sample("sample.lnk"));

  EXPECT_EQ(Pin(source), S_OK);
  EXPECT_EQ(PinnedNames(), (std::vector<std::string>{"App (2).lnk", "App.lnk"}));
  EXPECT_TRUE(IsFolder(Pinned("App.lnk")));
  EXPECT_EQ(ListFolder(Pinned("App.lnk")), std::vector<std::string>{});
  EXPECT_EQ(ReadFileBytes(Pinned("App (2).lnk")), Sample("sample.lnk"));
}

TEST_F(PosixPinnedListPin, PipeNamedLikeTheShortcutIsPassedOverWithoutWaiting) {
  std::filesystem::create_directories(PinFolder());
  ASSERT_EQ(mkfifo(Pinned("App.lnk").c_str(), 0600), 0);
  const std::string source = Shortcut("App.lnk", Sample("sample.lnk"));

  EXPECT_EQ(Pin(source), S_OK);
  EXPECT_EQ(PinnedNames(), (std::vector<std::string>{"App (2).lnk", "App.lnk"}));
  EXPECT_EQ(ReadFileBytes(Pinned("App (2).lnk")), Sample("sample.lnk"));
}

TEST_F(PosixPinnedListPin, PipeCannotBePinned) {
  std::filesystem::create_directories(work_.path() + "/src");
  const std::string pipe = work_.path() + "/src/App.lnk";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);

  EXPECT_TRUE(FAILED(Pin(pipe)));
  EXPECT_EQ(PinnedNames(), std::vector<std::string>{});
}

TEST_F(PosixPinnedListPin, NumberGoesBeforeTheLastExtension) {
  PlacePin("my.app.lnk", "taken");
  PlacePin("Readme", "taken");
  EXPECT_EQ(Pin(Shortcut("my.app.lnk", Sample("sample.lnk"))), S_OK);
  EXPECT_EQ(Pin(Shortcut("Readme", Sample("sample2.lnk"))), S_OK);
  EXPECT_EQ(PinnedNames(),
            (std::vector<std::string>{"Readme", "Readme (2)", "my.app (2).lnk", "my.app.lnk"}));
}

TEST_F(PosixPinnedListPin, NonAsciiNamesKeepTheirBytes) {
  const std::string name = "Caf\xc3\xa9 \xe2\x82\xac \xff.lnk";
  const std::string source = Shortcut(name, Sample("sample4.lnk"));
  EXPECT_EQ(Pin(source), S_OK);
  EXPECT_EQ(PinnedNames(), std::vector<std::string>{name});
}

TEST_F(PosixPinnedListPin, PinFolderFollowsTheBytesOfAppData) {
  const std::string oddAppData = work_.path() + "/data \xc3\xa9\xff";
  ScopedVariable odd("APPDATA", oddAppData);
  const std::string source = Shortcut("App.lnk", Sample("sample.lnk"));

  EXPECT_EQ(Pin(source), S_OK);
  EXPECT_EQ(ReadFileBytes(oddAppData +
                          "/Microsoft/Internet Explorer/Quick Launch/User Pinned/TaskBar/App.lnk"),
            Sample("sample.lnk"));
}

// A pin folder holds shortcuts: a file the link object would not load is
// not copied into it.
TEST_F(PosixPinnedListPin, OnlyAShortcutTheLinkObjectLoadsIsPinned) {
  EXPECT_EQ(Pin(Shortcut("Empty.lnk", "")), kCorrupt);
  EXPECT_EQ(Pin(Shortcut("Notes.lnk", "not a shortcut at all")), kCorrupt);
  EXPECT_EQ(Pin(Shortcut("Cut.lnk", Sample("sample.lnk").substr(0, 200))), kCorrupt);
  const std::string huge = Shortcut("Huge.lnk", Sample("sample.lnk"));
  ASSERT_EQ(truncate(huge.c_str(), 65 << 20), 0);  // sparse: no bytes written
  EXPECT_EQ(Pin(huge), kFileTooLarge);
  EXPECT_EQ(PinnedNames(), std::vector<std::string>{});
}

// A name of up to 255 bytes, the file system's limit, still gets a
// numbered variant: its stem is cut, at a whole UTF-8 character.
TEST_F(PosixPinnedListPin, LongestNamesAreCutToFitTheirNumber) {
  std::string accented;  // 250 bytes
  for (int i = 0; i < 125; ++i) accented += "\xc3\xa9";
  ASSERT_EQ(Pin(Shortcut("a/" + accented + ".lnk", Sample("sample.lnk"))), S_OK);
  ASSERT_EQ(Pin(Shortcut("b/" + accented + ".lnk", Sample("sample2.lnk"))), S_OK);

  const std::string cut = accented.substr(0, 246);  // 247 bytes would split a character
  EXPECT_EQ(PinnedNames(), (std::vector<std::string>{cut + " (2).lnk", accented + ".lnk"}));
  EXPECT_EQ(ReadFileBytes(Pinned(cut + " (2).lnk")), Sample("sample2.lnk"));
}

// A name too long for its number loses the end of its stem, but never the
// stem's first character (a byte of no valid sequence is a character too),
// then the end of its extension.
TEST_F(PosixPinnedListPin, NameTooLongForItsNumberIsCutStemFirstThenExtension) {
  const std::string allExtension = "n." + std::string(253, 'n');
  const std::string invalidStem = std::string(250, '\x80') + ".lnk";
  std::filesystem::create_directories(Pinned(allExtension));
  std::filesystem::create_directories(Pinned(invalidStem));
  EXPECT_EQ(Pin(Shortcut(allExtension, Sample("sample.lnk"))), S_OK);
  EXPECT_EQ(Pin(Shortcut(invalidStem, Sample("sample2.lnk"))), S_OK);
  std::vector<std::string> expected = {allExtension, "n (2)." + std::string(249, 'n'), invalidStem,
                                       std::string(247, '\x80') + " (2).lnk"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(PinnedNames(), expected);
}

// Root run with another user's application-data folder, whose pin folder is
// that user's link to a folder of root's: nothing is pinned into it and
// nothing removed from it. The same link made by root is followed.
TEST_F(PosixPinnedListPin, PinFolderThroughAnotherUsersLinkIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give a link to another user";
  const std::string rootsFolder = work_.path() + "/roots";
  std::filesystem::create_directories(rootsFolder);
  WriteFileBytes(rootsFolder + "/App.lnk", Sample("sample.lnk"));
  std::filesystem::create_directories(std::filesystem::path(PinFolder()).parent_path());
  ASSERT_EQ(symlink(rootsFolder.c_str(), PinFolder().c_str()), 0);
  ASSERT_EQ(lchown(PinFolder().c_str(), 65534, 65534), 0);
  const std::string source = Shortcut("App.lnk", Sample("sample.lnk"));

  EXPECT_TRUE(FAILED(Pin(Shortcut("Other.lnk", Sample("sample2.lnk")))));
  EXPECT_TRUE(FAILED(Unpin(source)));
  EXPECT_EQ(ListFolder(rootsFolder), std::vector<std::string>{"App.lnk"});
  ASSERT_EQ(lchown(PinFolder().c_str(), 0, 0), 0);
  EXPECT_EQ(Unpin(source), S_OK);
  EXPECT_EQ(ListFolder(rootsFolder), std::vector<std::string>{});
}

TEST_F(PosixPinnedListPin, PinFolderThatCannotBeCreatedFailsAndCreatesNothing) {
  const std::string blocker = work_.path() + "/plain-file";
  WriteFileBytes(blocker, "not a folder");
  ScopedVariable below("APPDATA", blocker + "/appdata");
  const std::string source = Shortcut("App.lnk", Sample("sample.lnk"));

  EXPECT_TRUE(FAILED(Pin(source)));
  EXPECT_EQ(ReadFileBytes(blocker), "not a folder");
  EXPECT_EQ(ListFolder(work_.path()), (std::vector<std::string>{"plain-file", "src"}));
}

TEST_F(PosixPinnedListPin, PinFolderThatIsAFileFails) {
  std::filesystem::create_directories(std::filesystem::path(PinFolder()).parent_path());
  WriteFileBytes(PinFolder(), "not a folder");
  const std::string source = Shortcut("App.lnk", Sample("sample.lnk"));

  EXPECT_TRUE(FAILED(Pin(source)));
  EXPECT_EQ(ReadFileBytes(PinFolder()), "not a folder");
}

TEST_F(PosixPinnedListPin, FolderCannotBePinned) {
  const std::string folder = work_.path() + "/src/Tools";
  std::filesystem::create_directories(folder);

  EXPECT_TRUE(FAILED(Pin(folder)));
  EXPECT_EQ(PinnedNames(), std::vector<std::string>{});
}

TEST_F(PosixPinnedListPin, ShortcutRemovedSinceItsListWasMadeFails) {
  const std::string source = Shortcut("App.lnk", Sample("sample.lnk"));
  const unique_idlist list = ListFor(source);
  ASSERT_TRUE(list);
  ASSERT_EQ(unlink(source.c_str()), 0);

  EXPECT_TRUE(FAILED(Modify(nullptr, list.get())));
  EXPECT_EQ(PinnedNames(), std::vector<std::string>{});
}

TEST_F(PosixPinnedListUnpin, RemovesThePinOfTheSameShortcut) {
  const std::string source = Shortcut("App.lnk", Sample("sample.lnk"));
  ASSERT_EQ(Pin(source), S_OK);

  EXPECT_EQ(Unpin(source), S_OK);
  EXPECT_EQ(PinnedNames(), std::vector<std::string>{});
  EXPECT_EQ(ReadFileBytes(source), Sample("sample.lnk"));
}

TEST_F(PosixPinnedListUnpin, WithoutAnIdenticalPinTheSameNameMatchesWhateverItsCase) {
  // The shortcut names no target that could tell the two apart.
  PlacePin("App.lnk", Sample("sample.lnk"));
  const std::string source = Shortcut("app.LNK", "no longer a shortcut");

  EXPECT_EQ(Unpin(source), S_OK);
  EXPECT_EQ(PinnedNames(), std::vector<std::string>{});
}

// Both targets known and different: the pin under the same name belongs
// to another shortcut.
TEST_F(PosixPinnedListUnpin, SameNameWithAnotherTargetIsAnotherShortcutsPin) {
  PlacePin("Game.lnk", Sample("sample.lnk"));
  const std::string source = Shortcut("b/game.lnk", Sample("sample2.lnk"));

  EXPECT_EQ(Unpin(source), kNotFound);
  EXPECT_EQ(PinnedNames(), std::vector<std::string>{"Game.lnk"});
}

TEST_F(PosixPinnedListUnpin, HiddenNamesArePinsLikeAnyOther) {
  const std::string source = Shortcut(".dot.lnk", Sample("sample.lnk"));
  ASSERT_EQ(Pin(source), S_OK);
  ASSERT_EQ(PinnedNames(), std::vector<std::string>{".dot.lnk"});

  EXPECT_EQ(Unpin(source), S_OK);
  EXPECT_EQ(PinnedNames(), std::vector<std::string>{});
}

TEST_F(PosixPinnedListUnpin, IdenticalBytesMatchWhateverTheName) {
  PlacePin("Renamed pin.lnk", Sample("sample.lnk"));
  const std::string source = Shortcut("App.lnk", Sample("sample.lnk"));

  EXPECT_EQ(Unpin(source), S_OK);
  EXPECT_EQ(PinnedNames(), std::vector<std::string>{});
}

TEST_F(PosixPinnedListUnpin, RemovesEveryIdenticalPinAndNothingElse) {
  PlacePin("App.lnk", Sample("sample2.lnk"));         // same name, other bytes
  PlacePin("Second copy.lnk", Sample("sample.lnk"));  // same bytes
  PlacePin("Third copy.lnk", Sample("sample.lnk"));   // same bytes
  PlacePin("App (2).lnk", Sample("sample3.lnk"));     // neither
  PlacePin("Other.lnk", Sample("extra_data.lnk"));    // same size, other bytes
  const std::string source = Shortcut("App.lnk", Sample("sample.lnk"));

  EXPECT_EQ(Unpin(source), S_OK);
  EXPECT_EQ(PinnedNames(), (std::vector<std::string>{"App (2).lnk", "App.lnk", "Other.lnk"}));
  EXPECT_EQ(ReadFileBytes(Pinned("App.lnk")), Sample("sample2.lnk"));
  EXPECT_EQ(ReadFileBytes(Pinned("App (2).lnk")), Sample("sample3.lnk"));
  EXPECT_EQ(ReadFileBytes(Pinned("Other.lnk")), Sample("extra_data.lnk"));
}

TEST_F(PosixPinnedListUnpin, ChangedShortcutTakesOnlyThePinUnderItsName) {
  // Pinned, then edited: no pin has its bytes any more.
  PlacePin("app.LNK", Sample("darwin_block.lnk"));
  PlacePin("App (2).lnk", Sample("sample3.lnk"));
  PlacePin("Other.lnk", Sample("sample4.lnk"));
  const std::string source = Shortcut("App.lnk", Sample("darwin_block_modified.lnk"));

  EXPECT_EQ(Unpin(source), S_OK);
  EXPECT_EQ(PinnedNames(), (std::vector<std::string>{"App (2).lnk", "Other.lnk"}));
}

TEST_F(PosixPinnedListUnpin, ShortcutsSharingANameKeepEachOthersPins) {
  const std::string first = Shortcut("a/App.lnk", Sample("sample.lnk"));
  const std::string second = Shortcut("b/App.lnk", Sample("sample2.lnk"));
  ASSERT_EQ(Pin(first), S_OK);
  ASSERT_EQ(Pin(second), S_OK);
  ASSERT_EQ(PinnedNames(), (std::vector<std::string>{"App (2).lnk", "App.lnk"}));

  EXPECT_EQ(Unpin(second), S_OK);
  EXPECT_EQ(PinnedNames(), std::vector<std::string>{"App.lnk"});
  EXPECT_EQ(ReadFileBytes(Pinned("App.lnk")), Sample("sample.lnk"));

  EXPECT_EQ(Unpin(first), S_OK);
  EXPECT_EQ(PinnedNames(), std::vector<std::string>{});
}

TEST_F(PosixPinnedListUnpin, ShortcutRemovedSinceItsListWasMadeStillMatchesByName) {
  const std::string source = Shortcut("App.lnk", Sample("sample.lnk"));
  ASSERT_EQ(Pin(source), S_OK);
  PlacePin("Other.lnk", Sample("sample.lnk").substr(1));
  const unique_idlist list = ListFor(source);
  ASSERT_TRUE(list);
  ASSERT_EQ(unlink(source.c_str()), 0);

  EXPECT_EQ(Modify(list.get(), nullptr), S_OK);
  EXPECT_EQ(PinnedNames(), std::vector<std::string>{"Other.lnk"});
}

TEST_F(PosixPinnedListUnpin, NothingMatchingIsNotFound) {
  PlacePin("Other.lnk", Sample("sample2.lnk"));
  const std::string source = Shortcut("App.lnk", Sample("sample.lnk"));

  EXPECT_EQ(Unpin(source), kNotFound);
  EXPECT_EQ(PinnedNames(), std::vector<std::string>{"Other.lnk"});
}

TEST_F(PosixPinnedListUnpin, EmptyPinFolderIsNotFound) {
  std::filesystem::create_directories(PinFolder());
  const std::string source = Shortcut("App.lnk", Sample("sample.lnk"));
  EXPECT_EQ(Unpin(source), kNotFound);
}

TEST_F(PosixPinnedListUnpin, MissingPinFolderIsNotFoundAndStaysMissing) {
  const std::string source = Shortcut("App.lnk", Sample("sample.lnk"));

  EXPECT_EQ(Unpin(source), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
  EXPECT_FALSE(IsFolder(appData_));
}

TEST_F(PosixPinnedListUnpin, FolderNamedLikeTheShortcutIsNotAPin) {
  std::filesystem::create_directories(Pinned("App.lnk"));
  const std::string source = Shortcut("App.lnk", Sample("sample.lnk"));

  EXPECT_EQ(Unpin(source), kNotFound);
  EXPECT_TRUE(IsFolder(Pinned("App.lnk")));
}

TEST_F(PosixPinnedListUnpin, PipeNamedLikeTheShortcutIsNotAPin) {
  std::filesystem::create_directories(PinFolder());
  ASSERT_EQ(mkfifo(Pinned("App.lnk").c_str(), 0600), 0);
  const std::string source = Shortcut("App.lnk", Sample("sample.lnk"));

  EXPECT_EQ(Unpin(source), kNotFound);
  EXPECT_EQ(PinnedNames(), std::vector<std::string>{"App.lnk"});
}

TEST_F(PosixPinnedListUnpin, PinThenUnpinThenPinAgain) {
  const std::string source = Shortcut("App.lnk", Sample("sample.lnk"));
  ASSERT_EQ(Pin(source), S_OK);
  ASSERT_EQ(Unpin(source), S_OK);
  EXPECT_EQ(Unpin(source), kNotFound);
  EXPECT_EQ(Pin(source), S_OK);
  EXPECT_EQ(PinnedNames(), std::vector<std::string>{"App.lnk"});
}

// Windows file names match without regard to case for every letter, not
// only for A to Z: "CAFÉ.lnk" and "café.lnk" name the same file there.
TEST_F(PosixPinnedListPin, NameTakenInAnotherLetterCaseGetsTheNextNumber) {
  PlacePin("CAF\xc3\x89.lnk", Sample("sample2.lnk"));
  const std::string source = Shortcut("caf\xc3\xa9.lnk", Sample("sample.lnk"));

  EXPECT_EQ(Pin(source), S_OK);
  EXPECT_EQ(PinnedNames(), (std::vector<std::string>{"CAF\xc3\x89.lnk", "caf\xc3\xa9 (2).lnk"}));
}

TEST_F(PosixPinnedListUnpin, SameNameMatchIgnoresCaseOfNonAsciiLetters) {
  PlacePin("CAF\xc3\x89.lnk", Sample("sample2.lnk"));
  // An advertised shortcut: it has no file-system target.
  const std::string source = Shortcut("caf\xc3\xa9.lnk", Sample("darwin_block.lnk"));

  EXPECT_EQ(Unpin(source), S_OK);
  EXPECT_EQ(PinnedNames(), std::vector<std::string>{});
}

TEST_F(PosixPinnedListModify, NeitherItemIsAnInvalidArgument) {
  EXPECT_EQ(Modify(nullptr, nullptr), kInvalidArgument);
  EXPECT_EQ(PinnedNames(), std::vector<std::string>{});
}

TEST_F(PosixPinnedListModify, BothItemsAreAnInvalidArgumentAndChangeNothing) {
  const std::string pinned = Shortcut("Pinned.lnk", Sample("sample.lnk"));
  ASSERT_EQ(Pin(pinned), S_OK);
  const std::string other = Shortcut("Other.lnk", Sample("sample2.lnk"));
  const unique_idlist pinnedList = ListFor(pinned);
  const unique_idlist otherList = ListFor(other);

  EXPECT_EQ(Modify(pinnedList.get(), otherList.get()), kInvalidArgument);
  EXPECT_EQ(Modify(pinnedList.get(), pinnedList.get()), kInvalidArgument);
  EXPECT_EQ(PinnedNames(), std::vector<std::string>{"Pinned.lnk"});
}

TEST_F(PosixPinnedListModify, ForeignItemListIsAnInvalidArgument) {
  // An item of a kind the stand-in never makes.
  const unsigned char foreign[] = {0x06, 0x00, 0x1F, 'a', 'b', 0x00, 0x00, 0x00};
  const auto* list = reinterpret_cast<PCIDLIST_ABSOLUTE>(foreign);
  EXPECT_EQ(Modify(nullptr, list), kInvalidArgument);
  EXPECT_EQ(Modify(list, nullptr), kInvalidArgument);
}

}  // namespace
