#include "engine/ItemInfo.h"
#include "engine/PackageNames.h"
#include <QFile>
#include <sys/stat.h>

namespace qm {

ItemInfo ItemInfo::read(const QString &path)
{
    return read(QFile::encodeName(path));
}

ItemInfo ItemInfo::read(const QByteArray &nativePath)
{
    ItemInfo info;
    struct stat st;
    if (::lstat(nativePath.constData(), &st) != 0)
        return info;
    info.mode = st.st_mode;
    info.uid = st.st_uid;
    info.gid = st.st_gid;
    info.size = st.st_size;
    info.mtimeSec = st.st_mtim.tv_sec;
    info.mtimeNsec = qint32(st.st_mtim.tv_nsec);
    info.device = st.st_dev;
    info.inode = st.st_ino;
    if (S_ISDIR(st.st_mode)) {
        const qsizetype slash = nativePath.lastIndexOf('/');
        info.kind = isPackageName(nativePath.mid(slash + 1)) ? ItemKind::Package : ItemKind::Folder;
    } else if (S_ISREG(st.st_mode)) {
        info.kind = ItemKind::File;
    } else if (S_ISLNK(st.st_mode)) {
        info.kind = ItemKind::SymLink;
    } else {
        info.kind = ItemKind::Other;
    }
    return info;
}

} // namespace qm
