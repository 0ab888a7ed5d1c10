#include "fs/AliasRecord.h"

#include "fs/CatalogInfo.h"
#include "fs/Volume.h"
#include "platform/PropertyList.h"

#include <QVariantMap>

namespace qm {

namespace {
const QString kKind = QStringLiteral("QMAliasRecord");
}

OSStatus AliasRecord::forTarget(const QString &target, AliasRecord *out)
{
    CatalogInfo info;
    if (OSStatus st = ReadCatalogInfo(target, &info))
        return st;
    AliasRecord r;
    r.targetPath = target;
    r.device = info.device;
    r.inode = info.inode;
    r.volumeMountPoint = volumeForPath(target).mountPoint;
    *out = r;
    return Status::noErr;
}

QByteArray AliasRecord::serialize() const
{
    QVariantMap m;
    m.insert(QStringLiteral("kind"), kKind);
    m.insert(QStringLiteral("path"), targetPath);
    m.insert(QStringLiteral("device"), qlonglong(device));
    m.insert(QStringLiteral("inode"), qlonglong(inode));
    m.insert(QStringLiteral("volume"), volumeMountPoint);
    return PropertyList::serialize(m);
}

bool AliasRecord::parse(const QByteArray &bytes, AliasRecord *out)
{
    QVariant root;
    QString error;
    if (!PropertyList::parse(bytes, QStringLiteral("alias record"), &root, &error))
        return false;
    const QVariantMap m = root.toMap();
    const QString path = m.value(QStringLiteral("path")).toString();
    if (m.value(QStringLiteral("kind")).toString() != kKind || !path.startsWith('/'))
        return false;
    AliasRecord r;
    r.targetPath = path;
    r.device = m.value(QStringLiteral("device")).toULongLong();
    r.inode = m.value(QStringLiteral("inode")).toULongLong();
    r.volumeMountPoint = m.value(QStringLiteral("volume")).toString();
    *out = r;
    return true;
}

} // namespace qm
