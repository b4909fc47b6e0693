#include "cli/entry.h"
#include "shell/entry.h"

extern "C" int wmain(int argc, wchar_t* argv[]) { return corvane::RunCommandLine(argc, argv); }
