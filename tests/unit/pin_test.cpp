#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "double/shell_double.h"
#include "pinning/pin.h"

namespace corvane {
namespace {

using testing::ShellDouble;
using Log = std::vector<std::string>;

const std::wstring kShortcut = L"C:\\Users\\me\\App.lnk";
const std::wstring kPinFolder =
    L"C:\\Users\\me\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch\\User "
    L"Pinned\\TaskBar";
constexpr char kCreate[] = "CoCreateInstance(PinnedListClassId, null, 0x17, IID_IPinnedList3)";
constexpr char kPinningLine[] = "cout: No matching icon found, pinning new icon\n";

// Runs the operation under test: pin (unchecked) or unpin.
enum class Operation { Pin, Unpin };

void PrintTo(Operation operation, std::ostream* out) {
  *out << (operation == Operation::Pin ? "Pin" : "Unpin");
}

int RunOperation(Operation operation) {
  return operation == Operation::Pin ? PinShortcut(kShortcut, nullptr) : UnpinShortcut(kShortcut);
}

class PinAndUnpin : public ::testing::TestWithParam<Operation> {
 protected:
  // The log as the operation writes it, without pin's leading stdout line.
  Log Calls() const {
    Log calls = shell.log();
    if (GetParam() == Operation::Pin) {
      EXPECT_FALSE(calls.empty());
      if (!calls.empty()) {
        EXPECT_EQ(calls.front(), kPinningLine) << "the pin says so before anything else";
        calls.erase(calls.begin());
      }
    }
    return calls;
  }
  std::string ModifyCall() const {
    return GetParam() == Operation::Pin ? "IPinnedList3::Modify(null, list1, 4)"
                                        : "IPinnedList3::Modify(list1, null, 4)";
  }
  void ExpectEverythingGivenBack() const {
    EXPECT_EQ(shell.liveObjects(), 0);
    EXPECT_EQ(shell.liveLists(), 0);
  }

  ShellDouble shell;
};

// The pin folder is looked at after Modify (a pin under the shortcut's own
// name first), and before an unpin too: the double's Modify pins into it as
// the taskbar does.
TEST_P(PinAndUnpin, SuccessCallsModifyOnceAndReleasesInOrder) {
  EXPECT_EQ(RunOperation(GetParam()), 0);
  const std::string readShortcut = "IPersistFile::Load(C:\\Users\\me\\App.lnk, 0)";
  const std::string list =
      "FindFirstFileW(" + testing::Utf8(kPinFolder) + "\\*) -> INVALID_HANDLE_VALUE";
  const Log expected =
      GetParam() == Operation::Pin
          ? Log{"ILCreateFromPathW(C:\\Users\\me\\App.lnk) -> list1",
                kCreate,
                readShortcut,
                ModifyCall(),
                "IPinnedList3::Release -> 0",
                "IPersistFile::Load(" + testing::Utf8(kPinFolder) + "\\App.lnk, 0)",
                "ILFree(list1)"}
          : Log{"ILCreateFromPathW(C:\\Users\\me\\App.lnk) -> list1",
                kCreate,
                readShortcut,
                list,
                ModifyCall(),
                "IPinnedList3::Release -> 0",
                list,
                "ILFree(list1)"};
  EXPECT_EQ(shell.LogOf({"ILCreateFromPathW", kCreate, "IPinnedList3::", "FindFirstFileW",
                         "IPersistFile::Load", "ILFree", "fputws"}),
            expected);
  EXPECT_TRUE(shell.err().empty());
  ExpectEverythingGivenBack();
}

TEST_P(PinAndUnpin, NoItemListEndsWithTwoBeforeAnyObjectExists) {
  shell.script.ilCreateFromPathReturnsNull = true;
  EXPECT_EQ(RunOperation(GetParam()), 2);
  EXPECT_EQ(Calls(), (Log{"ILCreateFromPathW(C:\\Users\\me\\App.lnk) -> null",
                          "fputws(stderr): ILCreateFromPathW failed.\n"}));
  ExpectEverythingGivenBack();
}

TEST_P(PinAndUnpin, FailedCreationEndsWithThreeAfterItsMessage) {
  shell.script.coCreateInstance = REGDB_E_CLASSNOTREG;
  EXPECT_EQ(RunOperation(GetParam()), 3);
  EXPECT_EQ(Calls(), (Log{"ILCreateFromPathW(C:\\Users\\me\\App.lnk) -> list1", kCreate,
                          "fputws(stderr): CoCreateInstance failed.\n", "ILFree(list1)"}));
  ExpectEverythingGivenBack();
}

TEST_P(PinAndUnpin, CreationWithoutAnObjectEndsWithThreeSilently) {
  shell.script.coCreateInstanceWithoutObject = true;
  EXPECT_EQ(RunOperation(GetParam()), 3);
  EXPECT_EQ(Calls(),
            (Log{"ILCreateFromPathW(C:\\Users\\me\\App.lnk) -> list1", kCreate, "ILFree(list1)"}));
  EXPECT_TRUE(shell.err().empty());
  ExpectEverythingGivenBack();
}

TEST_P(PinAndUnpin, FailedModifyReleasesThenReportsThenFrees) {
  shell.script.modify = E_FAIL;
  EXPECT_EQ(RunOperation(GetParam()), 4);
  const Log calls = Calls();
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(Log(calls.end() - 4, calls.end()),
            (Log{ModifyCall(), "IPinnedList3::Release -> 0",
                 "fputws(stderr): IPinnedList3::Modify failed.\n", "ILFree(list1)"}));
  ExpectEverythingGivenBack();
}

TEST_P(PinAndUnpin, PositiveModifyResultsAreSuccess) {
  for (HRESULT success : {S_FALSE, static_cast<HRESULT>(0x7FFFFFFF)}) {
    ShellDouble::Current().script.modify = success;
    EXPECT_EQ(RunOperation(GetParam()), 0);
  }
  EXPECT_TRUE(shell.err().empty());
  ExpectEverythingGivenBack();
}

// Modify answers S_OK and the pin folder never changes (reported of
// Windows 11 24H2): the folder is looked at again for two seconds, then the
// command fails as a refused Modify does.
TEST_P(PinAndUnpin, SuccessThatNeverShowsFailsAfterTwoSecondsOfLooking) {
  shell.script.modifyChangesPinFolder = false;
  // An unpin must find its pin gone: it is there before and stays.
  if (GetParam() == Operation::Unpin) shell.script.files = {L"App.lnk"};
  EXPECT_EQ(RunOperation(GetParam()), 4);
  EXPECT_EQ(shell.err(), L"IPinnedList3::Modify failed.\n");
  EXPECT_EQ(shell.out(),
            GetParam() == Operation::Pin ? L"No matching icon found, pinning new icon\n" : L"");
  EXPECT_EQ(shell.LogOf({"Sleep"}), Log(20, "Sleep(100)"));
  const Log calls = Calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(Log(calls.end() - 2, calls.end()),
            (Log{"fputws(stderr): IPinnedList3::Modify failed.\n", "ILFree(list1)"}));
  ExpectEverythingGivenBack();
  EXPECT_EQ(shell.liveFinds(), 0);
}

TEST_P(PinAndUnpin, EnvironmentVariableLeavesItToModify) {
  shell.script.modifyChangesPinFolder = false;
  shell.script.files = {L"App.lnk"};
  shell.script.environment[L"CORVANE_NO_PIN_CHECK"] = L"1";
  EXPECT_EQ(RunOperation(GetParam()), 0);
  EXPECT_TRUE(shell.LogOf({"FindFirstFileW", "CoCreateInstance(CLSID_ShellLink"}).empty());
  EXPECT_TRUE(shell.err().empty());
}

// A shortcut the link object cannot read is looked for by its file name,
// which the taskbar gives its pin (compared without case).
TEST(Pin, UnreadableShortcutIsLookedForByItsFileName) {
  for (const auto& [pinned, status] :
       {std::pair<std::wstring, int>{L"APP.lnk", 0}, {L"Other.lnk", 4}}) {
    ShellDouble shell;
    shell.script.link.load = E_FAIL;
    shell.script.modifyChangesPinFolder = false;
    shell.script.files = {pinned};
    EXPECT_EQ(PinShortcut(kShortcut, nullptr), status) << testing::Utf8(pinned);
  }
}

INSTANTIATE_TEST_SUITE_P(Pinning, PinAndUnpin, ::testing::Values(Operation::Pin, Operation::Unpin),
                         [](const auto& info) {
                           return info.param == Operation::Pin ? "Pin" : "Unpin";
                         });

// The existing-pin check of a checked pin, and what it was asked.
std::vector<std::wstring> checkedPaths;
bool FoundPin(const std::wstring& path) {
  checkedPaths.push_back(path);
  return true;
}
bool FoundNothing(const std::wstring& path) {
  checkedPaths.push_back(path);
  return false;
}

TEST(CheckedPin, ExistingPinEndsWithZeroAndTouchesNothing) {
  ShellDouble shell;
  checkedPaths.clear();
  EXPECT_EQ(PinShortcut(kShortcut, FoundPin), 0);
  EXPECT_EQ(checkedPaths, std::vector<std::wstring>{kShortcut});
  EXPECT_TRUE(shell.log().empty());
  EXPECT_TRUE(shell.out().empty());
  EXPECT_TRUE(shell.err().empty());
}

TEST(CheckedPin, NoExistingPinPinsAsUncheckedWould) {
  ShellDouble shell;
  checkedPaths.clear();
  EXPECT_EQ(PinShortcut(kShortcut, FoundNothing), 0);
  EXPECT_EQ(checkedPaths, std::vector<std::wstring>{kShortcut});
  const Log& log = shell.log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), kPinningLine);
  EXPECT_EQ(shell.LogOf({"IPinnedList3::Modify"}), Log{"IPinnedList3::Modify(null, list1, 4)"});
}

TEST(Unpin, WritesNothingOnSuccess) {
  ShellDouble shell;
  EXPECT_EQ(UnpinShortcut(kShortcut), 0);
  EXPECT_TRUE(shell.out().empty());
  EXPECT_TRUE(shell.err().empty());
}

}  // namespace
}  // namespace corvane
