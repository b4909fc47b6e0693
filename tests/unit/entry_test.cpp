#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/entry.h"
#include "cli/help.h"
#include "double/shell_double.h"

namespace corvane {
namespace {

using testing::ShellDouble;
using Log = std::vector<std::string>;

int RunWith(std::vector<std::wstring> arguments) {
  arguments.insert(arguments.begin(), L"corv.exe");
  std::vector<wchar_t*> argv;
  for (std::wstring& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return RunCommandLine(static_cast<int>(arguments.size()), argv.data());
}

TEST(Entry, HelpRequestGoesToStdoutWithoutCom) {
  for (const wchar_t* help : {L"--help", L"-h"}) {
    ShellDouble shell;
    EXPECT_EQ(RunWith({help}), -1);
    EXPECT_EQ(shell.out(), kHelpText);
    EXPECT_TRUE(shell.err().empty());
    EXPECT_TRUE(shell.LogOf({"Co"}).empty());
  }
}

TEST(Entry, MalformedCommandLinesPrintHelpOnStderrWithoutCom) {
  const std::vector<std::vector<std::wstring>> lines = {
      {},      {L"a.lnk"},       {L"--HELP"},     {L"-H"},          {L"-help"},
      {L"/?"}, {L"a.lnk", L"P"}, {L"a.lnk", L""}, {L"a.lnk", L"q"},
  };
  for (const auto& line : lines) {
    ShellDouble shell;
    EXPECT_EQ(RunWith(line), -1);
    EXPECT_EQ(shell.err(), kHelpText);
    EXPECT_TRUE(shell.out().empty());
    EXPECT_TRUE(shell.LogOf({"Co", "IL"}).empty());
  }
}

TEST(Entry, SetArgumentCountErrorPrecedesTheHelp) {
  ShellDouble shell;
  EXPECT_EQ(RunWith({L"a.lnk", L"s"}), -1);
  EXPECT_EQ(shell.err(), std::wstring(L"Error: AppID setting requires exactly 4 arguments: corv "
                                      L"<shortcut.lnk> s <AppUserModelID>\n") +
                             kHelpText);
  EXPECT_TRUE(shell.LogOf({"Co"}).empty());
}

TEST(Entry, FailedCoInitializeEndsWithOneAndNoUninitialize) {
  ShellDouble shell;
  shell.script.coInitialize = E_OUTOFMEMORY;
  EXPECT_EQ(RunWith({L"a.lnk", L"p"}), 1);
  EXPECT_EQ(shell.log(), (Log{"CoInitialize(null)", "fputws(stderr): CoInitialize failed.\n"}));
  EXPECT_TRUE(shell.out().empty());
}

TEST(Entry, ApartmentAlreadyOpenIsStillClosedOnce) {
  ShellDouble shell;
  shell.script.coInitialize = S_FALSE;
  EXPECT_EQ(RunWith({L"a.lnk", L"u"}), 0);
  EXPECT_EQ(shell.LogOf({"Co"}).front(), "CoInitialize(null)");
  EXPECT_EQ(shell.LogOf({"CoUninitialize"}).size(), 1u);
  EXPECT_EQ(shell.log().back(), "CoUninitialize");
}

TEST(Entry, PinRunsInsideTheApartment) {
  ShellDouble shell;
  EXPECT_EQ(RunWith({L"C:\\x\\App.lnk", L"pull", L"surplus"}), 0);
  EXPECT_EQ(shell.LogOf({"Co", "cout:", "ILCreate", "IPinnedList3", "ILFree"}),
            (Log{
                "CoInitialize(null)",
                "cout: No matching icon found, pinning new icon\n",
                "ILCreateFromPathW(C:\\x\\App.lnk) -> list1",
                "CoCreateInstance(PinnedListClassId, null, 0x17, IID_IPinnedList3)",
                // The shortcut, read for the look at the pin folder.
                "CoCreateInstance(CLSID_ShellLink, null, 0x1, IID_IShellLinkW)",
                "IPinnedList3::Modify(null, list1, 4)",
                "IPinnedList3::Release -> 0",
                // The pin it made, read back from the pin folder.
                "CoCreateInstance(CLSID_ShellLink, null, 0x1, IID_IShellLinkW)",
                "ILFree(list1)",
                "CoUninitialize",
            }));
  EXPECT_EQ(shell.log().front(), "CoInitialize(null)");
  EXPECT_EQ(shell.log().back(), "CoUninitialize");
  EXPECT_TRUE(shell.err().empty());
}

TEST(Entry, UnpinPassesTheListFirst) {
  ShellDouble shell;
  EXPECT_EQ(RunWith({L"App.lnk", L"u"}), 0);
  EXPECT_EQ(shell.LogOf({"IPinnedList3::Modify"}), Log{"IPinnedList3::Modify(list1, null, 4)"});
  EXPECT_TRUE(shell.out().empty());
  EXPECT_TRUE(shell.err().empty());
}

TEST(Entry, PinAndUnpinResultsBecomeTheExitCode) {
  {
    ShellDouble shell;
    shell.script.ilCreateFromPathReturnsNull = true;
    EXPECT_EQ(RunWith({L"missing.lnk", L"p"}), 2);
    EXPECT_EQ(shell.log().back(), "CoUninitialize");
  }
  {
    ShellDouble shell;
    shell.script.coCreateInstance = REGDB_E_CLASSNOTREG;
    EXPECT_EQ(RunWith({L"a.lnk", L"u"}), 3);
  }
  {
    ShellDouble shell;
    shell.script.modify = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    EXPECT_EQ(RunWith({L"a.lnk", L"u"}), 4);
    EXPECT_EQ(shell.log().back(), "CoUninitialize");
  }
}

TEST(Entry, CheckedPinSearchesBothWaysThenPins) {
  ShellDouble shell;
  EXPECT_EQ(RunWith({L"a.lnk", L"v"}), 0);
  const Log steps = shell.LogOf({"SHGetDesktopFolder", "FindFirstFileW", "cout:", "ILCreate",
                                 "IPinnedList3::Modify", "CoUninitialize"});
  ASSERT_EQ(steps.size(), 6u);
  EXPECT_EQ(steps[0], "SHGetDesktopFolder");
  EXPECT_EQ(steps[1].rfind("FindFirstFileW(", 0), 0u);
  EXPECT_EQ(steps[2], "cout: No matching icon found, pinning new icon\n");
  EXPECT_EQ(steps[3], "ILCreateFromPathW(a.lnk) -> list2");
  EXPECT_EQ(steps[4], "IPinnedList3::Modify(null, list2, 4)");
  EXPECT_EQ(steps[5], "CoUninitialize");
}

TEST(Entry, CheckedPinWithAMatchPinsNothing) {
  ShellDouble shell;
  shell.script.link.path = L"C:\\App\\app.exe";
  shell.script.items = {L"C:\\Pins\\App.lnk"};
  EXPECT_EQ(RunWith({L"a.lnk", L"v"}), 0);
  EXPECT_TRUE(shell.LogOf({"ILCreate", "IPinnedList3", "cout:"}).empty());
}

TEST(Entry, AppIdOperationsSucceedWithZero) {
  {
    ShellDouble shell;
    EXPECT_EQ(RunWith({L"a.lnk", L"g"}), 0);
    EXPECT_EQ(shell.out(), L"No AppUserModelID set for shortcut: a.lnk\n");
  }
  {
    ShellDouble shell;
    EXPECT_EQ(RunWith({L"a.lnk", L"s", L"My.App"}), 0);
    EXPECT_EQ(shell.out(), L"Successfully set AppUserModelID 'My.App' for shortcut: a.lnk\n");
    EXPECT_TRUE(shell.err().empty());
  }
}

TEST(Entry, FailedAppIdOperationsCloseWithTheirOwnLine) {
  {
    ShellDouble shell;
    shell.script.link.load = E_ACCESSDENIED;
    EXPECT_EQ(RunWith({L"a.lnk", L"g"}), 6);
    const Log lines = shell.LogOf({"wcerr", "fputws", "CoUninitialize"});
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 2], "fputws(stderr): GetShortcutAppID failed.\n");
    EXPECT_EQ(lines.back(), "CoUninitialize");
    EXPECT_EQ(shell.LogOf({"wcerr"}).size(), 1u) << "one diagnostic line before it";
  }
  {
    ShellDouble shell;
    shell.script.link.save = E_ACCESSDENIED;
    EXPECT_EQ(RunWith({L"a.lnk", L"s", L"My.App"}), 5);
    const Log lines = shell.LogOf({"wcerr", "fputws", "CoUninitialize"});
    EXPECT_EQ(lines, (Log{"wcerr: Failed to save shortcut file. HRESULT: 0x80070005\n",
                          "fputws(stderr): SetShortcutAppID failed.\n", "CoUninitialize"}));
  }
}

}  // namespace
}  // namespace corvane
