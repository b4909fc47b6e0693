// The stand-in's item-ID lists. An absolute list names a file-system object
// by its path from the root: one item per component, each item being
//   cb (2 bytes), kind (kFolderItem or kFileItem), the name's bytes, NUL.
// The empty list (just the terminator) is the root itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "shell/posix/sdk/item_id_list.h"

namespace corvane::posix {

inline constexpr BYTE kFolderItem = 0x31;
inline constexpr BYTE kFileItem = 0x32;

// A list in task memory for an absolute native path that exists; null when
// nothing exists there or memory runs out.
PIDLIST_ABSOLUTE IdListFromNativePath(const std::string& absolutePath);

// A list in task memory of one item: a child named `name` (a file or folder
// name, no slash) of whatever folder it is relative to. Null when the name
// is too long for an item or memory runs out.
PITEMID_CHILD ChildIdList(std::string_view name, bool isFolder);

// The native path an absolute list names; nothing when the list is not one
// of the stand-in's lists.
std::optional<std::string> NativePathFromIdList(PCIDLIST_ABSOLUTE list);

// Appends "/" and the name of each item of the list to path; false (with
// path in any state) when the list is not one of the stand-in's lists.
bool AppendIdListPath(PCUIDLIST_RELATIVE list, std::string& path);

}  // namespace corvane::posix
