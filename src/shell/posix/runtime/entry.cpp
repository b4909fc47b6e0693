// The POSIX process entry: gives the console the Windows runtime's behaviour,
// turns argv into the wide argument vector and hands it to wmain.
#include "shell/entry.h"

#include <csignal>
#include <string>
#include <vector>

#include "shell/posix/host/native_text.h"
#include "shell/posix/runtime/console.h"

int main(int argc, char* argv[]) {
  // A closed pipe is an output failure like any other, not a reason to die.
  std::signal(SIGPIPE, SIG_IGN);
  // Likewise a file-size limit: the write fails (EFBIG) and the save or pin
  // that made it fails cleanly, leaving the original as it was.
  std::signal(SIGXFSZ, SIG_IGN);

  std::vector<std::wstring> arguments;
  arguments.reserve(static_cast<std::size_t>(argc));
  for (int i = 0; i < argc; ++i) arguments.push_back(corvane::posix::DecodeNativeText(argv[i]));
  std::vector<wchar_t*> vector;
  for (std::wstring& argument : arguments) vector.push_back(argument.data());
  vector.push_back(nullptr);

  corvane::posix::ConsoleScope console;
  return wmain(argc, vector.data());
}
