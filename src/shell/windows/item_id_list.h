// Windows: ILCreateFromPathW and ILFree come from the shell's headers.
#pragma once

#include <shlobj.h>
