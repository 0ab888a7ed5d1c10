#pragma once
// The lock flag of an item: the inode's immutable flag. Reading it needs no
// access to the item (statx reports it); changing it needs the capability to
// do so, and a refusal is answered, never ignored. Symbolic links carry no
// flag: they read as unlocked and cannot be locked.
#include "platform/Status.h"

#include <QByteArray>

namespace qm::fileflags {

OSStatus isImmutable(const QByteArray &path, bool *immutable);
OSStatus setImmutable(const QByteArray &path, bool immutable);
// On an open descriptor (a file or folder opened for reading).
OSStatus setImmutable(int fd, bool immutable);

// Whether the open folder looks names up ignoring case: a whole file system
// that does (vfat, exfat, hfsplus), or a case-folding folder (ext4, f2fs).
bool isCaseInsensitiveFolder(int fd);

} // namespace qm::fileflags
