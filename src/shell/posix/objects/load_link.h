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
// link object's Load gives for what went wrong (FileOutcomeHResult). file
// stays open whenever the open itself succeeded, so a caller can still
// compare the bytes of a file that is no shortcut.
HRESULT LoadLinkFile(const std::string& path, OpenedFile& file, LinkFile& link);

// The same for a shortcut that is to be saved: file is opened to be
// replaced (OpenedFile::OpenToReplace).
HRESULT LoadLinkFileToReplace(const std::string& path, OpenedFile& file, LinkFile& link);

// The same for the entry name of an open folder.
HRESULT LoadLinkFileAt(int folderFd, const char* name, OpenedFile& file, LinkFile& link);

// The HRESULT of what opening, reading or replacing the file at path came
// to (0, an errno value, or one of OpenedFile's own outcomes), as Windows
// gives it for the same cause: a missing file 0x80070002 (0x80070003 when
// its folder is missing too), a folder 0x80070005, a file over the size
// limit 0x800700DF, one that is not regular (a FIFO, a device) 0x80070570,
// as for a corrupt shortcut, a file another save holds or that was
// replaced since it was opened 0x80070020, a sharing violation, and a read
// past the run's read budget 0x80070718 (not enough quota).
HRESULT FileOutcomeHResult(int outcome, const std::string& path);

}  // namespace corvane::posix
