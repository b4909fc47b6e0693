// What one run may read, in all, of the files in the folders it lists (the
// pin folder, for p, v and u): a folder of hard links to one large file, or
// of thousands of pins, costs no more than this to go through.
#pragma once

#include <cstdint>

namespace corvane::posix {

// Four times the largest shortcut the stand-in loads: enough for both of a
// checked pin's searches and its survey over a folder that holds one.
inline constexpr std::uint64_t kListedReadBudget = std::uint64_t{256} << 20;

// Counts the files of the open folder folderFd against the budget from now
// on: 0 or errno.
int CountReadsIn(int folderFd);

// Whether the files of the folder folderFd count against the budget.
bool ReadsCountedIn(int folderFd);

// Takes bytes from the budget: false once the run has read more than the
// budget from listed folders (and from then on).
bool SpendReadBudget(std::uint64_t bytes);

}  // namespace corvane::posix
