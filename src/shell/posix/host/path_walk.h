// The one way the stand-in reaches a file or folder by its path: from the
// root, one component at a time, each opened once without following it, so
// that what is checked is what is used. A symbolic link is followed only
// when it is trusted: the caller's own, or root's in a folder that no other
// user can write; its owner is read from the descriptor of the link itself
// and its text from that same descriptor. Owners reported by a file system
// that another user mounted (FUSE) are not trusted at all.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

#include "shell/posix/host/native_owners.h"

namespace corvane::posix {

// What opening a folder by its path does with folders that are missing.
enum class MissingFolders { Fail, Create };

// Opens the folder at an absolute path, for reading and writing in it,
// through folders each owned by the caller or root, and gives it only when
// it is the caller's own: the pin folder, and every folder the stand-in
// lists. Missing folders are created when asked, and only inside a folder
// the caller owns. Another user's folder or link on the way, or an
// untrusted one, is refused with EACCES. 0 or errno.
int OpenOwnFolder(const std::string& path, MissingFolders missing, unique_fd& folder);

// Which symbolic links a walk to an entry follows: only trusted ones, or
// every one, as any other program's open does.
enum class LinksFollowed { Trusted, All };

// Walks an absolute path to the entry it names, following the links on the
// way that it may (links), its last component's included (a link to a file
// leads to that file), through folders of any owner. Gives the folder the
// entry lies in, held by its path alone (O_PATH), the entry's name there
// and what lstat said of it when the walk reached it. 0 or errno (EACCES
// for an untrusted link, ENOENT for a missing entry).
int WalkToEntry(const std::string& path, LinksFollowed links, unique_fd& folder, std::string& name,
                struct stat& entry);

// Whether a file system's owners can be believed by the caller (uid): not
// when a mount line (as in /proc/self/mountinfo) says that another user
// than the caller or root mounted it through FUSE (user_id=).
bool MountOwnersTrusted(std::string_view mountLine, uid_t caller);

}  // namespace corvane::posix
