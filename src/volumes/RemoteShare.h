#pragma once
// What a mounted network file system tells about its server: the parts of
// the URL it was mounted from, read back from the mount table.
#include "volumes/MountTable.h"

#include <QString>

namespace qm {

struct RemoteShare {
    QString scheme; // "smb", "nfs", "sftp", "ftp", "dav", "davs" ...
    QString user;   // "" when the mount does not say
    QString host;
    QString path;   // "/share", "/export/home", "" ...
    QString mountPoint;
    bool isValid() const { return !scheme.isEmpty() && !host.isEmpty(); }
};

class RemoteShares {
public:
    // The file-system types that live on a server (kept in this one place).
    static bool isNetworkFileSystem(const QString &fsType);
    // The share holding `path`, which lies on the mount `entry`; for the
    // desktop's user-space mounts every share is a folder of one mount.
    static RemoteShare shareOf(const MountEntry &entry, const QString &path);
    // "smb-share:server=h,share=s,user=u" and the like, as the desktop's
    // user-space mounts name their folders.
    static RemoteShare parseDesktopShareName(const QString &name);
    // The folder under which the desktop's user-space mounts of `uid` appear.
    static QString desktopMountRoot(unsigned uid);
    // The folder of a share mounted by the desktop, found by its address;
    // "" when none is there.
    static QString findDesktopMount(unsigned uid, const QString &scheme, const QString &host,
                                    const QString &path);
    static bool isDesktopMountType(const QString &fsType);
};

} // namespace qm
