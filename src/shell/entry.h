// The program's entry point. On Windows the C runtime calls wmain with the
// wide argument vector; on POSIX the stand-in's main decodes argv and calls it.
#pragma once

extern "C" int wmain(int argc, wchar_t* argv[]);
