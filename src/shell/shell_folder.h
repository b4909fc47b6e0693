// The shell namespace: the desktop folder, parsing names into item-ID lists,
// folders and their enumerators, display names and STRRET.
#pragma once

#include "shell/com.h"
#include "shell/item_id_list.h"

#ifdef _WIN32
#include "shell/windows/shell_folder.h"
#else
#include "shell/posix/sdk/shell_folder.h"
#endif
