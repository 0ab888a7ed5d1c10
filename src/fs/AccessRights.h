#pragma once
// Whether the running process can really read, write or delete an item,
// judged from the item's owner, group and mode against the process identity
// captured at start, so that the answer is right for another user's items.
#include <QString>
#include <sys/types.h>
#include <vector>

namespace qm {

struct ProcessIdentity {
    uid_t realUid = 0;
    uid_t effectiveUid = 0;
    std::vector<gid_t> groups; // at most 1000, the effective group first
    bool isRoot() const { return effectiveUid == 0; }
    static ProcessIdentity current();
};

class AccessRights {
public:
    explicit AccessRights(ProcessIdentity identity) : m_id(std::move(identity)) {}

    bool isReallyReadableFileAtPath(const QString &path) const;
    // The same for a file (not a link, not a folder) whose owner, group, mode
    // and device were just read: no lookup.
    bool isReallyReadableFile(mode_t mode, uid_t uid, gid_t gid, dev_t device) const;
    bool isReallyWritableFileAtPath(const QString &path) const;
    // Writable test of the parent folder.
    bool isReallyDeletableFileAtPath(const QString &path) const;
    bool isInGroupID(gid_t gid) const;
    const ProcessIdentity &identity() const { return m_id; }

private:
    bool readableBy(mode_t mode, uid_t uid, gid_t gid, dev_t device) const;

    ProcessIdentity m_id;
};

// Whether the item lies on a network file system (NFS, SMB, a FUSE network mount...).
bool isOnRemoteVolume(const QString &path);

} // namespace qm
