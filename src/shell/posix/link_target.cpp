#include "shell/posix/link_target.h"

namespace corvane::posix {

// Placeholder until target resolution lands: no link resolves.
std::wstring TargetFromIdList(Bytes) { return {}; }
std::wstring TargetFromLinkInfo(Bytes) { return {}; }

}  // namespace corvane::posix
