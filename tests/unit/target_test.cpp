#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "double/shell_double.h"
#include "shortcut/target.h"

namespace corvane {
namespace {

using testing::ShellDouble;
using Log = std::vector<std::string>;

const std::wstring kShortcut = L"C:\\Links\\App.lnk";

TEST(ResolveShortcutTarget, ReadsThePathIntoAZeroedBufferAndReleasesFileFirst) {
  ShellDouble shell;
  shell.script.link.path = L"C:\\Program Files\\App\\app.exe";
  shell.script.link.arguments = L"--app=mail";
  shell.script.link.valueType = VT_LPWSTR;
  shell.script.link.valueText = L"Contoso.Mail";
  ShortcutLaunch launch{L"old", L"old", L"old"};
  EXPECT_TRUE(ResolveShortcutTarget(kShortcut, launch));
  EXPECT_EQ(launch.target, L"C:\\Program Files\\App\\app.exe");
  EXPECT_EQ(launch.arguments, L"--app=mail");
  EXPECT_EQ(launch.appId, L"Contoso.Mail");
  EXPECT_EQ(
      shell.log(),
      (Log{"CoCreateInstance(CLSID_ShellLink, null, 0x1, IID_IShellLinkW)",
           "IShellLinkW::QueryInterface(IID_IPersistFile)",
           "IPersistFile::Load(C:\\Links\\App.lnk, 0)",
           "IShellLinkW::GetPath(zeroed buffer, 260, null, 0)", "IShellLinkW::GetArguments(32767)",
           "IShellLinkW::QueryInterface(IID_IPropertyStore)",
           "IPropertyStore::GetValue(PKEY_AppUserModel_ID, zeroed variant)",
           "PropVariantClear(vt 31 \"Contoso.Mail\")", "IPropertyStore::Release -> 2",
           "IPersistFile::Release -> 1", "IShellLinkW::Release -> 0"}));
  EXPECT_TRUE(shell.out().empty());
  EXPECT_TRUE(shell.err().empty());
}

TEST(ResolveShortcutTarget, SuccessWithoutTextGivesAnEmptyTarget) {
  ShellDouble shell;
  ShortcutLaunch launch{L"old", L"old", L"old"};
  EXPECT_TRUE(ResolveShortcutTarget(kShortcut, launch));
  EXPECT_EQ(launch.target, L"");
  EXPECT_EQ(launch.arguments, L"");
  EXPECT_EQ(launch.appId, L"") << "no identifier is an empty one";
}

// Wine's link object answers GetValue with E_NOTIMPL: the target still
// resolves, with an identifier no one knows.
TEST(ResolveShortcutTarget, UnreadableIdentifierIsUnknownNotAFailure) {
  for (const auto& [getValue, type] :
       {std::pair<HRESULT, VARTYPE>{E_NOTIMPL, VT_EMPTY}, {S_OK, 3}}) {
    ShellDouble shell;
    shell.script.link.getValue = getValue;
    shell.script.link.valueType = type;
    ShortcutLaunch launch;
    EXPECT_TRUE(ResolveShortcutTarget(kShortcut, launch));
    EXPECT_EQ(launch.appId, std::nullopt);
    EXPECT_EQ(shell.liveObjects(), 0);
  }
}

// The shell fills all 260 units of the buffer: the program's own terminator
// cuts the target to 259.
TEST(ResolveShortcutTarget, LongPathIsCutTo259Units) {
  ShellDouble shell;
  shell.script.link.path = std::wstring(300, L'x');
  ShortcutLaunch launch;
  EXPECT_TRUE(ResolveShortcutTarget(kShortcut, launch));
  EXPECT_EQ(launch.target, std::wstring(259, L'x'));
}

TEST(ResolveShortcutTarget, EveryFailureLeavesTheTargetAndPrintsNothing) {
  struct Case {
    const char* name;
    void (*script)(ShellDouble&);
    std::size_t releases;
  };
  const Case cases[] = {
      {"create", [](ShellDouble& s) { s.script.createShellLink = REGDB_E_CLASSNOTREG; }, 0},
      {"no object", [](ShellDouble& s) { s.script.createShellLinkWithoutObject = true; }, 0},
      {"query", [](ShellDouble& s) { s.script.queryPersistFile = E_NOINTERFACE; }, 1},
      {"load", [](ShellDouble& s) { s.script.link.load = HResultFromBits(0x80070002); }, 2},
      {"no path",
       [](ShellDouble& s) {
         s.script.link.getPath = S_FALSE;
         s.script.link.path = L"C:\\ignored";
       },
       2},
      {"path fails", [](ShellDouble& s) { s.script.link.getPath = E_FAIL; }, 2},
      {"arguments fail", [](ShellDouble& s) { s.script.link.getArguments = E_FAIL; }, 2},
  };
  for (const Case& c : cases) {
    ShellDouble shell;
    c.script(shell);
    ShortcutLaunch launch{L"kept", L"kept", L"kept"};
    EXPECT_FALSE(ResolveShortcutTarget(kShortcut, launch)) << c.name;
    EXPECT_EQ(launch.target, L"kept") << c.name;
    EXPECT_EQ(launch.arguments, L"kept") << c.name;
    EXPECT_TRUE(shell.out().empty() && shell.err().empty()) << c.name;
    EXPECT_EQ(shell.LogOf({"IShellLinkW::Release", "IPersistFile::Release"}).size(), c.releases)
        << c.name;
    EXPECT_EQ(shell.liveObjects(), 0) << c.name;
  }
}

}  // namespace
}  // namespace corvane
