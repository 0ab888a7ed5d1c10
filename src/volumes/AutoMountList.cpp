#include "volumes/AutoMountList.h"

#include "platform/Messages.h"
#include "volumes/PasswordCodec.h"

namespace qm {
namespace {

const QString kListKey = QStringLiteral("autoMountVolumeArray");
const QString kSwitchKey = QStringLiteral("autoMountVolumeOn");

QList<VolumeDescriptor> rowsOf(const QVariantMap &session)
{
    QList<VolumeDescriptor> rows;
    for (const QVariant &row : session.value(kListKey).toList())
        rows.append(VolumeDescriptor::fromRecord(row.toMap()));
    return rows;
}

bool isOn(const QVariantMap &session)
{
    return session.value(kSwitchKey).toInt() != 0;
}

QString quotedAddress(const VolumeDescriptor &row)
{
    return QStringLiteral("\r\"") + row.address() + u'"';
}

QString withToolMessage(const QString &text, const QString &toolMessage)
{
    return toolMessage.isEmpty() ? text : text + u'\r' + toolMessage;
}

bool mounted(OSStatus status)
{
    return status == Status::noErr || status == Status::afpAlreadyMounted;
}

void finishReport(SessionVolumesReport *report, const QString &text)
{
    if (report->errorCount == 0)
        return;
    report->errorText = text;
    report->errorLogLine = QStringLiteral("√ ") + text + u'\r';
}

} // namespace

QVariantList AutoMountList::defaultRows()
{
    QVariantList rows;
    for (int i = 0; i < kRowCount; ++i)
        rows.append(VolumeDescriptor::emptyRecord());
    return rows;
}

QString AutoMountList::MessageForMountStatus(OSStatus status, const QString &toolMessage)
{
    QString text;
    switch (status) {
    case 0:
    case Status::userCanceledErr:
        return {};
    case 1: text = GLS("Can't mount the volume. Not enough information to ping the host."); break;
    case 2: text = GLS("Can't mount the volume. Unable to lookup the host address."); break;
    case 3: text = GLS("Can't mount the volume. Unable to create socket for the host."); break;
    case 4: text = GLS("Can't mount the volume. Error waiting for packet response from the host."); break;
    case 5: text = GLS("Can't mount the volume. Unable to ping the host."); break;
    case 6: text = GLS("Can't mount the volume. No answer from the host."); break;
    case 7: text = GLS("Can't mount the volume. URL not valid."); break;
    case Status::paramErr: text = GLS("Can't mount the volume. Parameter error."); break;
    case Status::kNoServersErr: text = GLS("Can't mount the volume. No servers at that address."); break;
    case Status::afpUserNotAuth: text = GLS("Can't mount the volume. User or password not authorized."); break;
    case Status::afpAlreadyMounted: return GLS("The volume is already mounted.");
    default: text = QStringLiteral("Can't mount the volume. Err %1.").arg(status); break;
    }
    return withToolMessage(text, toolMessage);
}

bool AutoMountList::IsOnUmountedVolume(const QStringList &cannotMountPoints, const QString &path)
{
    for (const QString &mountPoint : cannotMountPoints) {
        if (path.startsWith(mountPoint))
            return true;
    }
    return false;
}

MountOutcome AutoMountList::mountRow(const VolumeDescriptor &row, const QString &user,
                                     const QString &password) const
{
    switch (row.volumeType) {
    case VolumeType::Remote: {
        VolumeDescriptor request = row;
        request.user = user;
        return m_volumes.MountTheRemoteVolumeWithDict(request, password);
    }
    case VolumeType::LocalDisk:
        // A volume with no disk behind it (a RAM disk, say) cannot be
        // mounted again, but while it is there it is no failure.
        if (row.hasDiskID && row.diskID.isEmpty() && VolumeUtilities::IsVolumeAlreadyMounted(row))
            return MountOutcome::failure(Status::afpAlreadyMounted, {});
        if (!row.hasDiskID || row.diskID.isEmpty())
            return MountOutcome::failure(-1, {});
        return m_volumes.MountTheLocalVolume(row);
    case VolumeType::DiskImage:
        if (!row.hasAliasData || row.aliasData.isEmpty())
            return MountOutcome::failure(-1, {});
        return m_volumes.MountVolumeFromAliasData(row.aliasData, row.mountPoint);
    default:
        return MountOutcome::failure(-1, {});
    }
}

std::optional<TryOutcome> AutoMountList::TryOneMount(const QVariantMap &record,
                                                     const QString &userField,
                                                     const QString &passwordField) const
{
    VolumeDescriptor row = VolumeDescriptor::fromRecord(record);
    row.user = userField;
    if (!row.isUsable())
        return std::nullopt;
    if (row.volumeType == VolumeType::Remote && VolumeUtilities::IsVolumeAlreadyMounted(row))
        return TryOutcome {Status::afpAlreadyMounted, GLS("The volume is already mounted.")};
    if (int(row.volumeType) > 3)
        return std::nullopt;
    MountOutcome o = mountRow(row, userField, passwordField);
    if (row.volumeType == VolumeType::DiskImage && !mounted(o.status) && o.status != -1)
        o.status = 1; // a failed alias mount
    return TryOutcome {o.status, MessageForMountStatus(o.status, o.message)};
}

std::optional<TryOutcome> AutoMountList::TryOneUnmount(const QVariantMap &record,
                                                       const QString &userField) const
{
    VolumeDescriptor row = VolumeDescriptor::fromRecord(record);
    row.user = userField;
    if (!row.isUsable() || row.mountPoint.isEmpty())
        return std::nullopt;
    if (!VolumeUtilities::IsVolumeAlreadyMounted(row))
        return TryOutcome {Status::noErr,
                           GLS("The volume %@ is already unmounted.")
                               .replace(QLatin1String("%@"), row.address())};
    const UnmountOutcome u = m_volumes.UnmountVolume(row);
    if (u.done)
        return TryOutcome {Status::noErr, {}};
    return TryOutcome {u.status,
                       withToolMessage(GLS("Cannot unmount the volume:\r%@")
                                           .replace(QLatin1String("%@"), row.address()),
                                       u.message)};
}

QString AutoMountList::TryAllMount(const QVariantMap &session) const
{
    if (!isOn(session))
        return {};
    QString failures;
    for (const VolumeDescriptor &row : rowsOf(session)) {
        if (row.onOff == 0 || !row.isUsable())
            continue;
        if (row.volumeType == VolumeType::Remote && VolumeUtilities::IsVolumeAlreadyMounted(row))
            continue;
        const MountOutcome o = mountRow(row, row.user, PasswordCodec::GetWellData(row.password));
        if (!mounted(o.status))
            failures += withToolMessage(quotedAddress(row), o.message);
    }
    return failures.isEmpty() ? QString() : GLS("Can't mount the volumes:") + failures;
}

QString AutoMountList::TryAllUnmount(const QVariantMap &session) const
{
    if (!isOn(session))
        return {};
    QString failures;
    for (const VolumeDescriptor &row : rowsOf(session)) {
        if (row.onOff == 0 || !row.isUsable() || !VolumeUtilities::IsVolumeAlreadyMounted(row))
            continue;
        const UnmountOutcome u = m_volumes.UnmountVolume(row);
        if (!u.done)
            failures += withToolMessage(quotedAddress(row), u.message);
    }
    return failures.isEmpty() ? QString()
                              : GLS("Can't unmount the volumes") + GLS(":") + failures;
}

SessionVolumesReport AutoMountList::MountAllVolumesForSession(const QVariantMap &session,
                                                              const SessionRunHooks &hooks) const
{
    SessionVolumesReport report;
    if (!isOn(session))
        return report;
    auto active = [&hooks] { return !hooks.isCopying || hooks.isCopying(); };
    if (hooks.setTaskComment)
        hooks.setTaskComment(GLS("Mounting Volumes…"));
    QString failures;
    for (const VolumeDescriptor &row : rowsOf(session)) {
        if (!active())
            break;
        if (row.onOff == 0 || !row.isUsable())
            continue;
        if ((row.volumeType == VolumeType::LocalDisk && !row.hasDiskID)
            || (row.volumeType == VolumeType::DiskImage && !row.hasAliasData)
            || int(row.volumeType) > 3)
            continue;
        if (row.volumeType == VolumeType::Remote && VolumeUtilities::IsVolumeAlreadyMounted(row))
            continue;
        const MountOutcome o = mountRow(row, row.user, PasswordCodec::GetWellData(row.password));
        if (o.status == Status::afpAlreadyMounted)
            continue;
        if (o.ok()) {
            report.detailedLogLines.append(GLS("Mounted the volume") + quotedAddress(row));
            continue;
        }
        failures += withToolMessage(quotedAddress(row), o.message);
        ++report.errorCount;
        report.cannotMountPoints.append(row.mountPoint);
    }
    finishReport(&report, GLS("Can't mount the volumes:") + failures);
    if (active() && hooks.setTaskComment)
        hooks.setTaskComment(GLS("Scanning Folders…"));
    return report;
}

SessionVolumesReport AutoMountList::UnmountAllVolumesForSession(const QVariantMap &session,
                                                                const SessionRunHooks &) const
{
    SessionVolumesReport report;
    const QList<VolumeDescriptor> rows = rowsOf(session);
    if (!isOn(session) || rows.isEmpty())
        return report;
    QString failures;
    for (const VolumeDescriptor &row : rows) {
        if (row.onOff == 0 || row.unmountVolume == 0 || !row.isUsable() || row.mountPoint.isEmpty()
            || !VolumeUtilities::IsVolumeAlreadyMounted(row))
            continue;
        const UnmountOutcome u = m_volumes.UnmountVolume(row);
        if (u.done) {
            report.detailedLogLines.append(GLS("Unmounted the volume") + quotedAddress(row));
            continue;
        }
        failures += withToolMessage(quotedAddress(row) + QStringLiteral(". ") + GLS("Error:")
                                        + u' ' + QString::number(u.status),
                                    u.message);
        ++report.errorCount;
    }
    finishReport(&report, GLS("Can't unmount the volumes") + GLS(":") + failures);
    return report;
}

bool AutoMountList::AddToAutoMountVolumeArray(QVariantMap *session, const QString &path) const
{
    const std::optional<VolumeDescriptor> found = m_volumes.GetVolumeMountInfoDictionary(path);
    if (!found || found->scheme.isEmpty() || found->user.isEmpty() || found->host.isEmpty()
        || !found->hasPath)
        return false;
    QVariantList rows = session->value(kListKey).toList();
    for (const QVariant &record : rows) {
        const VolumeDescriptor row = VolumeDescriptor::fromRecord(record.toMap());
        if (!row.scheme.isEmpty() && !row.user.isEmpty() && !row.host.isEmpty() && row.hasPath
            && row.identity() == found->identity())
            return false;
    }
    for (QVariant &record : rows) {
        if (record.toMap().value(QStringLiteral("host")).toString().isEmpty()) {
            record = found->toRecord();
            session->insert(kListKey, rows);
            return true;
        }
    }
    return true; // a full list stays as it is
}

} // namespace qm
