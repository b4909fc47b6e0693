// The one way the stand-in's objects load a shortcut file: the link object's
// Load, and the pinned list for what it pins and unpins.
#pragma once

#include <string>

#include "shell/posix/host/opened_file.h"
#include "shell/posix/lnk/link_file.h"
#include "shell/posix/sdk/com.h"

namespace corvane::posix {

// Opens the file at path, checks that it is a regular file no larger than a
// shortcut can be, reads it whole and parses it: S_OK, or the HRESULT the
// link object's Load gives for what went wrong. A missing file is
// 0x80070002 (0x80070003 when its folder is missing too), a folder
// 0x80070005, a file over the size limit 0x800700DF, and anything that is
// not a valid shortcut (a FIFO or a device among them) 0x80070570. file
// stays open whenever the open itself succeeded, so a caller can still
// compare the bytes of a file that is no shortcut.
HRESULT LoadLinkFile(const std::string& path, OpenedFile& file, LinkFile& link);

// The same for the entry name of an open folder.
HRESULT LoadLinkFileAt(int folderFd, const char* name, OpenedFile& file, LinkFile& link);

}  // namespace corvane::posix
