#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/command_line.h"
#include "double/shell_double.h"

namespace corvane {
namespace {

using testing::ShellDouble;

struct Parsed {
  bool ok;
  CommandOptions options;
};

Parsed Parse(std::vector<std::wstring> arguments) {
  arguments.insert(arguments.begin(), L"corv.exe");
  std::vector<wchar_t*> argv;
  for (std::wstring& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  Parsed parsed{};
  parsed.ok = ParseCommandLine(static_cast<int>(arguments.size()), argv.data(), parsed.options);
  return parsed;
}

TEST(CommandLine, HelpOnlyAsTheSoleArgumentSpelledExactly) {
  ShellDouble shell;
  for (const wchar_t* help : {L"--help", L"-h"}) {
    const Parsed parsed = Parse({help});
    EXPECT_TRUE(parsed.ok) << testing::Utf8(help);
    EXPECT_EQ(parsed.options.kind, CommandKind::Help);
  }
  for (const wchar_t* notHelp : {L"--HELP", L"-H", L"-help", L"/?", L"--help ", L"C:\\a.lnk"}) {
    const Parsed parsed = Parse({notHelp});
    EXPECT_FALSE(parsed.ok) << testing::Utf8(notHelp);
    EXPECT_TRUE(parsed.options.shortcutPath.empty()) << "a lone argument is never stored";
  }
  EXPECT_FALSE(Parse({}).ok);
  EXPECT_TRUE(shell.out().empty());
  EXPECT_TRUE(shell.err().empty());
}

TEST(CommandLine, FirstUnitOfTheCommandChoosesTheKind) {
  ShellDouble shell;
  const struct {
    const wchar_t* command;
    CommandKind kind;
  } cases[] = {
      {L"p", CommandKind::PinNoCheck},    {L"px", CommandKind::PinNoCheck},
      {L"pull", CommandKind::PinNoCheck}, {L"v", CommandKind::PinChecked},
      {L"vx", CommandKind::PinChecked},   {L"u", CommandKind::Unpin},
      {L"unpin", CommandKind::Unpin},     {L"g", CommandKind::GetAppId},
      {L"get", CommandKind::GetAppId},
  };
  for (const auto& c : cases) {
    const Parsed parsed = Parse({L"C:\\x\\App.lnk", c.command});
    ASSERT_TRUE(parsed.ok) << testing::Utf8(c.command);
    EXPECT_EQ(parsed.options.kind, c.kind) << testing::Utf8(c.command);
    EXPECT_EQ(parsed.options.shortcutPath, L"C:\\x\\App.lnk");
    EXPECT_TRUE(parsed.options.appId.empty());
  }
  EXPECT_TRUE(shell.err().empty());
}

TEST(CommandLine, UpperCaseEmptyAndUnknownCommandsFail) {
  ShellDouble shell;
  for (const wchar_t* command : {L"P", L"V", L"U", L"S", L"G", L"", L"x", L"-p", L" p"}) {
    EXPECT_FALSE(Parse({L"a.lnk", command}).ok) << testing::Utf8(command);
  }
  EXPECT_TRUE(shell.err().empty()) << "only the s argument count has a line of its own";
}

TEST(CommandLine, ShortcutPathIsCopiedAsTypedEvenWhenTheCommandFails) {
  ShellDouble shell;
  const Parsed parsed = Parse({L"..\\odd path\\*.lnk", L"X"});
  EXPECT_FALSE(parsed.ok);
  EXPECT_EQ(parsed.options.shortcutPath, L"..\\odd path\\*.lnk");
}

TEST(CommandLine, SurplusArgumentsAreIgnoredForPinUnpinAndGet) {
  ShellDouble shell;
  const Parsed parsed = Parse({L"a.lnk", L"p", L"extra", L"more"});
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.options.kind, CommandKind::PinNoCheck);
  EXPECT_TRUE(parsed.options.appId.empty());
  EXPECT_TRUE(Parse({L"a.lnk", L"g", L"extra"}).ok);
}

TEST(CommandLine, HelpFollowedByMoreArgumentsIsAShortcutPath) {
  ShellDouble shell;
  const Parsed parsed = Parse({L"--help", L"p"});
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.options.kind, CommandKind::PinNoCheck);
  EXPECT_EQ(parsed.options.shortcutPath, L"--help");
}

TEST(CommandLine, SetTakesExactlyOneIdentifier) {
  ShellDouble shell;
  Parsed parsed = Parse({L"a.lnk", L"s", L"My.App"});
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.options.kind, CommandKind::SetAppId);
  EXPECT_EQ(parsed.options.appId, L"My.App");

  parsed = Parse({L"a.lnk", L"set", L""});
  ASSERT_TRUE(parsed.ok) << "an empty identifier is accepted";
  EXPECT_EQ(parsed.options.kind, CommandKind::SetAppId);
  EXPECT_TRUE(parsed.options.appId.empty());
  EXPECT_TRUE(shell.err().empty());
}

TEST(CommandLine, SetWithTooFewOrTooManyArgumentsWritesOneErrorLine) {
  const std::wstring line =
      L"Error: AppID setting requires exactly 4 arguments: corv <shortcut.lnk> s "
      L"<AppUserModelID>\n";
  for (const std::vector<std::wstring>& arguments :
       {std::vector<std::wstring>{L"a.lnk", L"s"},
        std::vector<std::wstring>{L"a.lnk", L"s", L"One", L"Two"}}) {
    ShellDouble shell;
    const Parsed parsed = Parse(arguments);
    EXPECT_FALSE(parsed.ok);
    EXPECT_TRUE(parsed.options.appId.empty());
    EXPECT_EQ(shell.err(), line);
    EXPECT_TRUE(shell.out().empty());
    EXPECT_EQ(shell.LogOf({"wcerr"}).size(), 1u) << "written through ErrorStream";
  }
}

}  // namespace
}  // namespace corvane
