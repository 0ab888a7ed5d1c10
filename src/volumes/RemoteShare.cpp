#include "volumes/RemoteShare.h"

#include <QDir>
#include <QUrl>

namespace qm {
namespace {

const QString kDesktopFuse = QStringLiteral("fuse.gvfsd-fuse");

RemoteShare fromSmbSource(const MountEntry &e)
{
    // "//server/share[/sub]"
    RemoteShare s;
    QString src = e.source;
    if (!src.startsWith(QLatin1String("//")))
        return s;
    src = src.mid(2);
    const int slash = int(src.indexOf(u'/'));
    s.scheme = QStringLiteral("smb");
    s.host = slash < 0 ? src : src.left(slash);
    s.path = slash < 0 ? QString() : src.mid(slash);
    s.user = e.superOption(QStringLiteral("username"));
    return s;
}

RemoteShare fromNfsSource(const MountEntry &e)
{
    // "host:/export"; an IPv6 host is written in brackets.
    RemoteShare s;
    const int colon = int(e.source.lastIndexOf(QLatin1String(":/")));
    if (colon <= 0)
        return s;
    s.scheme = QStringLiteral("nfs");
    s.host = e.source.left(colon);
    s.path = e.source.mid(colon + 1);
    return s;
}

RemoteShare fromSshSource(const MountEntry &e)
{
    // "[user@]host:[path]"; a relative path is relative to the login folder.
    RemoteShare s;
    QString src = e.source;
    const int at = int(src.indexOf(u'@'));
    if (at >= 0) {
        s.user = src.left(at);
        src = src.mid(at + 1);
    }
    const int colon = int(src.indexOf(u':'));
    if (colon <= 0)
        return s;
    s.scheme = QStringLiteral("sftp");
    s.host = src.left(colon);
    const QString path = src.mid(colon + 1);
    s.path = path.isEmpty() || path.startsWith(u'/') ? path : QStringLiteral("/~/") + path;
    return s;
}

} // namespace

bool RemoteShares::isNetworkFileSystem(const QString &fsType)
{
    static const QStringList types = {
        QStringLiteral("cifs"), QStringLiteral("smb3"), QStringLiteral("smbfs"),
        QStringLiteral("nfs"), QStringLiteral("nfs4"), QStringLiteral("fuse.sshfs"),
        QStringLiteral("fuse.curlftpfs"), QStringLiteral("davfs"), QStringLiteral("fuse.davfs2"),
        QStringLiteral("ceph"), QStringLiteral("afs"), QStringLiteral("9p"), kDesktopFuse};
    return types.contains(fsType);
}

bool RemoteShares::isDesktopMountType(const QString &fsType)
{
    return fsType == kDesktopFuse;
}

QString RemoteShares::desktopMountRoot(unsigned uid)
{
    return QStringLiteral("/run/user/%1/gvfs").arg(uid);
}

RemoteShare RemoteShares::parseDesktopShareName(const QString &name)
{
    RemoteShare s;
    const int colon = int(name.indexOf(u':'));
    if (colon <= 0)
        return s;
    QString kind = name.left(colon);
    QString share, prefix;
    bool ssl = false;
    for (const QString &pair : name.mid(colon + 1).split(u',')) {
        const int eq = int(pair.indexOf(u'='));
        if (eq <= 0)
            continue;
        const QString key = pair.left(eq);
        const QString value = QUrl::fromPercentEncoding(pair.mid(eq + 1).toUtf8());
        if (key == QLatin1String("server") || key == QLatin1String("host"))
            s.host = value;
        else if (key == QLatin1String("user"))
            s.user = value;
        else if (key == QLatin1String("share"))
            share = value;
        else if (key == QLatin1String("prefix"))
            prefix = value;
        else if (key == QLatin1String("ssl"))
            ssl = value == QLatin1String("true");
    }
    if (kind == QLatin1String("smb-share"))
        kind = QStringLiteral("smb");
    if (kind == QLatin1String("dav") && ssl)
        kind = QStringLiteral("davs");
    s.scheme = kind;
    s.path = !share.isEmpty() ? u'/' + share : prefix;
    return s;
}

RemoteShare RemoteShares::shareOf(const MountEntry &entry, const QString &path)
{
    RemoteShare s;
    const QString type = entry.fsType;
    if (type == QLatin1String("cifs") || type == QLatin1String("smb3")
        || type == QLatin1String("smbfs"))
        s = fromSmbSource(entry);
    else if (type.startsWith(QLatin1String("nfs")))
        s = fromNfsSource(entry);
    else if (type == QLatin1String("fuse.sshfs"))
        s = fromSshSource(entry);
    else if (type == kDesktopFuse) {
        // ".../gvfs/<share name>/rest": the share's folder is the mount point.
        const QString rest = path.mid(entry.mountPoint.size() + 1);
        const QString name = rest.section(u'/', 0, 0);
        if (name.isEmpty())
            return {};
        s = parseDesktopShareName(name);
        s.mountPoint = entry.mountPoint + u'/' + name;
        return s;
    }
    s.mountPoint = entry.mountPoint;
    return s;
}

QString RemoteShares::findDesktopMount(unsigned uid, const QString &scheme,
                                       const QString &host, const QString &path)
{
    const QDir root(desktopMountRoot(uid));
    for (const QString &name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const RemoteShare s = parseDesktopShareName(name);
        if (s.scheme == scheme && s.host.compare(host, Qt::CaseInsensitive) == 0
            && (path.isEmpty() || path == s.path || path.startsWith(s.path + u'/')))
            return root.filePath(name);
    }
    return {};
}

} // namespace qm
