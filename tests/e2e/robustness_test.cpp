// corv under pressure: several runs at once on the same files and pin
// folder, a run killed part-way through a save, and writes cut short by a
// file-size limit. Whatever happens, a shortcut is whole (the old bytes or
// the new ones) and the pin folder holds only whole pins.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "e2e/corv_test.h"

extern char** environ;

namespace {

using namespace corvane::e2e;

// A run of corv started in the background, with this test's environment.
class Background {
 public:
  Background(const std::vector<std::string>& arguments, const std::string& appData,
             const std::string& workFolder) {
    std::vector<std::string> argvStrings{CORV_BINARY};
    argvStrings.insert(argvStrings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : argvStrings) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStrings{"APPDATA=" + appData, "CORVANE_RESOURCE_CHECK=1",
                                        "PATH=/usr/bin:/bin"};
    std::vector<char*> env;
    for (std::string& variable : envStrings) env.push_back(variable.data());
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, workFolder.c_str());
    const std::string corv = CORV_BINARY;
    spawned_ = posix_spawn(&pid_, corv.c_str(), &actions, nullptr, argv.data(), env.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
  }
  // The exit status, -1 when the run was ended by a signal, -3 when it
  // could not be waited for.
  int Wait() {
    if (!spawned_) return -2;
    int status = 0;
    spawned_ = false;
    while (waitpid(pid_, &status, 0) < 0) {
      // Only a signal may cut the wait short; any other failure would repeat.
      if (errno != EINTR) return -3;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void Kill() {
    if (spawned_) kill(pid_, SIGKILL);
  }

 private:
  pid_t pid_ = -1;
  bool spawned_ = false;
};

class E2eRobustness : public CorvTest {
 protected:
  // Runs corv with a limit on the size of the files it writes.
  ProcessResult RunLimited(const std::vector<std::string>& arguments) {
    return RunBehind({"/bin/sh", "-c", "ulimit -f 1 && exec \"$0\" \"$@\""}, {}, arguments);
  }

  std::vector<int> RunTogether(const std::vector<std::vector<std::string>>& commands) {
    std::vector<Background> runs;
    runs.reserve(commands.size());
    for (const auto& command : commands) runs.emplace_back(command, AppData(), WorkPath(""));
    std::vector<int> statuses;
    for (Background& run : runs) statuses.push_back(run.Wait());
    return statuses;
  }

  // corv's answer to g: the identifier, "none", or "unreadable".
  std::string StoredAppId(const std::string& path) {
    const ProcessResult result = Run(path, "g");
    if (result.exitStatus != 0) return "unreadable";
    const std::string prefix = "AppUserModelID: ";
    if (result.out.rfind(prefix, 0) == 0) {
      return result.out.substr(prefix.size(), result.out.size() - prefix.size() - 2);
    }
    return "none";
  }

  // Where strace kills a run: as it enters the count-th of the calls named
  // (a set of calls counts each apart); done says the run has got past the
  // step that makes its change.
  struct Kill {
    const char* calls;
    int count;
    bool done;
  };

  static bool StraceCanTrace() {
    return RunProcess("strace", {"-o", "/dev/null", "true"}).exitStatus == 0;
  }

  // Runs corv under strace with that kill; gives back the call it was
  // killed in as strace shows it, empty when no kill landed.
  std::string KilledAt(const Kill& kill, const std::vector<std::string>& arguments) {
    const std::string log = logs_.path() + "/strace.log";
    const std::string calls = kill.calls;
    RunBehind({"strace", "-f", "-qq", "-o", log, "-e", "trace=" + calls, "-e",
               "inject=" + calls + ":signal=KILL:when=" + std::to_string(kill.count)},
              {}, arguments);
    const std::string text = ReadFileBytes(log);
    if (text.find("+++ killed by SIGKILL +++") == std::string::npos) return "";
    std::istringstream lines(text);
    std::string killed;
    for (std::string line; std::getline(lines, line);) {
      if (line.ends_with("= ?")) killed = line.substr(line.find_first_not_of("0123456789 "));
    }
    return killed;
  }

  static ::testing::AssertionResult Landed(const Kill& kill, const std::string& call) {
    const std::string name = "," + call.substr(0, call.find('(')) + ",";
    if (!call.empty() && ("," + std::string(kill.calls) + ",").find(name) != std::string::npos) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "killed in \"" << call << "\"";
  }

  std::vector<std::string> WorkFiles() { return ListFolder(WorkPath("")); }

  std::vector<std::string> HiddenIn(const std::string& folder) {
    std::vector<std::string> hidden;
    for (const std::string& name : ListFolder(folder)) {
      if (name.front() == '.') hidden.push_back(name);
    }
    return hidden;
  }

 private:
  TemporaryFolder logs_;
};

TEST_F(E2eRobustness, SixteenConcurrentPinsLeaveSixteenWholePins) {
  std::vector<std::vector<std::string>> commands;
  std::set<std::string> contents;
  for (int i = 0; i < 16; ++i) {
    // The same name in sixteen folders, each file with bytes of its own.
    const std::string bytes = example_ + std::string(static_cast<std::size_t>(i + 1), 'x');
    contents.insert(bytes);
    commands.push_back({CopyExample("Example.lnk", "from" + std::to_string(i) + "/App.lnk"), "p"});
    WriteFileBytes(commands.back()[0], bytes);
  }
  for (int status : RunTogether(commands)) EXPECT_EQ(status, 0);
  const std::vector<std::string> pins = Pins();
  ASSERT_EQ(pins.size(), 16u);
  std::set<std::string> pinned;
  for (const std::string& pin : pins) pinned.insert(PinBytes(pin));
  EXPECT_EQ(pinned, contents) << "every pin is one of the shortcuts, whole";
}

TEST_F(E2eRobustness, ConcurrentSetsLeaveOneOfTheValuesWritten) {
  const std::string shortcut = CopyExample("Minecraft.lnk", "App.lnk");
  std::vector<std::vector<std::string>> commands;
  std::set<std::string> written;
  for (int i = 0; i < 8; ++i) {
    written.insert("Contoso.App." + std::to_string(i));
    commands.push_back({shortcut, "s", "Contoso.App." + std::to_string(i)});
  }
  for (int status : RunTogether(commands)) EXPECT_EQ(status, 0);
  EXPECT_EQ(written.count(StoredAppId(shortcut)), 1u);
  EXPECT_TRUE(HiddenIn(WorkPath("")).empty());
}

TEST_F(E2eRobustness, ConcurrentPinsAndUnpinsKeepThePinFolderWhole) {
  const std::string shortcut = CopyExample("Example.lnk", "App.lnk");
  for (int round = 0; round < 10; ++round) {
    const std::vector<int> statuses =
        RunTogether({{shortcut, "p"}, {shortcut, "u"}, {shortcut, "p"}});
    for (int status : statuses) EXPECT_TRUE(status == 0 || status == kModifyFailedStatus);
    for (const std::string& pin : Pins()) EXPECT_EQ(PinBytes(pin), example_) << pin;
    EXPECT_LE(Pins().size(), 1u);
  }
}

// strace kills a save as it enters each of its steps: writing the new bytes
// into a file with no name, flushing them, linking them under a hidden name,
// renaming that over the shortcut, flushing the folder. Killed before the
// rename, the shortcut holds its old bytes; after it, those of a save that
// ran to its end. Before the link, nothing is left beside it.
TEST_F(E2eRobustness, SaveKilledAtEachStepLeavesTheOldShortcutOrTheNewOne) {
  if (!StraceCanTrace())
    GTEST_SKIP() << "strace (Debian package strace) is missing or cannot trace";
  const std::string reference = CopyExample("Minecraft.lnk", "Reference.lnk");
  ASSERT_EQ(Run(reference, "s", "Contoso.Killed").exitStatus, 0);
  const std::string saved = ReadFileBytes(reference);
  ASSERT_NE(saved, minecraft_);
  const Kill kills[] = {{"write", 1, false},
                        {"fsync,fdatasync", 1, false},
                        {"link,linkat", 1, false},
                        {"rename,renameat,renameat2", 1, false},
                        {"fsync,fdatasync", 2, true}};
  for (const Kill& kill : kills) {
    SCOPED_TRACE(std::string(kill.calls) + " #" + std::to_string(kill.count));
    const std::string shortcut = CopyExample("Minecraft.lnk", "App.lnk");
    ASSERT_TRUE(Landed(kill, KilledAt(kill, {shortcut, "s", "Contoso.Killed"})));
    EXPECT_EQ(ReadFileBytes(shortcut), kill.done ? saved : minecraft_);
    if (std::string_view(kill.calls) == "rename,renameat,renameat2") {
      for (const std::string& name : HiddenIn(WorkPath("")))
        std::filesystem::remove(WorkPath(name));
    }
    EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"App.lnk", "Reference.lnk"}));
  }
}

// The same for a pin, written into a file with no name, flushed, linked
// under its name, then the folder flushed: no pin until the link, a whole
// one after it, and never a hidden file.
TEST_F(E2eRobustness, PinKilledAtEachStepLeavesAWholePinOrNone) {
  if (!StraceCanTrace())
    GTEST_SKIP() << "strace (Debian package strace) is missing or cannot trace";
  const std::string shortcut = CopyExample("Minecraft.lnk", "App.lnk");
  // The first write is the progress line, on stdout.
  const Kill kills[] = {{"write", 2, false},
                        {"fsync,fdatasync", 1, false},
                        {"link,linkat", 1, false},
                        {"fsync,fdatasync", 2, true}};
  for (const Kill& kill : kills) {
    SCOPED_TRACE(std::string(kill.calls) + " #" + std::to_string(kill.count));
    std::filesystem::remove_all(PinFolder());
    const std::string call = KilledAt(kill, {shortcut, "p"});
    ASSERT_TRUE(Landed(kill, call));
    EXPECT_FALSE(call.starts_with("write(1,")) << call;
    EXPECT_EQ(Pins(), kill.done ? std::vector<std::string>{"App.lnk"} : std::vector<std::string>{});
    if (kill.done) {
      EXPECT_EQ(PinBytes("App.lnk"), minecraft_);
    }
    EXPECT_TRUE(HiddenIn(PinFolder()).empty());
  }
}

// A save writes a file with no name until it is whole: killed at any point
// while it writes a large shortcut, it leaves nothing beside it.
TEST_F(E2eRobustness, KilledSavesOfALargeShortcutLeaveNothingBehind) {
  const std::string shortcut = WriteLargeShortcut("Large.lnk", 16 << 20);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(Run(shortcut, "s", "Contoso.Timing").exitStatus, 0);
  const auto saveTime = std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count() +
                        1;
  std::mt19937 random(13);
  for (int round = 0; round < 12; ++round) {
    const std::string appId = "Contoso.Large." + std::to_string(round);
    const std::string before = StoredAppId(shortcut);
    Background save({shortcut, "s", appId}, AppData(), WorkPath(""));
    std::this_thread::sleep_for(std::chrono::microseconds(random() % saveTime));
    save.Kill();
    save.Wait();
    EXPECT_EQ(HiddenIn(WorkPath("")), std::vector<std::string>{}) << "round " << round;
    const std::string after = StoredAppId(shortcut);
    EXPECT_TRUE(after == before || after == appId) << "round " << round << ": " << after;
  }
}

// Memory that runs out is a failure like any other: each command ends with
// its own lines and code, and neither the shortcut nor the pins change.
TEST_F(E2eRobustness, NoMemoryForTheShortcutFailsEachCommandAndChangesNothing) {
  if (!WrapperWords().empty() || kUnderAddressSanitizer) {
    GTEST_SKIP() << "a checker around corv needs memory of its own";
  }
  ProcessOptions limited;
  limited.addressSpaceLimit = 40ull << 20;
  // Big.lnk is too large to read in at all; Half.lnk is read in, leaving no
  // room for the changed copy s makes of it.
  const std::string big = WriteLargeShortcut("Big.lnk", 60 << 20);
  const std::string half = WriteLargeShortcut("Half.lnk", 30 << 20);
  const std::string bytes = ReadFileBytes(big) + ReadFileBytes(half);
  // A pin under the same name: unpinning must not take it for want of room.
  std::filesystem::create_directories(PinFolder());
  WriteFileBytes(PinFolder() + "/Big.lnk", minecraft_);
  const std::string noMemory = "HRESULT: 0x8007000e\r\n";
  const std::string couldNotOpen = "Could not open " + big + "\r\n";
  for (const auto& [arguments, status] : std::vector<std::pair<std::vector<std::string>, int>>{
           {{big, "g"}, kGetAppIdFailedStatus},
           {{big, "s", "No.Room"}, kSetAppIdFailedStatus},
           {{half, "s", "No.Room"}, kSetAppIdFailedStatus}}) {
    const ProcessResult result = RunWith(limited, arguments);
    EXPECT_EQ(result.exitStatus, status) << arguments[0];
    EXPECT_NE(result.err.find(noMemory), std::string::npos) << result.err;
  }
  EXPECT_TRUE(
      Produced(RunWith(limited, {big, "p"}), kPinningNewIcon, kModifyFailed, kModifyFailedStatus));
  EXPECT_TRUE(Produced(RunWith(limited, {big, "v"}),
                       couldNotOpen + couldNotOpen + std::string(kPinningNewIcon), kModifyFailed,
                       kModifyFailedStatus));
  EXPECT_TRUE(Produced(RunWith(limited, {big, "u"}), "", kModifyFailed, kModifyFailedStatus));
  EXPECT_EQ(ReadFileBytes(big) + ReadFileBytes(half), bytes);
  EXPECT_EQ(Pins(), std::vector<std::string>{"Big.lnk"});
  EXPECT_EQ(PinBytes("Big.lnk"), minecraft_);
}

TEST_F(E2eRobustness, FileSizeLimitFailsTheSaveAndKeepsTheOriginal) {
  // Minecraft.lnk is larger than the limit of 512 or 1,024 bytes.
  const std::string shortcut = CopyExample("Minecraft.lnk", "App.lnk");
  const ProcessResult result = RunLimited({shortcut, "s", "Too.Large"});
  EXPECT_EQ(result.exitStatus, kSetAppIdFailedStatus);
  EXPECT_EQ(result.err,
            "Failed to save shortcut file. HRESULT: 0x80070070\r\n" + std::string(kSetAppIdFailed));
  EXPECT_EQ(ReadFileBytes(shortcut), minecraft_);
  EXPECT_TRUE(HiddenIn(WorkPath("")).empty());
}

TEST_F(E2eRobustness, FileSizeLimitFailsThePinAndLeavesNoPartOfIt) {
  const std::string shortcut = CopyExample("Minecraft.lnk", "App.lnk");
  ASSERT_TRUE(Pinned(Run(shortcut, "p")));
  ASSERT_TRUE(Unpinned(Run(shortcut, "u")));
  const ProcessResult result = RunLimited({shortcut, "p"});
  EXPECT_TRUE(Produced(result, kPinningNewIcon, kModifyFailed, kModifyFailedStatus));
  EXPECT_TRUE(Pins().empty());
}

// corv run on a small file system filled to its last page: a tmpfs of 64
// KiB mounted in a mount namespace of its own (so it goes when the run
// ends), holding App.lnk and the pin folder. Then the filler goes and the
// same command runs again, with room. What each run printed, and what the
// file system held after each, comes back through `out`.
class E2eFullFileSystem : public CorvTest {
 protected:
  struct Outcome {
    ProcessResult full;
    ProcessResult withRoom;
    std::string shortcutWhenFull;
    std::vector<std::string> entriesWhenFull;
    std::vector<std::string> pinsWhenFull;
    std::vector<std::string> pinsWithRoom;
  };

  // nullopt where this machine lets no test mount a file system.
  std::optional<Outcome> RunOnFullFileSystem(const std::string& source,
                                             const std::vector<std::string>& arguments) {
    const std::string mount = WorkPath("mnt");
    const std::string out = WorkPath("out");
    std::filesystem::create_directories(mount);
    std::filesystem::create_directories(out);
    const char* script = R"(
      m=$1; corv=$2; src=$3; out=$4; shift 4
      mount -t tmpfs -o size=64k,mode=0755 tmpfs "$m" || exit 99
      pins="$m/AppData/Microsoft/Internet Explorer/Quick Launch/User Pinned/TaskBar"
      mkdir -p "$pins" && cp "$src" "$m/App.lnk" || exit 98
      dd if=/dev/zero of="$m/filler" bs=4096 2>/dev/null
      cd "$m"
      run() {
        APPDATA="$m/AppData" CORVANE_RESOURCE_CHECK=1 "$corv" "$@" >"$out/stdout$n" 2>"$out/stderr$n"
        echo $? >"$out/status$n"
      }
      n=1; run "$@"
      ls -A "$m" >"$out/entries"; ls -A "$pins" >"$out/pins1"; cp "$m/App.lnk" "$out/App.lnk"
      rm "$m/filler"
      n=2; run "$@"
      ls -A "$pins" >"$out/pins2"
      exit 0)";
    const std::string namespaces = geteuid() == 0 ? "-m" : "-Urm";
    std::vector<std::string> command{namespaces, "/bin/sh", "-c", script, "sh", mount};
    command.insert(command.end(), {CORV_BINARY, source, out});
    command.insert(command.end(), arguments.begin(), arguments.end());
    const ProcessResult setUp = RunProcess("unshare", command);
    if (setUp.exitStatus != 0) {
      std::cerr << "no file system could be mounted: " << setUp.exitStatus << " " << setUp.err;
      return std::nullopt;
    }
    const auto lines = [&](const std::string& name) {
      std::vector<std::string> result;
      std::istringstream text(ReadFileBytes(out + "/" + name));
      for (std::string line; std::getline(text, line);) result.push_back(line);
      return result;
    };
    const auto result = [&](const std::string& n) {
      ProcessResult run;
      run.out = ReadFileBytes(out + "/stdout" + n);
      run.err = ReadFileBytes(out + "/stderr" + n);
      run.exitStatus = std::stoi(ReadFileBytes(out + "/status" + n));
      return run;
    };
    return Outcome{result("1"),      result("2"),    ReadFileBytes(out + "/App.lnk"),
                   lines("entries"), lines("pins1"), lines("pins2")};
  }

  const std::string pinFolderInMount_ =
      WorkPath("mnt") + "/AppData" + std::string(kPinFolderBelowAppData);
};

TEST_F(E2eFullFileSystem, SaveFailsWithDiskFullAndKeepsTheOriginal) {
  const std::string shortcut = WorkPath("mnt/App.lnk");
  const std::optional<Outcome> outcome = RunOnFullFileSystem(
      CopyExample("Minecraft.lnk", "Minecraft.lnk"), {shortcut, "s", "No.Room"});
  if (!outcome) GTEST_SKIP() << "this machine lets no test mount a file system";
  EXPECT_TRUE(Produced(
      outcome->full, "",
      "Failed to save shortcut file. HRESULT: 0x80070070\r\n" + std::string(kSetAppIdFailed),
      kSetAppIdFailedStatus));
  EXPECT_EQ(outcome->shortcutWhenFull, minecraft_);
  EXPECT_EQ(outcome->entriesWhenFull, (std::vector<std::string>{"App.lnk", "AppData", "filler"}));
  EXPECT_EQ(outcome->withRoom.exitStatus, 0) << outcome->withRoom.err;
}

TEST_F(E2eFullFileSystem, PinFailsAndLeavesNoPartOfIt) {
  const std::string shortcut = WorkPath("mnt/App.lnk");
  for (const char* command : {"p", "v"}) {
    SCOPED_TRACE(command);
    const std::optional<Outcome> outcome =
        RunOnFullFileSystem(CopyExample("Example.lnk", "Example.lnk"), {shortcut, command});
    if (!outcome) GTEST_SKIP() << "this machine lets no test mount a file system";
    EXPECT_EQ(outcome->full.exitStatus, kModifyFailedStatus);
    EXPECT_TRUE(outcome->full.out.ends_with(kPinningNewIcon)) << outcome->full.out;
    EXPECT_EQ(outcome->full.err, kModifyFailed);
    EXPECT_TRUE(outcome->pinsWhenFull.empty());
    EXPECT_EQ(outcome->shortcutWhenFull, example_);
    EXPECT_EQ(outcome->withRoom.exitStatus, 0) << outcome->withRoom.err;
    EXPECT_EQ(outcome->pinsWithRoom, std::vector<std::string>{"App.lnk"});
  }
}

}  // namespace

namespace {

using namespace corvane::e2e;

// Arguments no shortcut path should be: each gets its line and exit code,
// and nothing is read or written anywhere else.
class E2eHostileArguments : public CorvTest {};

TEST_F(E2eHostileArguments, OverlongPathsFailToLoadWithTheirCode) {
  const std::string longName(5000, 'a');
  const ProcessResult tooLongName = Run(longName + ".lnk", "g");
  EXPECT_EQ(tooLongName.exitStatus, kGetAppIdFailedStatus);
  EXPECT_EQ(tooLongName.err, "Failed to load shortcut file: " + longName +
                                 ".lnk. HRESULT: 0x800700ce\r\n" + std::string(kGetAppIdFailed));
  std::string deepPath;
  for (int i = 0; i < 25; ++i) deepPath += std::string(200, 'd') + "/";
  const ProcessResult tooDeep = Run(deepPath + "x.lnk", "s", "Never.Stored");
  EXPECT_EQ(tooDeep.exitStatus, kSetAppIdFailedStatus);
  EXPECT_NE(tooDeep.err.find("HRESULT: 0x800700ce\r\n"), std::string::npos);
}

// Longer than Windows' classic 260 characters, well within what Linux takes:
// every command works on it.
TEST_F(E2eHostileArguments, PathsOverTwoHundredSixtyCharactersWork) {
  const std::string folder(120, 'f');
  const std::string shortcut =
      CopyExample("Example.lnk", folder + "/" + folder + "/" + folder + "/App.lnk");
  ASSERT_GT(shortcut.size(), 360u);
  EXPECT_TRUE(Produced(Run(shortcut, "g"),
                       "No AppUserModelID set for shortcut: " + shortcut + "\r\n", "", 0));
  EXPECT_TRUE(Produced(
      Run(shortcut, "s", "Long.Path"),
      "Successfully set AppUserModelID 'Long.Path' for shortcut: " + shortcut + "\r\n", "", 0));
  EXPECT_TRUE(Produced(Run(shortcut, "g"), "AppUserModelID: Long.Path\r\n", "", 0));
  EXPECT_EQ(Run(shortcut, "v").exitStatus, 0);
  EXPECT_EQ(PinBytes("App.lnk"), ReadFileBytes(shortcut));
  EXPECT_TRUE(Unpinned(Run(shortcut, "u")));
  EXPECT_TRUE(Pins().empty());
}

TEST_F(E2eHostileArguments, LineFeedInAPathIsWrittenAsALineEnd) {
  const std::string shortcut = CopyExample("Example.lnk", "two\nlines.lnk");
  EXPECT_TRUE(Produced(
      Run(shortcut, "g"),
      "No AppUserModelID set for shortcut: " + WorkPath("two") + "\r\nlines.lnk\r\n", "", 0));
}

TEST_F(E2eHostileArguments, DotDotInAPathReadsOnlyWhatItNames) {
  CopyExample("Example.lnk", "inner/App.lnk");
  const std::string viaParent = WorkPath("inner/../inner/./App.lnk");
  EXPECT_TRUE(Produced(Run(viaParent, "g"),
                       "No AppUserModelID set for shortcut: " + viaParent + "\r\n", "", 0));
  EXPECT_EQ(Run(WorkPath("inner/../missing/../App.lnk"), "g").exitStatus, kGetAppIdFailedStatus);
}

std::string LittleEndian32(std::uint32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

// Shortcuts of a hundred bytes whose sizes claim far more than the file
// holds, or so little that a reader stepping by them would never move on.
// Each is refused as malformed by every command that reads it, with no more
// memory than such a small file warrants.
TEST_F(E2eHostileArguments, ShortcutsClaimingTooMuchOrTooLittleAreRefusedWithinLittleMemory) {
  const auto header = [&](std::uint32_t linkFlags) {
    return example_.substr(0, 0x14) + LittleEndian32(linkFlags) +
           example_.substr(0x18, 0x4C - 0x18);
  };
  const std::string terminal(4, '\0');
  const std::string formatId(16, '\x11');
  const std::map<std::string, std::string> claims{
      {"LinkInfo4GiB.lnk",
       header(0x02) + LittleEndian32(0xFFFFFFFF) + LittleEndian32(0x1C) + std::string(40, '\0')},
      {"IdList64KiB.lnk", header(0x01) + "\xff\xff\xfd\xff" + std::string(40, 'i') + terminal},
      {"ItemOfOneByte.lnk", header(0x01) + "\x06\x00\x01\x00\x00\x00" + terminal},
      {"Name64KiChars.lnk", header(0x04) + "\xff\xff" + "a\0b\0" + terminal},
      {"ExtraBlock4GiB.lnk", header(0) + LittleEndian32(0xFFFFFFF0) + LittleEndian32(0xA0000009) +
                                 std::string(24, '\0') + terminal},
      {"ExtraBlockOfFourBytes.lnk", header(0) + LittleEndian32(4) + LittleEndian32(4) + terminal},
      {"Storage2GiB.lnk", header(0) + LittleEndian32(36) + LittleEndian32(0xA0000009) +
                              LittleEndian32(0x7FFFFFF0) + "1SPS" + formatId + LittleEndian32(0) +
                              terminal},
  };
  ProcessOptions limited;
  // Ten times what corv needs to run at all; far below any of the claims.
  const bool checkable = WrapperWords().empty() && !kUnderAddressSanitizer;
  if (checkable) limited.addressSpaceLimit = 64ull << 20;
  for (const auto& [name, bytes] : claims) {
    SCOPED_TRACE(name);
    const std::string shortcut = WriteWorkFile(name, bytes);
    const ProcessResult get = RunWith(limited, {shortcut, "g"});
    EXPECT_EQ(get.exitStatus, kGetAppIdFailedStatus) << get.err;
    EXPECT_NE(get.err.find("HRESULT: 0x80070570"), std::string::npos) << get.err;
    const ProcessResult set = RunWith(limited, {shortcut, "s", "Never.Stored"});
    EXPECT_EQ(set.exitStatus, kSetAppIdFailedStatus) << set.err;
    EXPECT_EQ(ReadFileBytes(shortcut), bytes);
    // v reads no target from it, and the pin that goes ahead refuses it.
    const ProcessResult checked = RunWith(limited, {shortcut, "v"});
    EXPECT_EQ(checked.exitStatus, kModifyFailedStatus) << checked.err;
    EXPECT_TRUE(Pins().empty());
  }
}

TEST_F(E2eHostileArguments, PinFolderWithThousandsOfEntriesLinksAndFolders) {
  const std::string shortcut = CopyExample("Example.lnk", "App.lnk");
  std::filesystem::create_directories(PinFolder());
  for (int i = 0; i < 2000; ++i) {
    WriteFileBytes(PinFolder() + "/Other" + std::to_string(i) + ".lnk", minecraft_);
  }
  std::filesystem::create_directory(PinFolder() + "/Folder.lnk");
  std::filesystem::create_symlink("/nonexistent/target.lnk", PinFolder() + "/Dangling.lnk");
  std::filesystem::create_symlink(shortcut, PinFolder() + "/Linked.lnk");
  // The link to the shortcut itself is a pin with the same target.
  const ProcessResult result = Run(shortcut, "v");
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out.find("No matching icon found"), std::string::npos);
  EXPECT_EQ(Pins().size(), 2003u);
}

// Hard links to one shortcut of the largest size a load takes: u reads at
// most 256 MiB of the pin folder in all, then fails, and every pin stays.
TEST_F(E2eHostileArguments, PinFolderIsReadNoFurtherThanTheReadBudget) {
  CopyExample("Example.lnk", "App.lnk");
  ASSERT_TRUE(Pinned(Run("App.lnk", "p")));
  std::filesystem::rename(WriteLargeShortcut("Large.lnk", 64 << 20), PinFolder() + "/Large.lnk");
  for (const char* name : {"/L1.lnk", "/L2.lnk", "/L3.lnk", "/L4.lnk"}) {
    std::filesystem::create_hard_link(PinFolder() + "/Large.lnk", PinFolder() + name);
  }
  EXPECT_TRUE(Produced(Run("App.lnk", "u"), "", kModifyFailed, kModifyFailedStatus));
  EXPECT_EQ(Pins().size(), 6u);
}

// Out of descriptors at whatever step, p fails or finds the pin it has:
// it never pins the same shortcut twice.
TEST_F(E2eHostileArguments, FewDescriptorsNeverPinTheSameShortcutTwice) {
  if (kUnderAddressSanitizer)
    GTEST_SKIP() << "the sanitizer's runtime needs descriptors of its own";
  CopyExample("Example.lnk", "App.lnk");
  ASSERT_TRUE(Pinned(Run("App.lnk", "p")));
  for (int files = 4; files <= 12; ++files) {
    RunBehind({"prlimit", "--nofile=" + std::to_string(files)}, {}, {"App.lnk", "p"});
    EXPECT_EQ(Pins(), std::vector<std::string>{"App.lnk"}) << files;
  }
}

}  // namespace
