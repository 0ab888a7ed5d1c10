#pragma once
// Extended attributes of an item, never following a final symbolic link.
// Every call answers a platform status; an attribute that is absent reads
// as errFSAttributeNotFound, so that callers can tell "empty" from "failed".
#include "platform/Status.h"

#include <QByteArray>
#include <QList>
#include <sys/types.h>

namespace qm::xattr {

// The names under which the catalog fields are kept.
inline constexpr char kResourceFork[] = "user.quillmere.rsrc";
inline constexpr char kFinderInfo[] = "user.quillmere.finderinfo";
inline constexpr char kCreationDate[] = "user.quillmere.crdate";
inline constexpr char kBackupDate[] = "user.quillmere.bkdate";

// Names of every attribute of the item (the calling process's view: an
// unprivileged process sees only user.* and the ACLs).
OSStatus list(const QByteArray &path, QList<QByteArray> *names);
OSStatus list(int fd, QList<QByteArray> *names);

OSStatus get(const QByteArray &path, const char *name, QByteArray *value);
OSStatus get(int fd, const char *name, QByteArray *value);
// The size alone (0 and errFSAttributeNotFound when absent).
OSStatus size(const QByteArray &path, const char *name, uint64_t *bytes);
OSStatus size(int fd, const char *name, uint64_t *bytes);

OSStatus set(const QByteArray &path, const char *name, const QByteArray &value);
OSStatus set(int fd, const char *name, const QByteArray &value);

// An entry named relative to an open folder (or AT_FDCWD with a path), and
// its full path for kernels that cannot address attributes that way. Walks
// over many entries of one folder save the kernel a path lookup per call.
struct Entry {
    int folder;
    const char *name;
    const char *path;
};
// One small attribute read into buf: its size, or -1 with errno set.
ssize_t getRaw(const Entry &entry, const char *name, void *buf, size_t size);
OSStatus set(const Entry &entry, const char *name, const QByteArray &value);
// The entry's attribute names, each ended by a zero byte, into buf: their
// length, or -1 with errno set (ERANGE when buf is too small).
ssize_t listRaw(const Entry &entry, char *buf, size_t size);
// Makes the entry calls use the full path, as on a kernel that has no
// folder-relative attribute calls (for the tests of that path).
void usePathCallsOnly(bool on);

// Removing an absent attribute is success (also where the file system has none).
OSStatus remove(const QByteArray &path, const char *name);
OSStatus remove(int fd, const char *name);

} // namespace qm::xattr
