// The program's four output channels under the stand-in's console, as a
// real process with redirected output writes them: bytes, line ends,
// buffering and order, cut-off lines, HRESULT and integer format, exit
// status and the wide argument vector. console_probe does the writing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "support/process.h"

namespace {

using corvane::testing::ProcessOptions;
using corvane::testing::ProcessResult;
using corvane::testing::ReadFileBytes;
using corvane::testing::RunProcess;
using corvane::testing::TemporaryFolder;
using corvane::testing::WriteFileBytes;

constexpr char kAbove00FF[] = "\xc4\x80";  // U+0100 in UTF-8

ProcessResult Probe(const std::vector<std::string>& script) {
  return RunProcess(CONSOLE_PROBE, script);
}

// Runs with stderr sent into the same file as stdout, as 2>&1 does.
std::string ProbeMerged(const std::vector<std::string>& script) {
  ProcessOptions options;
  options.mergeStderrIntoStdout = true;
  const ProcessResult result = RunProcess(CONSOLE_PROBE, script, options);
  EXPECT_EQ(result.exitStatus, 0);
  return result.out;
}

TEST(PosixConsoleBytes, EveryLineFeedBecomesCrLfOnBothStreams) {
  const ProcessResult result = Probe({"info", "a\nb", "infoend", "narrow", "c\n", "narrowend",
                                      "error", "d\ne", "errorend", "raw", "f\ng"});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out, "a\r\nb\r\nc\r\n\r\n");
  EXPECT_EQ(result.err, "d\r\ne\r\nf\r\ng\r\n");
}

TEST(PosixConsoleBytes, CarriageReturnBeforeALineFeedIsKept) {
  const ProcessResult result = Probe({"info", "a\r\nb", "error", "c\r\n"});
  EXPECT_EQ(result.out, "a\r\r\nb");
  EXPECT_EQ(result.err, "c\r\r\n");
}

TEST(PosixConsoleBytes, CharactersBelowU0100BecomeOneByteOfTheSameValue) {
  const ProcessResult result = Probe({"info", "caf\xc3\xa9 \xc2\x80\xc3\xbf", "infoend", "error",
                                      "\xc3\xa9t\xc3\xa9", "errorend", "raw", "na\xc3\xaftre"});
  EXPECT_EQ(result.out, "caf\xe9 \x80\xff\r\n");
  EXPECT_EQ(result.err, "\xe9t\xe9\r\nna\xeftre\r\n");
}

TEST(PosixConsoleBytes, NarrowInfoStreamWritesItsBytesUnchanged) {
  const ProcessResult result = Probe({"narrow", "caf\xc3\xa9 \xff", "narrowend"});
  EXPECT_EQ(result.out, "caf\xc3\xa9 \xff\r\n");
  EXPECT_EQ(result.err, "");
}

TEST(PosixConsoleCutOff, CharacterAboveU00FFSilencesInfoStreamForTheRestOfTheRun) {
  const ProcessResult result =
      Probe({"info", std::string("ab") + kAbove00FF + "cd", "infoend", "info", "later", "infoend",
             "narrow", "N", "narrowend", "error", "E", "errorend", "raw", "R", "info", "last",
             "exit", "2"});
  EXPECT_EQ(result.exitStatus, 2);
  // The line stops just before the character and never gets its line end.
  EXPECT_EQ(result.out, "abN\r\n");
  EXPECT_EQ(result.err, "E\r\nR\r\n");
}

TEST(PosixConsoleCutOff, CharacterAboveUFFFFCutsTheLineToo) {
  const ProcessResult result = Probe({"info", "a\xf0\x9f\x98\x80z", "infoend", "narrow", "N"});
  EXPECT_EQ(result.out, "aN");
}

TEST(PosixConsoleCutOff, CharacterAboveU00FFSilencesErrorStreamForTheRestOfTheRun) {
  const ProcessResult result =
      Probe({"error", std::string("xy") + kAbove00FF + "z", "errorend", "error", "later",
             "errorend", "vartype", "5", "hresult", "80004005", "raw", "R", "info", "I", "infoend",
             "narrow", "N", "narrowend"});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.err, "xyR\r\n");
  EXPECT_EQ(result.out, "I\r\nN\r\n");
}

TEST(PosixConsoleCutOff, RawErrorStreamStopsAtTheCharacterButLaterCallsStillWrite) {
  const ProcessResult result = Probe({"raw", std::string("a") + kAbove00FF + "b", "raw", "c",
                                      "error", "E", "errorend", "raw", "d"});
  EXPECT_EQ(result.err, "ac\r\nE\r\nd\r\n");
}

TEST(PosixConsoleOrder, InfoAndNarrowTextKeepTheirOrderOnStdout) {
  const ProcessResult result = Probe({"info", "1", "narrow", "2", "info", "3", "infoend", "narrow",
                                      "4", "narrowend", "info", "5", "narrow", "6"});
  EXPECT_EQ(result.out, "123\r\n4\r\n56");
}

TEST(PosixConsoleOrder, TextWithoutALineEndStillComesOutAtExit) {
  const ProcessResult info = Probe({"info", "tail", "exit", "3"});
  EXPECT_EQ(info.exitStatus, 3);
  EXPECT_EQ(info.out, "tail");

  const ProcessResult narrow = Probe({"narrow", "tail"});
  EXPECT_EQ(narrow.out, "tail");

  const ProcessResult error = Probe({"error", "tail"});
  EXPECT_EQ(error.err, "tail");
}

TEST(PosixConsoleOrder, UnflushedStdoutTextComesAfterLaterRawErrorLines) {
  // stdout is buffered when redirected; stderr is not.
  EXPECT_EQ(ProbeMerged({"info", "pending ", "raw", "R1", "narrow", "more", "raw", "R2"}),
            "R1\r\nR2\r\npending more");
}

TEST(PosixConsoleOrder, EndedLinesKeepTheirOrderWhenMerged) {
  EXPECT_EQ(
      ProbeMerged({"info", "1", "infoend", "raw", "2", "narrow", "3", "narrowend", "error", "4",
                   "errorend", "info", "5", "infoend", "hresult", "8007000E", "raw", "6"}),
      "1\r\n2\r\n3\r\n4\r\n5\r\nX HRESULT: 0x8007000e\r\n6\r\n");
}

TEST(PosixConsoleOrder, ErrorStreamPushesOutPendingStdoutTextFirst) {
  // ErrorStream is tied to InfoStream, and flushing InfoStream flushes the
  // stdout it shares with NarrowInfoStream.
  EXPECT_EQ(ProbeMerged({"info", "I", "error", "E", "errorend", "raw", "R"}), "IE\r\nR\r\n");
  EXPECT_EQ(ProbeMerged({"narrow", "N", "error", "E", "errorend"}), "NE\r\n");
}

TEST(PosixConsoleNumbers, FailingHResultPrintsAsEightLowerCaseHexDigits) {
  const ProcessResult result = Probe(
      {"hresult", "8007000E", "hresult", "80004005", "hresult", "800401F0", "hresult", "FFFFFFFF"});
  EXPECT_EQ(result.err,
            "X HRESULT: 0x8007000e\r\n"
            "X HRESULT: 0x80004005\r\n"
            "X HRESULT: 0x800401f0\r\n"
            "X HRESULT: 0xffffffff\r\n");
  EXPECT_EQ(result.out, "");
}

TEST(PosixConsoleNumbers, SmallHResultHasNoPadding) {
  EXPECT_EQ(Probe({"hresult", "1", "hresult", "0", "hresult", "7FFFFFFF"}).err,
            "X HRESULT: 0x1\r\nX HRESULT: 0x0\r\nX HRESULT: 0x7fffffff\r\n");
}

TEST(PosixConsoleNumbers, IntegersPrintInDecimalUntilTheFirstHResultLineThenInHex) {
  EXPECT_EQ(Probe({"vartype", "31", "vartype", "8", "hresult", "80004005", "vartype", "31",
                   "vartype", "65535"})
                .err,
            "31\r\n8\r\nX HRESULT: 0x80004005\r\n1f\r\nffff\r\n");
}

TEST(PosixConsoleExit, StatusIsWhatWmainReturnsModulo256) {
  EXPECT_EQ(Probe({}).exitStatus, 0);
  EXPECT_EQ(Probe({"exit", "0"}).exitStatus, 0);
  EXPECT_EQ(Probe({"exit", "6"}).exitStatus, 6);
  EXPECT_EQ(Probe({"exit", "-1"}).exitStatus, 255);
}

TEST(PosixConsoleArguments, ArriveAsDecodedCodePoints) {
  const ProcessResult result = Probe(
      {"args", "plain", "caf\xc3\xa9", "\xf0\x9f\x98\x80", "", "a b", "\xe2\x82\xac", "?*.lnk"});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out,
            "70 6c 61 69 6e\r\n"
            "63 61 66 e9\r\n"
            "1f600\r\n"
            "\r\n"
            "61 20 62\r\n"
            "20ac\r\n"
            "3f 2a 2e 6c 6e 6b\r\n");
}

TEST(PosixConsoleArguments, InvalidUtf8BytesArriveAsDc80PlusTheByte) {
  const ProcessResult result =
      Probe({"args", "a\xffz", "\xc3", "\x80\xbf", "\xc0\xaf", "\xed\xa0\x80", "\xe2\x82"});
  EXPECT_EQ(result.out,
            "61 dcff 7a\r\n"
            "dcc3\r\n"
            "dc80 dcbf\r\n"
            "dcc0 dcaf\r\n"
            "dced dca0 dc80\r\n"
            "dce2 dc82\r\n");
}

TEST(PosixConsolePipe, WriteToAClosedPipeDoesNotKillTheProcess) {
  TemporaryFolder folder;
  const std::string errPath = folder.path() + "/stderr";
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  // No reader exists anywhere once the child starts writing.
  close(fds[0]);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Start from the default disposition, whatever this process inherited.
    std::signal(SIGPIPE, SIG_DFL);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (err < 0) _exit(126);
    dup2(fds[1], STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    execl(CONSOLE_PROBE, CONSOLE_PROBE, "info", "x", "infoend", "raw", "after", "info", "tail",
          "exit", "7", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  int status = 0;
  // Only a signal may cut the wait short; any other failure would repeat.
  while (waitpid(child, &status, 0) < 0) ASSERT_EQ(errno, EINTR) << std::strerror(errno);
  ASSERT_FALSE(WIFSIGNALED(status)) << "killed by signal " << WTERMSIG(status);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 7);
  EXPECT_EQ(ReadFileBytes(errPath), "after\r\n");
}

}  // namespace
