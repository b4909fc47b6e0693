#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "double/shell_double.h"
#include "pinning/existing_pin.h"
#include "pinning/taskbar_button.h"

namespace corvane {
namespace {

using testing::LinkScript;
using testing::ShellDouble;
using Log = std::vector<std::string>;

const std::wstring kShortcut = L"C:\\Links\\App.lnk";
const std::wstring kTarget = L"C:\\Program Files\\App\\app.exe";
const std::wstring kPinFolder =
    L"C:\\Users\\me\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch\\User "
    L"Pinned\\TaskBar";
const std::wstring kPinned = kPinFolder + L"\\Pinned.lnk";
const std::wstring kOther = kPinFolder + L"\\Other.lnk";

LinkScript PointingAt(const std::wstring& target) {
  LinkScript script;
  script.path = target;
  return script;
}

LinkScript Unreadable() {
  LinkScript script;
  script.load = HResultFromBits(0x80070570);
  return script;
}

// The given shortcut points at kTarget.
void GivenShortcut(ShellDouble& shell) { shell.script.links[kShortcut] = PointingAt(kTarget); }

constexpr char kResolveGiven[] = "IPersistFile::Load(C:\\Links\\App.lnk, 0)";

TEST(SameTarget, ComparesUnitByUnitWithoutNormalising) {
  EXPECT_TRUE(SameTarget(L"", L""));
  EXPECT_TRUE(SameTarget(L"C:\\A\\b.exe", L"C:\\A\\b.exe"));
  EXPECT_FALSE(SameTarget(L"C:\\A\\b.exe", L"c:\\a\\B.EXE"));
  EXPECT_FALSE(SameTarget(L"C:\\A\\", L"C:\\A"));
  EXPECT_FALSE(SameTarget(L"C:/A/b.exe", L"C:\\A\\b.exe"));
}

TEST(SameTaskbarButton, TargetArgumentsAndIdentifierMustAllBeEqual) {
  const ShortcutLaunch app{L"C:\\A\\b.exe", L"--app=mail", L"Contoso.Mail"};
  EXPECT_TRUE(SameTaskbarButton(app, {L"C:\\A\\b.exe", L"--app=mail", L"Contoso.Mail"}));
  EXPECT_FALSE(SameTaskbarButton(app, {L"c:\\a\\b.exe", L"--app=mail", L"Contoso.Mail"}));
  EXPECT_FALSE(SameTaskbarButton(app, {L"C:\\A\\b.exe", L"--app=chat", L"Contoso.Mail"}));
  EXPECT_FALSE(SameTaskbarButton(app, {L"C:\\A\\b.exe", L"--app=mail", L"Contoso.Chat"}));
  EXPECT_FALSE(SameTaskbarButton(app, {L"C:\\A\\b.exe", L"--app=mail", L""}));
  // An identifier no one could read equals only another no one could read.
  EXPECT_FALSE(SameTaskbarButton(app, {L"C:\\A\\b.exe", L"--app=mail", std::nullopt}));
  EXPECT_TRUE(SameTaskbarButton({L"C:\\A\\b.exe", L"", std::nullopt},
                                {L"C:\\A\\b.exe", L"", std::nullopt}));
}

TEST(FindPinnedByFiles, SameTargetUnderOtherArgumentsOrIdentifierIsAnotherButton) {
  ShellDouble shell;
  shell.script.links[kShortcut] = PointingAt(kTarget);
  shell.script.links[kShortcut].arguments = L"--profile=Work";
  shell.script.links[kShortcut].valueType = VT_LPWSTR;
  shell.script.links[kShortcut].valueText = L"Contoso.Work";
  shell.script.files = {L"Home.lnk", L"Other.lnk", L"Pinned.lnk"};
  shell.script.links[kPinFolder + L"\\Home.lnk"] = shell.script.links[kShortcut];
  shell.script.links[kPinFolder + L"\\Home.lnk"].arguments = L"--profile=Home";
  shell.script.links[kOther] = shell.script.links[kShortcut];
  shell.script.links[kOther].valueType = VT_BSTR;
  shell.script.links[kOther].valueText = L"Contoso.Home";
  EXPECT_FALSE(FindPinnedByFiles(kShortcut));
  shell.script.links[kPinned] = shell.script.links[kShortcut];
  shell.script.links[kPinned].valueType = VT_BSTR;
  EXPECT_TRUE(FindPinnedByFiles(kShortcut));
  EXPECT_EQ(shell.liveObjects(), 0);
  EXPECT_EQ(shell.liveTaskMemory(), 0);
  EXPECT_EQ(shell.liveStrings(), 0);
}

TEST(FindPinnedByNamespace, WalksThePinFolderAndFreesEachItemInOrder) {
  ShellDouble shell;
  GivenShortcut(shell);
  shell.script.items = {kOther};
  shell.script.links[kOther] = PointingAt(L"C:\\Other\\other.exe");
  EXPECT_FALSE(FindPinnedByNamespace(kShortcut));
  EXPECT_EQ(shell.out(),
            L"Searching match for " + kTarget + L"\nSearching path: " + kPinFolder + L"\n");
  EXPECT_TRUE(shell.err().empty());
  EXPECT_EQ(shell.LogOf({"SH", "IShellFolder", "IEnumIDList", "CoTaskMemFree", "StrRetToBufW",
                         "IPersistFile::Load"}),
            (Log{kResolveGiven, "SHGetDesktopFolder", "SHGetFolderPathW(null, 0x1a, null, 0)",
                 "SHParseDisplayName(" + testing::Utf8(kPinFolder) + ", null, 0, null) -> list1",
                 "IShellFolder(desktop)::BindToObject(list1, null, IID_IShellFolder)",
                 "CoTaskMemFree(list1)", "IShellFolder(pins)::EnumObjects(null, 0x60)",
                 "IEnumIDList::Next(1, null) -> list2",
                 "IShellFolder(pins)::GetDisplayNameOf(list2, 0x8000)", "StrRetToBufW(list2, 260)",
                 "IPersistFile::Load(" + testing::Utf8(kOther) + ", 0)", "CoTaskMemFree(list2)",
                 "IEnumIDList::Next(1, null) -> 0x1", "IEnumIDList::Release -> 0",
                 "IShellFolder(pins)::Release -> 0", "IShellFolder(desktop)::Release -> 0"}));
  EXPECT_EQ(shell.liveObjects(), 0);
  EXPECT_EQ(shell.liveTaskMemory(), 0);
}

TEST(FindPinnedByNamespace, MatchStopsTheWalkSilently) {
  ShellDouble shell;
  GivenShortcut(shell);
  shell.script.items = {kOther, kPinned, kPinFolder + L"\\Never.lnk"};
  shell.script.links[kOther] = PointingAt(L"C:\\Other\\other.exe");
  shell.script.links[kPinned] = PointingAt(kTarget);
  EXPECT_TRUE(FindPinnedByNamespace(kShortcut));
  EXPECT_EQ(shell.out(),
            L"Searching match for " + kTarget + L"\nSearching path: " + kPinFolder + L"\n");
  const Log tail = shell.LogOf({"CoTaskMemFree", "IEnumIDList", "IShellFolder(pins)::Release",
                                "IShellFolder(desktop)::Release"});
  EXPECT_EQ(tail, (Log{"CoTaskMemFree(list1)", "IEnumIDList::Next(1, null) -> list2",
                       "CoTaskMemFree(list2)", "IEnumIDList::Next(1, null) -> list3",
                       "CoTaskMemFree(list3)", "IEnumIDList::Release -> 0",
                       "IShellFolder(pins)::Release -> 0", "IShellFolder(desktop)::Release -> 0"}));
  EXPECT_EQ(shell.liveTaskMemory(), 0);
}

TEST(FindPinnedByNamespace, UnusableItemsAreSkippedWithoutAWord) {
  ShellDouble shell;
  GivenShortcut(shell);
  const std::wstring noName = kPinFolder + L"\\NoName.lnk";
  const std::wstring unreadable = kPinFolder + L"\\Broken.lnk";
  const std::wstring otherCase = kPinFolder + L"\\Upper.lnk";
  shell.script.items = {noName, unreadable, otherCase, kPinned};
  shell.script.displayNameFails = {noName};
  shell.script.links[unreadable] = Unreadable();
  shell.script.links[otherCase] = PointingAt(L"C:\\PROGRAM FILES\\APP\\APP.EXE");
  shell.script.links[kPinned] = PointingAt(kTarget);
  EXPECT_TRUE(FindPinnedByNamespace(kShortcut));
  EXPECT_TRUE(shell.err().empty());
  EXPECT_EQ(shell.LogOf({"CoTaskMemFree"}).size(), 5u) << "the folder's list and four items";
  EXPECT_EQ(shell.liveTaskMemory(), 0);
  EXPECT_EQ(shell.liveObjects(), 0);
}

TEST(FindPinnedByNamespace, FailedCopyOfTheNameSkipsTheItem) {
  ShellDouble shell;
  GivenShortcut(shell);
  shell.script.items = {kPinned};
  shell.script.links[kPinned] = PointingAt(kTarget);
  shell.script.strRetToBuf = E_FAIL;
  EXPECT_FALSE(FindPinnedByNamespace(kShortcut));
  const std::string loadPinned = "IPersistFile::Load(" + testing::Utf8(kPinned);
  EXPECT_TRUE(shell.LogOf({loadPinned.c_str()}).empty());
  EXPECT_EQ(shell.liveTaskMemory(), 0);
}

TEST(FindPinnedByNamespace, FailingNextEndsTheWalkSilently) {
  ShellDouble shell;
  GivenShortcut(shell);
  shell.script.nextAtEnd = E_FAIL;
  EXPECT_FALSE(FindPinnedByNamespace(kShortcut));
  EXPECT_TRUE(shell.err().empty());
  EXPECT_EQ(shell.liveObjects(), 0);
}

TEST(FindPinnedByNamespace, UnreadableGivenShortcutStopsBeforeTheFolder) {
  ShellDouble shell;
  shell.script.links[kShortcut] = Unreadable();
  EXPECT_FALSE(FindPinnedByNamespace(kShortcut));
  EXPECT_EQ(shell.out(), L"Could not open " + kShortcut + L"\n");
  EXPECT_TRUE(shell.LogOf({"SH"}).empty());
}

struct NamespaceFailure {
  const char* name;
  void (*script)(ShellDouble&);
  const wchar_t* line;
  Log releases;
};

void PrintTo(const NamespaceFailure& c, std::ostream* out) { *out << c.name; }

class NamespaceFailures : public ::testing::TestWithParam<NamespaceFailure> {};

TEST_P(NamespaceFailures, OneLineOnStderrAndEverythingReleased) {
  ShellDouble shell;
  GivenShortcut(shell);
  shell.script.items = {kPinned};
  shell.script.links[kPinned] = PointingAt(kTarget);
  GetParam().script(shell);
  EXPECT_FALSE(FindPinnedByNamespace(kShortcut));
  EXPECT_EQ(shell.err(), GetParam().line);
  EXPECT_EQ(shell.LogOf({"IShellFolder(pins)::Release", "IShellFolder(desktop)::Release",
                         "IEnumIDList::Release"}),
            GetParam().releases);
  EXPECT_EQ(shell.liveObjects(), 0);
  EXPECT_EQ(shell.liveTaskMemory(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    ExistingPin, NamespaceFailures,
    ::testing::Values(NamespaceFailure{"desktop",
                                       [](ShellDouble& s) { s.script.desktopFolder = E_FAIL; },
                                       L"Failed to get desktop folder.\n",
                                       {}},
                      NamespaceFailure{"appData",
                                       [](ShellDouble& s) { s.script.appDataFolder = E_FAIL; },
                                       L"Failed to get taskbar path.\n",
                                       {"IShellFolder(desktop)::Release -> 0"}},
                      NamespaceFailure{"parse",
                                       [](ShellDouble& s) {
                                         s.script.parseDisplayName = HResultFromBits(0x80070002);
                                       },
                                       L"Failed to parse taskbar folder path.\n",
                                       {"IShellFolder(desktop)::Release -> 0"}},
                      NamespaceFailure{"bind",
                                       [](ShellDouble& s) { s.script.bindToObject = E_FAIL; },
                                       L"Failed to bind to taskbar folder.\n",
                                       {"IShellFolder(desktop)::Release -> 0"}},
                      NamespaceFailure{"enumerate",
                                       [](ShellDouble& s) { s.script.enumObjects = E_FAIL; },
                                       L"Failed to enumerate objects.\n",
                                       {"IShellFolder(pins)::Release -> 0",
                                        "IShellFolder(desktop)::Release -> 0"}},
                      NamespaceFailure{"no enumerator",
                                       [](ShellDouble& s) {
                                         s.script.enumObjects = S_FALSE;
                                         s.script.enumObjectsWithoutEnumerator = true;
                                       },
                                       L"",
                                       {"IShellFolder(pins)::Release -> 0",
                                        "IShellFolder(desktop)::Release -> 0"}}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& c : name) c = c == ' ' ? '_' : c;
      return name;
    });

TEST(FindPinnedByNamespace, BoundFolderListIsFreedEvenWhenBindingFails) {
  ShellDouble shell;
  GivenShortcut(shell);
  shell.script.bindToObject = E_FAIL;
  EXPECT_FALSE(FindPinnedByNamespace(kShortcut));
  EXPECT_EQ(shell.LogOf({"IShellFolder(desktop)::BindToObject", "CoTaskMemFree", "wcerr"}),
            (Log{"IShellFolder(desktop)::BindToObject(list1, null, IID_IShellFolder)",
                 "CoTaskMemFree(list1)", "wcerr: Failed to bind to taskbar folder.\n"}));
}

TEST(FindPinnedByFiles, PrintsEachCandidateAndItsTargetUntilAMatch) {
  ShellDouble shell;
  GivenShortcut(shell);
  shell.script.files = {L"Broken.lnk", L"Other.lnk", L"Pinned.lnk", L"Never.lnk"};
  shell.script.links[kPinFolder + L"\\Broken.lnk"] = Unreadable();
  shell.script.links[kOther] = PointingAt(L"C:\\Other\\other.exe");
  shell.script.links[kPinned] = PointingAt(kTarget);
  EXPECT_TRUE(FindPinnedByFiles(kShortcut));
  EXPECT_EQ(shell.out(), L"Searching match for " + kTarget + L"\n" + kPinFolder +
                             L"\\Broken.lnk\nError: failed to open\n" + kOther +
                             L"\nC:\\Other\\other.exe\n" + kPinned + L"\n" + kTarget +
                             L"\nhas found match\n");
  EXPECT_EQ(
      shell.LogOf({"SHGetFolderPathW", "FindFirstFileW", "FindNextFileW", "FindClose", "cout:"}),
      (Log{"SHGetFolderPathW(null, 0x1a, null, 0)",
           "FindFirstFileW(" + testing::Utf8(kPinFolder) + "\\*.lnk) -> find1",
           "FindNextFileW(find1) -> 1", "FindNextFileW(find1) -> 1", "cout: has found match\n",
           "FindClose(find1)"}));
  EXPECT_EQ(shell.liveFinds(), 0);
  EXPECT_EQ(shell.liveObjects(), 0);
}

TEST(FindPinnedByFiles, NoMatchClosesTheSearchAtTheEnd) {
  ShellDouble shell;
  GivenShortcut(shell);
  shell.script.files = {L"Other.lnk"};
  shell.script.links[kOther] = PointingAt(L"C:\\Program Files\\App\\App.exe");
  EXPECT_FALSE(FindPinnedByFiles(kShortcut));
  EXPECT_EQ(shell.LogOf({"FindNextFileW", "FindClose"}),
            (Log{"FindNextFileW(find1) -> 0", "FindClose(find1)"}));
  EXPECT_EQ(shell.liveFinds(), 0);
}

TEST(FindPinnedByFiles, OwnFailuresPassInSilence) {
  {
    ShellDouble shell;
    GivenShortcut(shell);
    shell.script.appDataFolder = E_FAIL;
    EXPECT_FALSE(FindPinnedByFiles(kShortcut));
    EXPECT_EQ(shell.out(), L"Searching match for " + kTarget + L"\n");
    EXPECT_TRUE(shell.err().empty());
    EXPECT_TRUE(shell.LogOf({"FindFirstFileW"}).empty());
  }
  {
    ShellDouble shell;
    GivenShortcut(shell);
    EXPECT_FALSE(FindPinnedByFiles(kShortcut));
    EXPECT_EQ(shell.out(), L"Searching match for " + kTarget + L"\n");
    EXPECT_TRUE(shell.LogOf({"FindClose"}).empty());
  }
  {
    ShellDouble shell;
    shell.script.links[kShortcut] = Unreadable();
    EXPECT_FALSE(FindPinnedByFiles(kShortcut));
    EXPECT_EQ(shell.out(), L"Could not open " + kShortcut + L"\n");
    EXPECT_TRUE(shell.LogOf({"SHGetFolderPathW", "FindFirstFileW"}).empty());
  }
}

TEST(FindExistingPin, FileSearchRunsOnlyWhenTheNamespaceFindsNothing) {
  {
    ShellDouble shell;
    GivenShortcut(shell);
    shell.script.items = {kPinned};
    shell.script.files = {L"Pinned.lnk"};
    shell.script.links[kPinned] = PointingAt(kTarget);
    EXPECT_TRUE(FindExistingPin(kShortcut));
    EXPECT_TRUE(shell.LogOf({"FindFirstFileW"}).empty());
  }
  {
    ShellDouble shell;
    GivenShortcut(shell);
    shell.script.files = {L"Pinned.lnk"};
    shell.script.links[kPinned] = PointingAt(kTarget);
    EXPECT_TRUE(FindExistingPin(kShortcut));
    EXPECT_EQ(shell.LogOf({kResolveGiven}).size(), 2u) << "each search reads the shortcut";
  }
  {
    ShellDouble shell;
    shell.script.links[kShortcut] = Unreadable();
    EXPECT_FALSE(FindExistingPin(kShortcut));
    EXPECT_EQ(shell.out(),
              L"Could not open " + kShortcut + L"\nCould not open " + kShortcut + L"\n");
  }
}

}  // namespace
}  // namespace corvane
