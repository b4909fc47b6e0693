// Windows: SHGetFolderPathW and the CSIDL values come from the shell's headers.
#pragma once

#include <shlobj.h>
