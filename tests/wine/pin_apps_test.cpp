// examples/windows/pin-apps.cmd, the administrators' logon script, run by
// Wine's cmd.exe in a console of its own, with CORV naming corv.exe: what it
// prints, its log and /once record, and its exit codes. Where Wine's cmd
// cannot show a case, the test says so.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/process.h"
#include "wine_support.h"

namespace corvane::wine {
namespace {

class WineExampleScript : public WineCorvTest {
 protected:
  testing::ProcessResult Script(std::vector<std::string> arguments,
                                const std::string& serverResult = "S_OK", const CmdRun& cmd = {}) {
    WineRun run;
    run.serverResult = serverResult;
    run.arguments = std::move(arguments);
    run.workingDirectory = work_.unixPath();
    run.serverLog = logFolder_.path() + "/server.log";
    return RunCmdScript(std::string(CORV_EXAMPLES_DIR) + "/windows/pin-apps.cmd", run, cmd);
  }
  // The script's log, each line without its leading "[date time] ".
  static Lines ScriptLog() {
    Lines lines = ServerLog(WineAppData() + "/../Local/Corvane/pin-apps.log");
    for (std::string& line : lines) {
      line = line[0] == '[' ? line.substr(line.find("] ") + 2) : "undated: " + line;
    }
    return lines;
  }
  void TearDown() override {
    WineCorvTest::TearDown();
    std::error_code ignored;
    for (const char* folder : {"/../Local/Corvane", "/Corvane"}) {
      std::filesystem::remove_all(WineAppData() + folder, ignored);
    }
  }
};

TEST_F(WineExampleScript, ReportsAndLogsEveryResultAndPinsOnlyOnceWhenAsked) {
  work_.CopyExample("Example.lnk", "Apps/Editor.lnk");
  const std::string editor = work_.Windows("Apps/Editor.lnk");
  const std::string missing = work_.Windows("Apps/Missing.lnk");
  const std::string pinned = "is pinned: \"" + editor + "\"";
  const std::string noItem =
      "failed (2, ILCreateFromPathW failed: no such shortcut, or a "
      "relative path): \"" +
      missing + "\"";
  const std::string notUnpinned =
      "not unpinned: not pinned, or Windows refused: \"" + editor + "\"";
  const std::string modifyFailed = "failed (4, IPinnedList3::Modify failed): \"" + editor + "\"";
  std::filesystem::create_directories(PinFolder());

  // Exit code 1: one or more shortcuts failed (here two).
  EXPECT_TRUE(Produced(Script({missing, editor, missing}), pinned + "\r\n",
                       noItem + "\r\n" + noItem + "\r\n", 1));
  // Pinned already (the taskbar keeps a copy in the pin folder): v leaves it.
  testing::WriteFileBytes(PinFolder() + "/Editor.lnk", ExampleBytes("Example.lnk"));
  EXPECT_TRUE(Produced(Script({editor}), pinned + "\r\n", "", 0));
  EXPECT_TRUE(Produced(Script({"/unpin", editor}), "unpinned: \"" + editor + "\"\r\n", "", 0));
  // ERROR_NOT_FOUND from the pinned list: exit code 4, which unpinning
  // cannot tell from a refusal.
  EXPECT_TRUE(Produced(Script({"/unpin", editor}, "0x80070490"), notUnpinned + "\r\n", "", 0));
  std::filesystem::remove(PinFolder() + "/Editor.lnk");
  EXPECT_TRUE(Produced(Script({editor}, "0x80070490"), "", modifyFailed + "\r\n", 1));
  // /once pins it, and then leaves it alone although it is not pinned.
  EXPECT_TRUE(Produced(Script({"/once", editor}), pinned + "\r\n", "", 0));
  const std::string leftAlone = "left alone, pinned once before: \"" + editor + "\"";
  EXPECT_TRUE(Produced(Script({"/once", editor}), leftAlone + "\r\n", "", 0));
  EXPECT_EQ(Log(), Concat({Pinned(editor), Unpinned(editor), Unpinned(editor), Pinned(editor),
                           Pinned(editor)}));
  EXPECT_EQ(ScriptLog(), (Lines{noItem, pinned, noItem, pinned, "unpinned: \"" + editor + "\"",
                                notUnpinned, modifyFailed, pinned, leftAlone}));
}

// A "!" survives delayed expansion on by default (cmd /v:on), CORV may be
// quoted, and the set-up failures have exit codes of their own.
TEST_F(WineExampleScript, KeepsPathsAsGivenAndRefusesToStartWithoutCorvOrAsSystem) {
  work_.CopyExample("Example.lnk", "Bang!/App.lnk");
  const std::string bang = work_.Windows("Bang!/App.lnk");
  std::filesystem::create_directories(work_.Unix("Program Files"));
  std::filesystem::copy_file(CORV_EXE, work_.Unix("Program Files/corv.exe"));
  const std::string quotedCorv = "\"" + work_.Windows("Program Files/corv.exe") + "\"";
  EXPECT_TRUE(Produced(Script({bang}, "S_OK", {{"/v:on"}, quotedCorv, {}}),
                       "is pinned: \"" + bang + "\"\r\n", "", 0));
  const std::string absent = work_.Windows("Absent/corv.exe");
  EXPECT_TRUE(Produced(Script({bang}, "S_OK", {{}, absent, {}}), "",
                       "corv.exe not found: \"" + absent + "\"\r\n", 2));
  const std::string system = "C:\\windows\\system32\\config\\systemprofile";
  EXPECT_TRUE(Produced(Script({bang}, "S_OK", {{}, "", {"USERPROFILE=" + system}}), "",
                       "refused to run as SYSTEM, profile: \"" + system + "\"\r\n", 3));
  EXPECT_EQ(Log(), Pinned(bang));
}

}  // namespace
}  // namespace corvane::wine
