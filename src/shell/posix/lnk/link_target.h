// The target path a shell link names, read from the link's own bytes, the
// way the link object answers GetPath: from the item-ID list when it names a
// file-system object by drive, else from the LinkInfo structure.
//
// Both functions read only inside the bytes they are given and give an empty
// string for anything that does not hold together. They trust nothing: the
// fuzzers and tests hand them raw bytes, not only structures ParseLinkFile
// has checked, so they check the LinkInfo header again (a few compares).
#pragma once

#include <string>

#include "shell/posix/lnk/bytes.h"

namespace corvane::posix {

// The path an IDList names (its items and the terminating 0x0000, without the
// IDListSize before them) when it runs My Computer, a drive ("C:\"), then file
// entries: the drive joined with the entries' long names by backslashes.
// Empty for a list that starts anywhere else (the desktop, a known folder, a
// network place, a device), holds any other kind of item after the drive, or
// is malformed.
std::wstring TargetFromIdList(Bytes idList);

// The path a LinkInfo structure (LinkInfoSize included) holds: the local base
// path followed by the common path suffix (their Unicode forms when the
// header has them, else the ANSI forms decoded as Windows-1252), or for a
// network link the share name, a backslash and the suffix. Empty when there
// is no usable path or the structure is malformed.
std::wstring TargetFromLinkInfo(Bytes linkInfo);

}  // namespace corvane::posix
