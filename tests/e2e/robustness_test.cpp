// corv under pressure: several runs at once on the same files and pin
// folder, a run killed part-way through a save, and writes cut short by a
// file-size limit. Whatever happens, a shortcut is whole (the old bytes or
// the new ones) and the pin folder holds only whole pins.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <set>
#include <string>
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
  // The exit status, or -1 when the run was ended by a signal.
  int Wait() {
    if (!spawned_) return -2;
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0) {
    }
    spawned_ = false;
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

  std::vector<std::string> HiddenIn(const std::string& folder) {
    std::vector<std::string> hidden;
    for (const std::string& name : ListFolder(folder)) {
      if (name.front() == '.') hidden.push_back(name);
    }
    return hidden;
  }
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

TEST_F(E2eRobustness, KilledSaveLeavesTheOldShortcutOrTheNewOne) {
  const std::string shortcut = CopyExample("Minecraft.lnk", "App.lnk");
  std::mt19937 random(7);
  for (int round = 0; round < 40; ++round) {
    const std::string appId = "Contoso.Round." + std::to_string(round);
    const std::string before = StoredAppId(shortcut);
    Background save({shortcut, "s", appId}, AppData(), WorkPath(""));
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    save.Kill();
    save.Wait();
    const std::string after = StoredAppId(shortcut);
    EXPECT_TRUE(after == before || after == appId) << "round " << round << ": " << after;
    // A save killed before its rename may leave its hidden temporary file.
    for (const std::string& name : HiddenIn(WorkPath(""))) {
      std::filesystem::remove(WorkPath(name));
    }
  }
}

// Runs corv with a limit on the size of the files it writes.
ProcessResult RunLimited(const std::string& workFolder, const std::string& appData,
                         const std::vector<std::string>& arguments) {
  std::vector<std::string> shell{"-c", "ulimit -f 1 && exec \"$0\" \"$@\"", CORV_BINARY};
  shell.insert(shell.end(), arguments.begin(), arguments.end());
  ProcessOptions options;
  options.environment["APPDATA"] = appData;
  options.environment["CORVANE_RESOURCE_CHECK"] = "1";
  options.workingDirectory = workFolder;
  return RunProcess("/bin/sh", shell, options);
}

TEST_F(E2eRobustness, FileSizeLimitFailsTheSaveAndKeepsTheOriginal) {
  // Minecraft.lnk is larger than the limit of 512 or 1,024 bytes.
  const std::string shortcut = CopyExample("Minecraft.lnk", "App.lnk");
  const ProcessResult result = RunLimited(WorkPath(""), AppData(), {shortcut, "s", "Too.Large"});
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
  const ProcessResult result = RunLimited(WorkPath(""), AppData(), {shortcut, "p"});
  EXPECT_TRUE(Produced(result, kPinningNewIcon, kModifyFailed, kModifyFailedStatus));
  EXPECT_TRUE(Pins().empty());
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

TEST_F(E2eHostileArguments, LineFeedInAPathIsWrittenAsALineEnd) {
  const std::string shortcut = CopyExample("Example.lnk", "two\nlines.lnk");
  EXPECT_TRUE(Produced(Run(shortcut, "g"),
                       "No AppUserModelID set for shortcut: " + WorkPath("two") + "\r\nlines.lnk\r\n",
                       "", 0));
}

TEST_F(E2eHostileArguments, DotDotInAPathReadsOnlyWhatItNames) {
  CopyExample("Example.lnk", "inner/App.lnk");
  const std::string viaParent = WorkPath("inner/../inner/./App.lnk");
  EXPECT_TRUE(Produced(Run(viaParent, "g"), "No AppUserModelID set for shortcut: " + viaParent + "\r\n",
                       "", 0));
  EXPECT_EQ(Run(WorkPath("inner/../missing/../App.lnk"), "g").exitStatus, kGetAppIdFailedStatus);
}

TEST_F(E2eHostileArguments, ShortcutClaimingGigabytesIsRefusedWithoutReadingOn) {
  // A LinkInfo that claims 4 GiB inside a file of a hundred bytes.
  std::string bytes = example_.substr(0, 0x4C);
  bytes[0x14] = 0x02;  // LinkFlags: HasLinkInfo only
  bytes[0x15] = bytes[0x16] = bytes[0x17] = 0;
  bytes += std::string("\xff\xff\xff\xff\x1c\x00\x00\x00", 8) + std::string(40, '\0');
  const std::string shortcut = WriteWorkFile("Huge.lnk", bytes);
  const ProcessResult result = Run(shortcut, "g");
  EXPECT_EQ(result.exitStatus, kGetAppIdFailedStatus);
  EXPECT_NE(result.err.find("HRESULT: 0x80070570"), std::string::npos);
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

}  // namespace
