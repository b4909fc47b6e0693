#include "wine_support.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace corvane::wine {
namespace {

constexpr char kServerClassKey[] = "HKCR\\CLSID\\{90AA3A4E-1CBA-4233-B8BB-535773D48449}";
constexpr char kServerKey[] = "HKCR\\CLSID\\{90AA3A4E-1CBA-4233-B8BB-535773D48449}\\InprocServer32";

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

std::string WindowsSpelling(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

// The environment every Wine program of the suite runs in: the prefix, no
// debug channels, no display, and a UTF-8 locale so that Wine hands
// non-ASCII arguments and file names over unchanged.
ProcessOptions WineOptions() {
  ProcessOptions options;
  options.environment["WINEPREFIX"] = WinePrefix();
  options.environment["WINEDEBUG"] = "-all";
  options.environment["WINEDLLOVERRIDES"] = "mscoree,mshtml=";
  options.environment["DISPLAY"] = "";
  options.environment["LANG"] = "C.UTF-8";
  options.environment["LC_ALL"] = "C.UTF-8";
  return options;
}

::testing::AssertionResult RunWineTool(const std::vector<std::string>& arguments) {
  const ProcessResult result = testing::RunProcess(CORVANE_WINE, arguments, WineOptions());
  if (result.exitStatus == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "wine " << arguments.front() << " failed: " << result.out << result.err;
}

}  // namespace

const std::string& WinePrefix() {
  static const std::string prefix = [] {
    std::ifstream state(CORVANE_WINE_STATE_FILE);
    std::string path;
    std::getline(state, path);
    if (path.empty() || !std::filesystem::is_directory(path + "/drive_c")) {
      throw std::runtime_error(
          "no Wine prefix: run the suite through ctest (its fixture makes one), or "
          "tests/wine/prefix.sh setup " CORVANE_WINE_STATE_FILE " ...");
    }
    return path;
  }();
  return prefix;
}

const std::string& HelpText() {
  static const std::string text = testing::WithCrLf(testing::ReadFileBytes(CORV_HELP_FILE));
  return text;
}

WorkFolder::WorkFolder() {
  std::string pattern = WinePrefix() + "/drive_c/corvane-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  unixPath_ = pattern;
  windowsPath_ = "C:\\" + std::filesystem::path(unixPath_).filename().string();
}

WorkFolder::~WorkFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(unixPath_, ignored);
}

std::string WorkFolder::Windows(const std::string& relative) const {
  std::string path = windowsPath_ + "\\" + relative;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

void WorkFolder::CopyExample(const std::string& example, const std::string& relative) const {
  const std::filesystem::path path = Unix(relative);
  std::filesystem::create_directories(path.parent_path());
  testing::WriteFileBytes(path, ExampleBytes(example));
}

std::string WineAppData() {
  for (const auto& entry : std::filesystem::directory_iterator(WinePrefix() + "/drive_c/users")) {
    const std::string roaming = entry.path().string() + "/AppData/Roaming";
    if (entry.path().filename() != "Public" && std::filesystem::is_directory(roaming)) {
      return roaming;
    }
  }
  throw std::runtime_error("no user profile in the Wine prefix");
}

namespace {

// Runs command (a Windows program and its first arguments) followed by the
// run's arguments, with the server told what the run says.
ProcessResult RunInPrefix(std::vector<std::string> command, const WineRun& run,
                          ProcessOptions options = WineOptions()) {
  options.workingDirectory = run.workingDirectory;
  options.mergeStderrIntoStdout = run.mergeStderrIntoStdout;
  if (!run.serverLog.empty()) {
    options.environment["CORVANE_PINNED_LIST_LOG"] = WindowsSpelling(run.serverLog);
  }
  options.environment["CORVANE_PINNED_LIST_RESULT"] = run.serverResult;
  options.environment["CORVANE_PINNED_LIST_WRITE"] = run.serverWrites;
  command.insert(command.end(), run.arguments.begin(), run.arguments.end());
  return testing::RunProcess(CORVANE_WINE, command, options);
}

}  // namespace

ProcessResult RunCorvExe(const WineRun& run) { return RunInPrefix({CORV_EXE}, run); }

ProcessResult RunCmdScript(const std::string& script, const WineRun& run, const CmdRun& cmd) {
  ProcessOptions options = WineOptions();
  options.environment["CORV"] = cmd.corv.empty() ? WindowsSpelling(CORV_EXE) : cmd.corv;
  std::vector<std::string> command = {"cmd"};
  command.insert(command.end(), cmd.switches.begin(), cmd.switches.end());
  command.push_back("/c");
  for (const std::string& setting : cmd.settings) {
    command.insert(command.end(), {"set", setting + "&"});
  }
  command.push_back(WindowsSpelling(script));
  options.terminalInput = true;
  return RunInPrefix(command, run, options);
}

ProcessResult RunLinuxCorv(const std::vector<std::string>& arguments,
                           const std::string& workingDirectory, const std::string& appData) {
  ProcessOptions options;
  options.environment["APPDATA"] = appData;
  options.workingDirectory = workingDirectory;
  return testing::RunProcess(CORV_LINUX, arguments, options);
}

ServerUnregistered::ServerUnregistered() {
  EXPECT_TRUE(RunWineTool({"reg", "delete", kServerClassKey, "/f"}));
}

ServerUnregistered::~ServerUnregistered() {
  EXPECT_TRUE(RunWineTool(
      {"reg", "add", kServerKey, "/ve", "/d", WindowsSpelling(CORVANE_SERVER_DLL), "/f"}));
  EXPECT_TRUE(
      RunWineTool({"reg", "add", kServerKey, "/v", "ThreadingModel", "/d", "Apartment", "/f"}));
}

std::vector<std::string> ServerLog(const std::string& logPath) {
  std::istringstream text(testing::ReadFileBytes(logPath));
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) lines.push_back(Trimmed(line));
  return lines;
}

}  // namespace corvane::wine
