// corv.exe under Wine, next to the Linux corv: running both, the folders
// they work in, and the log of the test pinned-list server.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "support/output.h"
#include "support/process.h"
#include "support/samples.h"

namespace corvane::wine {

using testing::ProcessOptions;
using testing::ProcessResult;
using testing::Produced;
using testing::Visible;

// The exit status after the help text (the entry returns -1).
constexpr int kHelpStatus = 255;

// The prefix that the ctest fixture made for this run (see prefix.sh).
const std::string& WinePrefix();

// Text with every "\n" turned into "\r\n", as the console writes it.
const std::string& HelpText();

using testing::ExampleBytes;

// A fresh folder on the prefix's drive C:, removed on destruction. The
// same folder is seen by Linux programs under its Unix path.
class WorkFolder {
 public:
  WorkFolder();
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  ~WorkFolder();

  const std::string& unixPath() const { return unixPath_; }
  // C:\corvane-XXXXXX
  const std::string& windowsPath() const { return windowsPath_; }
  std::string Unix(const std::string& relative) const { return unixPath_ + "/" + relative; }
  // relative uses forward slashes; the result uses backslashes.
  std::string Windows(const std::string& relative) const;

  // Copies an example shortcut to relative (folders made as needed).
  void CopyExample(const std::string& example, const std::string& relative) const;

 private:
  std::string unixPath_;
  std::string windowsPath_;
};

// Where a Wine program's user keeps its application data (the Unix path of
// the prefix's C:\users\<name>\AppData\Roaming).
std::string WineAppData();

// What corv.exe is told, besides its arguments.
struct WineRun {
  std::vector<std::string> arguments;
  // Unix path of the working directory; empty keeps the test's own.
  std::string workingDirectory;
  // Unix path of the file that receives the server's log; empty for none.
  std::string serverLog;
  // What the server's Modify returns: S_OK, S_FALSE or an HRESULT in hex.
  std::string serverResult = "S_OK";
  // When a successful Modify changes the pin folder: now, late or never.
  std::string serverWrites = "now";
  bool mergeStderrIntoStdout = false;
};

ProcessResult RunCorvExe(const WineRun& run);

// How cmd.exe starts a batch file: switches before /c (such as "/v:on"),
// the variable CORV (empty: corv.exe), and NAME=VALUE settings (no spaces)
// that cmd makes first, for the variables that Wine sets in every process.
struct CmdRun {
  std::vector<std::string> switches;
  std::string corv;
  std::vector<std::string> settings;
};

// Runs the batch file (Unix path) with Wine's cmd.exe, told as corv.exe is
// told, in a console of its own (code page 437), as a logon script runs.
ProcessResult RunCmdScript(const std::string& script, const WineRun& run, const CmdRun& cmd = {});

// Runs the Linux corv with APPDATA set to appData.
ProcessResult RunLinuxCorv(const std::vector<std::string>& arguments,
                           const std::string& workingDirectory, const std::string& appData);

// Takes the test server's class out of the prefix's registry for as long
// as it lives, and puts it back afterwards.
class ServerUnregistered {
 public:
  ServerUnregistered();
  ServerUnregistered(const ServerUnregistered&) = delete;
  ServerUnregistered& operator=(const ServerUnregistered&) = delete;
  ~ServerUnregistered();
};

// Lines of the server's log (UTF-8, without line ends); empty when no file.
std::vector<std::string> ServerLog(const std::string& logPath);

using Lines = std::vector<std::string>;

// The log lines of one pin or unpin: the call, then the object's release.
inline Lines Pinned(const std::string& windowsPath) {
  return {"Modify(null, \"" + windowsPath + "\", 4)", "Released"};
}
inline Lines Unpinned(const std::string& windowsPath) {
  return {"Modify(\"" + windowsPath + "\", null, 4)", "Released"};
}
inline Lines Concat(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// A test that runs corv.exe (or a script) in a fresh work folder, with the
// server logging to a file of its own.
class WineCorvTest : public ::testing::Test {
 protected:
  // Runs corv.exe in the work folder with the server logging to log().
  template <typename... Arguments>
  testing::ProcessResult Run(const Arguments&... arguments) {
    return RunWith({}, {std::string(arguments)...});
  }
  testing::ProcessResult RunWith(WineRun run, std::vector<std::string> arguments) {
    run.arguments = std::move(arguments);
    if (run.workingDirectory.empty()) run.workingDirectory = work_.unixPath();
    run.serverLog = logFolder_.path() + "/server.log";
    return RunCorvExe(run);
  }
  testing::ProcessResult RunReturning(const std::string& serverResult,
                                      std::vector<std::string> arguments) {
    WineRun run;
    run.serverResult = serverResult;
    return RunWith(run, std::move(arguments));
  }
  Lines Log() const { return ServerLog(logFolder_.path() + "/server.log"); }

  // The Wine user's pin folder (Unix path), and its Windows spelling.
  static std::string PinFolder() {
    return WineAppData() + "/Microsoft/Internet Explorer/Quick Launch/User Pinned/TaskBar";
  }
  static std::string PinFolderWindowsPath() {
    const std::string driveC = WinePrefix() + "/drive_c";
    std::string path = "C:" + PinFolder().substr(driveC.size());
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    return path;
  }
  // The pin folder belongs to the whole prefix: leave it as it was found.
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(WineAppData() + "/Microsoft", ignored);
  }

  WorkFolder work_;
  testing::TemporaryFolder logFolder_;
};

}  // namespace corvane::wine
