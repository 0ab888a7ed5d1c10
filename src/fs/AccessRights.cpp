#include "fs/AccessRights.h"
#include "platform/FileName.h"

#include "fs/Volume.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

ProcessIdentity ProcessIdentity::current()
{
    ProcessIdentity id;
    id.realUid = ::getuid();
    id.effectiveUid = ::geteuid();
    gid_t groups[1000];
    const int n = ::getgroups(1000, groups);
    id.groups.push_back(::getegid());
    for (int i = 0; i < n; ++i)
        if (groups[i] != id.groups.front())
            id.groups.push_back(groups[i]);
    return id;
}

bool AccessRights::isInGroupID(gid_t gid) const
{
    return std::find(m_id.groups.begin(), m_id.groups.end(), gid) != m_id.groups.end();
}

namespace {

// The rights of one class as (read, write, search) from the mode's three bits.
struct ClassRights {
    bool read, write, search;
};

ClassRights rightsOf(mode_t mode, int shift)
{
    return {bool(mode & (4u << shift)), bool(mode & (2u << shift)), bool(mode & (1u << shift))};
}

bool readable(const ClassRights &r, bool folder)
{
    return r.read && (!folder || r.search);
}

// A folder needs its search right to be written into; a file needs only
// write (the search bit of a file is its execute bit, which has no say).
bool writable(const ClassRights &r, bool folder)
{
    return r.write && (!folder || r.search);
}

} // namespace

bool AccessRights::isReallyReadableFileAtPath(const QString &path) const
{
    const QByteArray native = nativeName(path);
    struct stat st;
    if (::lstat(native.constData(), &st) != 0)
        return false;
    // A link is an item of its own: its text is readable whatever its
    // target is, or whether there is one. A link to a folder is judged as
    // the folder when it stands for one.
    if (S_ISLNK(st.st_mode) && (::stat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode)))
        return true;
    return readableBy(st.st_mode, st.st_uid, st.st_gid, st.st_dev);
}

bool AccessRights::isReallyReadableFile(mode_t mode, uid_t uid, gid_t gid, dev_t device) const
{
    return readableBy(mode, uid, gid, device);
}

bool AccessRights::readableBy(mode_t mode, uid_t uid, gid_t gid, dev_t device) const
{
    const bool folder = S_ISDIR(mode);
    if (m_id.isRoot()) {
        if (!isRemoteDevice(device))
            return true;
    } else if (uid == m_id.realUid) {
        return readable(rightsOf(mode, 6), folder);
    }
    if (isInGroupID(gid))
        return readable(rightsOf(mode, 3), folder);
    return readable(rightsOf(mode, 0), folder);
}

bool AccessRights::isReallyWritableFileAtPath(const QString &path) const
{
    struct stat st;
    if (::stat(nativeName(path).constData(), &st) != 0)
        return false;
    const bool folder = S_ISDIR(st.st_mode);
    const bool inGroup = isInGroupID(st.st_gid);
    if (m_id.isRoot()) {
        if (!isRemoteDevice(st.st_dev))
            return true;
        // A server maps root to an ordinary user: judge as the server would.
        if (!inGroup)
            return writable(rightsOf(st.st_mode, 0), folder);
        if (st.st_uid == m_id.realUid)
            return writable(rightsOf(st.st_mode, 6), folder) && writable(rightsOf(st.st_mode, 3), folder);
        return writable(rightsOf(st.st_mode, 3), folder);
    }
    if (st.st_uid == m_id.realUid)
        return writable(rightsOf(st.st_mode, 6), folder);
    if (inGroup)
        return writable(rightsOf(st.st_mode, 3), folder);
    return writable(rightsOf(st.st_mode, 0), folder);
}

bool AccessRights::isReallyDeletableFileAtPath(const QString &path) const
{
    QString p = path;
    while (p.size() > 1 && p.endsWith('/'))
        p.chop(1);
    return isReallyWritableFileAtPath(QFileInfo(p).path());
}

bool isOnRemoteVolume(const QString &path)
{
    return volumeForPath(path).isRemote();
}

} // namespace qm
