// A new file made the successor of an original in everything but its
// bytes, so that replacing the original under its name changes nothing else.
#pragma once

#include <sys/stat.h>

#include <string>

namespace corvane::posix {

// Gives the new file (fd) the original's owner and group, its extended
// attributes (its ACL among them; attributes the original lacks are taken
// away, but for the security.* labels the system gives every file), then its
// permission bits, last, since a change of owner clears the set-user-ID and
// set-group-ID bits. original is what stat said of the file at path, a path
// with no symbolic link in it. 0, EACCES when any of it is not allowed, or
// another errno value.
int TakeOverFileIdentity(const std::string& path, const struct stat& original, int fd);

}  // namespace corvane::posix
