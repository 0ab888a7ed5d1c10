#include "volumes/VolumeDescriptor.h"

namespace qm {

VolumeDescriptor VolumeDescriptor::fromRecord(const QVariantMap &row)
{
    VolumeDescriptor d;
    d.onOff = row.value(QStringLiteral("onOff"), 1).toInt();
    d.volumeType = VolumeType(row.value(QStringLiteral("volumeType"), 0).toInt());
    d.scheme = row.value(QStringLiteral("scheme")).toString();
    d.user = row.value(QStringLiteral("user")).toString();
    d.password = row.value(QStringLiteral("password")).toByteArray();
    d.host = row.value(QStringLiteral("host")).toString();
    d.hasPath = row.contains(QStringLiteral("path"));
    d.path = row.value(QStringLiteral("path")).toString();
    d.mountPoint = row.value(QStringLiteral("mountPoint")).toString();
    d.unmountVolume = row.value(QStringLiteral("unmountVolume"), 1).toInt();
    d.volumeIcon = row.value(QStringLiteral("volumeIcon")).toByteArray();
    d.hasDiskID = row.contains(QStringLiteral("diskID"));
    d.diskID = row.value(QStringLiteral("diskID")).toString();
    d.diskUUID = row.value(QStringLiteral("diskUUID")).toString();
    d.hasAliasData = row.contains(QStringLiteral("aliasData"));
    d.aliasData = row.value(QStringLiteral("aliasData")).toByteArray();
    return d;
}

QVariantMap VolumeDescriptor::toRecord() const
{
    QVariantMap row;
    row.insert(QStringLiteral("onOff"), qlonglong(onOff));
    row.insert(QStringLiteral("scheme"), scheme);
    row.insert(QStringLiteral("user"), user);
    row.insert(QStringLiteral("password"), password);
    row.insert(QStringLiteral("host"), host);
    if (hasPath)
        row.insert(QStringLiteral("path"), path);
    row.insert(QStringLiteral("mountPoint"), mountPoint);
    row.insert(QStringLiteral("unmountVolume"), qlonglong(unmountVolume));
    row.insert(QStringLiteral("volumeType"), qlonglong(int(volumeType)));
    row.insert(QStringLiteral("volumeIcon"), volumeIcon);
    if (hasDiskID) {
        row.insert(QStringLiteral("diskID"), diskID);
        row.insert(QStringLiteral("diskUUID"), diskUUID);
    }
    if (hasAliasData)
        row.insert(QStringLiteral("aliasData"), aliasData);
    return row;
}

QVariantMap VolumeDescriptor::emptyRecord()
{
    return VolumeDescriptor().toRecord();
}

QString VolumeDescriptor::address() const
{
    return QStringLiteral("%1://%2%3").arg(scheme, host, path);
}

QString VolumeDescriptor::identity() const
{
    return QStringLiteral("%1://%2@%3%4").arg(scheme, user, host, path);
}

bool VolumeDescriptor::isUsable() const
{
    return volumeType != VolumeType::Empty && !scheme.isEmpty() && !user.isEmpty()
        && !host.isEmpty() && hasPath;
}

} // namespace qm
