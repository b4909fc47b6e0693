// Shell item-ID lists: ILCreateFromPathW and ILFree.
#pragma once

#include "shell/com.h"

#ifdef _WIN32
#include "shell/windows/item_id_list.h"
#else
#include "shell/posix/sdk/item_id_list.h"
#endif
