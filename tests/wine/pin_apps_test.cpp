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

const std::string kShippedScript = std::string(CORV_EXAMPLES_DIR) + "/windows/pin-apps.cmd";

class WineExampleScript : public WineCorvTest {
 protected:
  // The line that counts a run's results goes from stdout to counts_.
  testing::ProcessResult Script(std::vector<std::string> arguments,
                                const std::string& serverResult = "S_OK", const CmdRun& cmd = {},
                                const std::string& script = kShippedScript) {
    WineRun run;
    run.serverResult = serverResult;
    run.arguments = std::move(arguments);
    run.workingDirectory = work_.unixPath();
    run.serverLog = logFolder_.path() + "/server.log";
    testing::ProcessResult result = RunCmdScript(script, run, cmd);
    const std::size_t at = result.out.find(" unpinned, "), start = result.out.rfind('\n', at) + 1;
    counts_ =
        at == std::string::npos ? "" : result.out.substr(start, result.out.find('\r', at) - start);
    if (at != std::string::npos) result.out.erase(start, counts_.size() + 2);
    return result;
  }
  static std::string LogFolder() { return WineAppData() + "/../Local/Corvane"; }
  // The script's log, each line without its leading "[date time] ", and
  // without the lines that count results.
  static Lines ScriptLog() {
    Lines lines;
    for (const std::string& line : ServerLog(LogFolder() + "/pin-apps.log")) {
      if (line.find(" unpinned, ") != std::string::npos) continue;
      lines.push_back(line[0] == '[' ? line.substr(line.find("] ") + 2) : "undated: " + line);
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
  std::string counts_;
};

TEST_F(WineExampleScript, ReportsAndLogsEveryResultAndPinsOnlyOnceWhenAsked) {
  work_.CopyExample("Example.lnk", "Apps/Editor.lnk");
  const std::string editor = work_.Windows("Apps/Editor.lnk");
  const std::string missing = work_.Windows("Apps/Missing.lnk");
  const std::string pinned = "is pinned: \"" + editor + "\"";
  const std::string noItem =
      "failed (2, ILCreateFromPathW failed: no such shortcut, or a "
      "relative path): \"" +
      missing + "\", error output: \"ILCreateFromPathW failed.\"";
  const std::string notUnpinned =
      "not unpinned: not pinned, or Windows refused: \"" + editor + "\"";
  const std::string modifyFailed = "failed (4, IPinnedList3::Modify failed): \"" + editor +
                                   "\", error output: \"Failed to parse taskbar folder path. / "
                                   "IPinnedList3::Modify failed.\"";
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
  std::filesystem::remove_all(PinFolder());  // v says so on stderr, before the failure
  EXPECT_TRUE(Produced(Script({editor}, "0x80070490"), "", modifyFailed + "\r\n", 1));
  // /once pins it, and then leaves it alone although it is not pinned,
  // until /unpin takes it out of the record.
  EXPECT_TRUE(Produced(Script({"/once", editor}), pinned + "\r\n", "", 0));
  const std::string leftAlone = "left alone, pinned once before: \"" + editor + "\"";
  EXPECT_TRUE(Produced(Script({"/once", editor}), leftAlone + "\r\n", "", 0));
  EXPECT_EQ(counts_, "0 pinned, 0 unpinned, 1 left alone, 0 not unpinned, 0 failed");
  EXPECT_EQ(Script({"/unpin", editor}).exitStatus, 0);
  EXPECT_EQ(Script({"/once", editor}).out, pinned + "\r\n");
  EXPECT_EQ(Log(), Concat({Pinned(editor), Unpinned(editor), Unpinned(editor), Pinned(editor),
                           Pinned(editor), Unpinned(editor), Pinned(editor)}));
  EXPECT_EQ(ScriptLog(),
            (Lines{noItem, pinned, noItem, pinned, "unpinned: \"" + editor + "\"", notUnpinned,
                   modifyFailed, pinned, leftAlone, "unpinned: \"" + editor + "\"", pinned}));
}

// A "!", "&" and parentheses survive delayed expansion on by default
// (cmd /v:on), CORV may be quoted, and the set-up failures have exit codes
// of their own. Wine's cmd drops a "%" from any value it expands and does
// not double carets in CALL, so "%" and "^" cannot be tried here. An empty
// argument fails, and the run goes on (first, it is no call for the list).
TEST_F(WineExampleScript, KeepsPathsAsGivenAndRefusesToStartWithoutCorvOrAsSystem) {
  work_.CopyExample("Example.lnk", "Bang! & (x86)/App.lnk");
  const std::string bang = work_.Windows("Bang! & (x86)/App.lnk");
  std::filesystem::create_directories(work_.Unix("Program Files"));
  std::filesystem::copy_file(CORV_EXE, work_.Unix("Program Files/corv.exe"));
  const std::string quotedCorv = "\"" + work_.Windows("Program Files/corv.exe") + "\"";
  const std::string empty = "failed (empty, no shortcut named): \"\"\r\n";
  EXPECT_TRUE(Produced(Script({"", bang, ""}, "S_OK", {{"/v:on"}, quotedCorv, {}}),
                       "is pinned: \"" + bang + "\"\r\n", empty + empty, 1));
  EXPECT_EQ(counts_, "1 pinned, 0 unpinned, 0 left alone, 0 not unpinned, 2 failed");
  EXPECT_TRUE(Produced(Script({"/unpin", "/once", bang}), "",
                       "wrong switch (one of /once or /unpin, before the shortcuts): \"/once\"\r\n",
                       4));
  for (const Lines& wrong : {Lines{"/once", "/once", bang}, {bang, "/once"}, {"/Pin", bang}}) {
    EXPECT_EQ(Script(wrong).exitStatus, 4);
  }
  const std::string absent = work_.Windows("Absent/corv.exe");
  EXPECT_TRUE(Produced(Script({bang}, "S_OK", {{}, absent, {}}), "",
                       "corv.exe not found: \"" + absent + "\"\r\n", 2));
  const std::string folder = work_.Windows("Program Files");
  EXPECT_TRUE(Produced(Script({bang}, "S_OK", {{}, folder, {}}), "",
                       "corv.exe not found, CORV names a folder: \"" + folder + "\"\r\n", 2));
  // A file that cmd cannot start: cmd's error code, not one of corv.exe's.
  testing::WriteFileBytes(work_.Unix("Program Files/text.exe"), "no program");
  const std::string err =
      Script({bang}, "S_OK", {{}, work_.Windows("Program Files/text.exe"), {}}).err;
  EXPECT_EQ(err.rfind("could not run corv.exe (cmd error 9009): \"" + bang + "\"", 0), 0u) << err;
  const std::string system = "C:\\windows\\system32\\config\\systemprofile";
  EXPECT_TRUE(Produced(Script({bang}, "S_OK", {{}, "", {"USERPROFILE=" + system}}), "",
                       "refused to run as SYSTEM, profile: \"" + system + "\"\r\n", 3));
  EXPECT_EQ(Log(), Pinned(bang));
}

// The list named after a copy of the script: UTF-8 with a byte-order mark,
// a comment, a quoted line with a variable, a "?". Wine's cmd removes the
// mark and expands variables in values again itself, so the script's doing
// cannot be shown; it reads a file without the mark in the ANSI code page,
// so such a list, or a /once record of such names, cannot be tried. "chcp"
// after the script shows the code page restored (the status is chcp's).
TEST_F(WineExampleScript, ReadsTheListInUtf8AndRestoresTheCodePage) {
  const std::string name = "Z\xc5\x82oty \xe6\x97\xa5\xe6\x9c\xac A^B! (1) & 2.lnk";
  work_.CopyExample("Example.lnk", name);
  const std::string zloty = work_.Windows(name), unsure = work_.Windows("Pl?in.lnk");
  const std::string script = work_.Unix("Deploy/finance.cmd"),
                    list = work_.Unix("Deploy/finance.txt");
  std::filesystem::create_directories(work_.Unix("Deploy"));
  std::filesystem::copy_file(kShippedScript, script);
  testing::WriteFileBytes(list, "\xef\xbb\xbf# pins\r\n\r\n\"%SystemDrive%" + zloty.substr(2) +
                                    "\"\r\n" + unsure + "\r\n");
  EXPECT_TRUE(
      Produced(Script({"&", "chcp"}, "S_OK", {}, script),
               "is pinned: \"" + zloty + "\"\r\nActive code page: 437\r\n",
               "failed (? or * in the path: a wildcard, or a character lost in saving): \"" +
                   unsure + "\"\r\n",
               0));
  EXPECT_EQ(Log(), Pinned(zloty));
  EXPECT_EQ(ScriptLog()[0], "is pinned: \"" + zloty + "\"");
  std::filesystem::remove(list);
  EXPECT_EQ(Script({}, "S_OK", {}, script).exitStatus, 5);
}

// A log of 1 MiB or more turns old as a run starts. Wine's robocopy writes
// no message, so the ISO 8601 time cannot be shown here: the lines carry
// %DATE% %TIME%, but never the values a parent set.
TEST_F(WineExampleScript, LogTurnsOldAtOneMebibyteAndInheritedVariablesHideNothing) {
  const std::string missing = work_.Windows("Missing.lnk"), log = LogFolder() + "/pin-apps.log";
  std::filesystem::create_directories(LogFolder());
  testing::WriteFileBytes(log, std::string(1048575, 'x'));
  EXPECT_EQ(
      Script({missing}, "S_OK", {{}, "", {"ERRORLEVEL=0", "DATE=1999-01-01", "TIME=0"}}).exitStatus,
      1);
  EXPECT_FALSE(std::filesystem::exists(LogFolder() + "/pin-apps.old.log"));
  EXPECT_EQ(testing::ReadFileBytes(log).find("1999-01-01"), std::string::npos);
  testing::WriteFileBytes(log, std::string(1048576, 'x'));
  EXPECT_EQ(Script({missing}).exitStatus, 1);
  EXPECT_EQ(testing::ReadFileBytes(LogFolder() + "/pin-apps.old.log"), std::string(1048576, 'x'));
}

}  // namespace
}  // namespace corvane::wine
