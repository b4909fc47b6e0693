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
  std::wstring target = L"old";
  EXPECT_TRUE(ResolveShortcutTarget(kShortcut, target));
  EXPECT_EQ(target, L"C:\\Program Files\\App\\app.exe");
  EXPECT_EQ(shell.log(), (Log{"CoCreateInstance(CLSID_ShellLink, null, 0x1, IID_IShellLinkW)",
                              "IShellLinkW::QueryInterface(IID_IPersistFile)",
                              "IPersistFile::Load(C:\\Links\\App.lnk, 0)",
                              "IShellLinkW::GetPath(zeroed buffer, 260, null, 0)",
                              "IPersistFile::Release -> 1", "IShellLinkW::Release -> 0"}));
  EXPECT_TRUE(shell.out().empty());
  EXPECT_TRUE(shell.err().empty());
}

TEST(ResolveShortcutTarget, SuccessWithoutTextGivesAnEmptyTarget) {
  ShellDouble shell;
  std::wstring target = L"old";
  EXPECT_TRUE(ResolveShortcutTarget(kShortcut, target));
  EXPECT_EQ(target, L"");
}

// The shell fills all 260 units of the buffer: the program's own terminator
// cuts the target to 259.
TEST(ResolveShortcutTarget, LongPathIsCutTo259Units) {
  ShellDouble shell;
  shell.script.link.path = std::wstring(300, L'x');
  std::wstring target;
  EXPECT_TRUE(ResolveShortcutTarget(kShortcut, target));
  EXPECT_EQ(target, std::wstring(259, L'x'));
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
  };
  for (const Case& c : cases) {
    ShellDouble shell;
    c.script(shell);
    std::wstring target = L"kept";
    EXPECT_FALSE(ResolveShortcutTarget(kShortcut, target)) << c.name;
    EXPECT_EQ(target, L"kept") << c.name;
    EXPECT_TRUE(shell.out().empty() && shell.err().empty()) << c.name;
    EXPECT_EQ(shell.LogOf({"IShellLinkW::Release", "IPersistFile::Release"}).size(), c.releases)
        << c.name;
    EXPECT_EQ(shell.liveObjects(), 0) << c.name;
  }
}

}  // namespace
}  // namespace corvane
