// POSIX declarations of the item-ID list names, as the SDK lays them out.
#pragma once

#include "shell/posix/sdk/com.h"

#pragma pack(push, 1)
struct SHITEMID {
  USHORT cb;  // size of this item, cb itself included; 0 ends the list
  BYTE abID[1];
};
struct ITEMIDLIST {
  SHITEMID mkid;
};
#pragma pack(pop)

using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;
using PIDLIST_ABSOLUTE = ITEMIDLIST*;
using PCIDLIST_ABSOLUTE = const ITEMIDLIST*;
using PIDLIST_RELATIVE = ITEMIDLIST*;
using PCUIDLIST_RELATIVE = const ITEMIDLIST*;
using PITEMID_CHILD = ITEMIDLIST*;
using PCUITEMID_CHILD = const ITEMIDLIST*;

PIDLIST_ABSOLUTE ILCreateFromPathW(PCWSTR pszPath);
void ILFree(PIDLIST_RELATIVE pidl);
