// What s and p promise when someone races them, when they are killed at a
// given step, and in what order their steps reach the disk. strace holds or
// kills corv at an exact system call, so each case happens every time.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "e2e/corv_test.h"

namespace {

using namespace corvane::e2e;

class E2eSafety : public CorvTest {
 protected:
  void SetUp() override {
    if (kUnderAddressSanitizer) GTEST_SKIP() << "the sanitizer's runtime makes calls of its own";
    if (RunProcess("strace", {"-o", "/dev/null", "-e", "inject=getpid:delay_exit=1", "true"})
            .exitStatus != 0) {
      GTEST_SKIP() << "strace (Debian package strace) is missing or cannot inject here";
    }
  }

  ProcessResult RunUnderStrace(const std::vector<std::string>& straceWords,
                               const std::vector<std::string>& arguments) {
    std::vector<std::string> command{"strace", "-f", "-qq"};
    command.insert(command.end(), straceWords.begin(), straceWords.end());
    return RunBehind(command, {}, arguments);
  }

  // The calls that make a written file last, in the order corv made them:
  // "write" and "fsync file" on the new, unnamed file, "link" and "rename"
  // into the folder, "fsync folder" on the folder; repeats run together.
  std::vector<std::string> DurabilitySteps(const std::vector<std::string>& arguments) {
    const std::string log = WorkPath("trace");
    const ProcessResult result = RunUnderStrace(
        {"-y", "-o", log, "-e", "trace=write,fsync,linkat,renameat,renameat2"}, arguments);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    std::vector<std::string> steps;
    std::istringstream lines(ReadFileBytes(log));
    std::filesystem::remove(log);
    for (std::string line; std::getline(lines, line);) {
      const bool unnamed = line.find("(deleted)") != std::string::npos;
      std::string step;
      if (line.find(" write(") != std::string::npos && unnamed) step = "write";
      if (line.find(" fsync(") != std::string::npos) step = unnamed ? "fsync file" : "fsync folder";
      if (line.find(" linkat(") != std::string::npos) step = "link";
      if (line.find(" renameat") != std::string::npos) step = "rename";
      if (!step.empty() && (steps.empty() || steps.back() != step)) steps.push_back(step);
    }
    return steps;
  }

  // Waits until the process whose command line holds word is inside the
  // system call number (strace holds it there): false if it never is.
  static bool WaitForCall(const std::string& word, long number) {
    for (int round = 0; round < 20000; ++round) {
      std::error_code error;  // processes come and go as the folder is read
      for (std::filesystem::directory_iterator process("/proc", error), end;
           !error && process != end; process.increment(error)) {
        const std::string folder = process->path().string();
        if (ReadFileBytes(folder + "/cmdline").find(word) != std::string::npos &&
            ReadFileBytes(folder + "/syscall").starts_with(std::to_string(number) + " ")) {
          return true;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }

  std::vector<std::string> HiddenInWork() const {
    std::vector<std::string> hidden;
    for (const std::string& name : ListFolder(WorkPath(""))) {
      if (name.front() == '.') hidden.push_back(name);
    }
    return hidden;
  }
};

// Someone who owns the shortcut's folder swaps the shortcut for a link to a
// file of theirs choosing right after corv read it: the save is refused, and
// neither that file nor the shortcut changes.
TEST_F(E2eSafety, ShortcutSwappedForALinkAfterTheLoadIsNotSavedThrough) {
  const std::string shortcut = CopyExample("Example.lnk", "atk/app.lnk");
  const std::string outside = CopyExample("Minecraft.lnk", "outside.lnk");
  ASSERT_EQ(symlink(outside.c_str(), WorkPath("atk/swap").c_str()), 0);
  const int watcher = inotify_init1(IN_CLOEXEC);
  ASSERT_GE(watcher, 0);
  ASSERT_GE(inotify_add_watch(watcher, shortcut.c_str(), IN_ACCESS), 0);

  // corv is held for a second once it has read the shortcut.
  ProcessResult result;
  std::thread save([&] {
    result = RunUnderStrace({"-o", "/dev/null", "-P", shortcut, "-e", "trace=pread64", "-e",
                             "inject=pread64:delay_exit=1000000"},
                            {"atk/app.lnk", "s", "Contoso.Swapped"});
  });
  pollfd wait{watcher, POLLIN, 0};
  alignas(inotify_event) char event[sizeof(inotify_event) + 256];
  const bool read = poll(&wait, 1, 20000) == 1 && ::read(watcher, event, sizeof event) > 0;
  const bool swapped = read && renameat2(AT_FDCWD, WorkPath("atk/swap").c_str(), AT_FDCWD,
                                         shortcut.c_str(), RENAME_EXCHANGE) == 0;
  save.join();
  close(watcher);
  ASSERT_TRUE(swapped);

  EXPECT_TRUE(Produced(
      result, "",
      "Failed to save shortcut file. HRESULT: 0x80070020\r\n" + std::string(kSetAppIdFailed),
      kSetAppIdFailedStatus));
  EXPECT_EQ(ReadFileBytes(outside), minecraft_);
  EXPECT_EQ(ReadFileBytes(WorkPath("atk/swap")), example_) << "the shortcut, moved aside";
  EXPECT_EQ(ListFolder(WorkPath("atk")), (std::vector<std::string>{"app.lnk", "swap"}));
}

// The shortcut swapped for a link while the save's new file is flushed:
// the save is refused before its rename. (A name removed before the write
// is the host tests' case.)
TEST_F(E2eSafety, ShortcutSwappedDuringTheFlushIsNotSavedThrough) {
  const std::string shortcut = CopyExample("Example.lnk", "atk/app.lnk");
  const std::string outside = CopyExample("Minecraft.lnk", "outside.lnk");
  ASSERT_EQ(symlink(outside.c_str(), WorkPath("atk/swap").c_str()), 0);
  ProcessResult result;
  std::thread save([&] {
    result = RunUnderStrace(
        {"-o", "/dev/null", "-e", "trace=fsync", "-e", "inject=fsync:delay_exit=1000000"},
        {"atk/app.lnk", "s", "Contoso.Held"});
  });
  const bool swapped = WaitForCall("Contoso.Held", SYS_fsync) &&
                       renameat2(AT_FDCWD, WorkPath("atk/swap").c_str(), AT_FDCWD, shortcut.c_str(),
                                 RENAME_EXCHANGE) == 0;
  save.join();
  ASSERT_TRUE(swapped);
  EXPECT_NE(result.err.find("HRESULT: 0x80070020"), std::string::npos) << result.err;
  EXPECT_EQ(ReadFileBytes(outside), minecraft_);
}

// A listing of the pin folder that fails part-way fails p and u, and the
// pin folder stays as it was.
TEST_F(E2eSafety, PinFolderListingThatFailsPartWayFailsPinAndUnpin) {
  CopyExample("Example.lnk", "App.lnk");
  CopyExample("Minecraft.lnk", "Other.lnk");
  ASSERT_TRUE(Pinned(Run("Other.lnk", "p")));
  // Without the look at the pin folder around Modify, the stand-in's
  // listing is the only one.
  const std::vector<std::string> failing{
      "-E", "CORVANE_NO_PIN_CHECK=1", "-o", "/dev/null",
      "-e", "trace=getdents64",       "-e", "inject=getdents64:error=EIO:when=2"};
  EXPECT_TRUE(Produced(RunUnderStrace(failing, {"App.lnk", "p"}), kPinningNewIcon, kModifyFailed,
                       kModifyFailedStatus));
  EXPECT_EQ(Pins(), std::vector<std::string>{"Other.lnk"});
  EXPECT_TRUE(Produced(RunUnderStrace(failing, {"Other.lnk", "u"}), "", kModifyFailed,
                       kModifyFailedStatus));
  EXPECT_EQ(Pins(), std::vector<std::string>{"Other.lnk"});
}

// Killed between linking its new file under the hidden name and renaming it
// over the shortcut, s leaves the old shortcut and one hidden copy; the next
// s of that shortcut takes the hidden name back, so copies never pile up.
TEST_F(E2eSafety, SaveKilledBeforeItsRenameLeavesACopyTheNextSaveRemoves) {
  const std::string shortcut = CopyExample("Example.lnk", "App.lnk");
  for (int round = 0; round < 2; ++round) {
    const ProcessResult killed = RunUnderStrace(
        {"-o", "/dev/null", "-e", "trace=renameat", "-e", "inject=renameat:signal=KILL"},
        {"App.lnk", "s", "Contoso.Killed"});
    EXPECT_NE(killed.exitStatus, 0);
    EXPECT_EQ(ReadFileBytes(shortcut), example_);
    EXPECT_EQ(HiddenInWork().size(), 1u) << "round " << round;
  }
  ASSERT_EQ(Run("App.lnk", "s", "Contoso.Saved").exitStatus, 0);
  EXPECT_EQ(HiddenInWork(), std::vector<std::string>{});
  EXPECT_TRUE(Produced(Run("App.lnk", "g"), "AppUserModelID: Contoso.Saved\r\n", "", 0));
}

// Nothing gets a name before its bytes are on disk, and the folder is
// flushed once the name is in it.
TEST_F(E2eSafety, SavesAndPinsReachTheDiskInOrder) {
  CopyExample("Example.lnk", "App.lnk");
  EXPECT_EQ(DurabilitySteps({"App.lnk", "s", "Contoso.Ordered"}),
            (std::vector<std::string>{"write", "fsync file", "link", "rename", "fsync folder"}));
  EXPECT_EQ(DurabilitySteps({"App.lnk", "p"}),
            (std::vector<std::string>{"write", "fsync file", "link", "fsync folder"}));
}

// Where the file system has no unnamed files (strace refuses O_TMPFILE,
// the third open in the pin folder), a pin goes through its fixed hidden
// name: pins killed before their rename leave one copy, which the next pin
// removes.
TEST_F(E2eSafety, WithoutUnnamedFilesKilledPinsLeaveOneCopy) {
  CopyExample("Example.lnk", "App.lnk");
  std::filesystem::create_directories(PinFolder());
  const std::vector<std::string> noUnnamed{"-o", "/dev/null",
                                           "-P", PinFolder(),
                                           "-e", "trace=openat,renameat2",
                                           "-e", "inject=openat:error=EOPNOTSUPP:when=3"};
  std::vector<std::string> killed = noUnnamed;
  killed.insert(killed.end(), {"-e", "inject=renameat2:signal=KILL"});
  for (int round = 0; round < 2; ++round) {
    EXPECT_NE(RunUnderStrace(killed, {"App.lnk", "p"}).exitStatus, 0);
    ASSERT_EQ(Pins().size(), 1u) << round;
    EXPECT_TRUE(Pins().front().starts_with(".corv-")) << Pins().front();
  }
  EXPECT_TRUE(Pinned(RunUnderStrace(noUnnamed, {"App.lnk", "p"})));
  EXPECT_EQ(Pins(), std::vector<std::string>{"App.lnk"});
}

using E2eSaveRace = CorvTest;

// The shortcut swapped for a link while its save waits for the lock that a
// reader holds: the save is refused as soon as it has the lock, and the
// link is never followed.
TEST_F(E2eSaveRace, ShortcutSwappedForALinkBeforeTheLockIsNeverFollowed) {
  const std::string shortcut = CopyExample("Example.lnk", "atk/app.lnk");
  const std::string outside = CopyExample("Minecraft.lnk", "outside.lnk");
  ASSERT_EQ(symlink(outside.c_str(), WorkPath("atk/swap").c_str()), 0);
  const int reader = open(shortcut.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(flock(reader, LOCK_SH), 0);
  const int watcher = inotify_init1(IN_CLOEXEC);
  const int shortcutWatch = inotify_add_watch(watcher, shortcut.c_str(), IN_OPEN);
  ASSERT_GE(inotify_add_watch(watcher, outside.c_str(), IN_OPEN), 0);
  ProcessResult result;
  std::thread save([&] { result = Run("atk/app.lnk", "s", "Contoso.Swapped"); });
  pollfd wait{watcher, POLLIN, 0};
  alignas(inotify_event) char event[sizeof(inotify_event) + 256];
  const bool opened = poll(&wait, 1, 20000) == 1 && read(watcher, event, sizeof event) > 0 &&
                      reinterpret_cast<inotify_event*>(event)->wd == shortcutWatch;
  const bool swapped = opened && renameat2(AT_FDCWD, WorkPath("atk/swap").c_str(), AT_FDCWD,
                                           shortcut.c_str(), RENAME_EXCHANGE) == 0;
  close(reader);
  save.join();
  ASSERT_TRUE(swapped);
  EXPECT_NE(result.err.find("HRESULT: 0x80070020"), std::string::npos) << result.err;
  EXPECT_EQ(poll(&wait, 1, 0), 0) << "the link's target was opened";
  close(watcher);
}

// In a shared (sticky) folder, a file that another user made under the
// shortcut's hidden name cannot be removed: the save takes its second one.
TEST_F(E2eSaveRace, HiddenNameHeldByAnotherUserInASharedFolderDoesNotBlockTheSave) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can be the other user here";
  ASSERT_NO_FATAL_FAILURE(RunAsOrdinaryUser());
  const std::string shortcut = CopyExample("Example.lnk", "shared/App.lnk");
  ASSERT_EQ(chown(shortcut.c_str(), 65534, 65534), 0);
  ASSERT_EQ(chmod(WorkPath("shared").c_str(), 01777), 0);
  WriteFileBytes(WorkPath("shared/.corv-0771181e32ede461"), "held");
  EXPECT_EQ(Run("shared/App.lnk", "s", "Contoso.Shared").exitStatus, 0);
  EXPECT_TRUE(Produced(Run("shared/App.lnk", "g"), "AppUserModelID: Contoso.Shared\r\n", "", 0));
  EXPECT_EQ(ListFolder(WorkPath("shared")),
            (std::vector<std::string>{".corv-0771181e32ede461", "App.lnk"}));
}

// Another user's link to an ordinary user's shortcut: reading through it
// gives that user nothing new and works as any program's open does, but a
// save never goes where another user's link sends it.
TEST_F(E2eSaveRace, AnotherUsersLinkIsReadThroughButNeverSavedThrough) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can be the other user here";
  ASSERT_NO_FATAL_FAILURE(RunAsOrdinaryUser());
  const std::string shortcut = CopyExample("Example.lnk", "App.lnk");
  ASSERT_EQ(symlink("App.lnk", WorkPath("Link.lnk").c_str()), 0);
  ASSERT_EQ(lchown(WorkPath("Link.lnk").c_str(), 1, 1), 0);
  EXPECT_TRUE(
      Produced(Run("Link.lnk", "g"), "No AppUserModelID set for shortcut: Link.lnk\r\n", "", 0));
  EXPECT_TRUE(Produced(Run("Link.lnk", "s", "Contoso.Other"), "",
                       "Failed to load shortcut file: Link.lnk. HRESULT: 0x80070005\r\n"
                       "SetShortcutAppID failed.\r\n",
                       5));
  EXPECT_EQ(ReadFileBytes(shortcut), ExampleBytes("Example.lnk"));
}

using E2ePinBits = CorvTest;

// A pin is a new file like any other, whose permission bits the umask
// decides, but it is never more readable or writable than the shortcut.
TEST_F(E2ePinBits, PinTakesTheUmaskAndNoMoreThanTheShortcutsBits) {
  const std::string shortcut = CopyExample("Example.lnk", "App.lnk");
  for (const auto& [mask, source, bits] :
       {std::tuple{"077", 0666u, 0600u}, std::tuple{"022", 0666u, 0644u},
        std::tuple{"022", 0640u, 0640u}}) {
    ASSERT_EQ(chmod(shortcut.c_str(), source), 0);
    const ProcessResult pinned =
        RunBehind({"/bin/sh", "-c", std::string("umask ") + mask + " && exec \"$0\" \"$@\""}, {},
                  {"App.lnk", "p"});
    ASSERT_TRUE(Pinned(pinned)) << mask;
    struct stat status {};
    ASSERT_EQ(stat((PinFolder() + "/App.lnk").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, bits) << mask << " " << source;
    ASSERT_TRUE(Unpinned(Run("App.lnk", "u")));
  }
}

}  // namespace
