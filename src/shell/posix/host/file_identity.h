// A new file made the successor of an original in everything but its
// bytes, so that replacing the original under its name changes nothing else.
#pragma once

#include <sys/stat.h>

namespace corvane::posix {

// Gives the new file (fd) the original's owner and group, its extended
// attributes (its ACL among them; attributes the original lacks are taken
// away, but for the security.* labels the system gives every file), the
// inode flags that stand for Windows' file attributes (no-dump, no-atime,
// synchronous, ...), then its permission bits, last, since a change of
// owner clears the set-user-ID and set-group-ID bits. Everything is read
// from the original's descriptor (originalFd) and what fstat said of it
// (original), never from a path. 0, EACCES when any of it is not allowed,
// or another errno value.
int TakeOverFileIdentity(int originalFd, const struct stat& original, int fd);

}  // namespace corvane::posix
