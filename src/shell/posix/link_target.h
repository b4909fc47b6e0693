// Where a link points, found the way Windows finds it from the link's
// LinkTargetIDList or LinkInfo.
#pragma once

#include <string>

#include "shell/posix/bytes.h"

namespace corvane::posix {

// The file-system path that an IDList names by drive; empty otherwise.
std::wstring TargetFromIdList(Bytes idList);

// The path that a LinkInfo structure records; empty when it has none.
std::wstring TargetFromLinkInfo(Bytes linkInfo);

}  // namespace corvane::posix
