#include "app/SessionDefaults.h"

#include <QDate>
#include <QTime>

namespace qm {
namespace {

// Stored integers are qlonglong, as the property-list reader yields them, so
// a document compares equal to itself after a round trip.
QVariant integer(qlonglong value)
{
    return QVariant(value);
}

} // namespace

QDateTime SessionDefaults::timerStart()
{
    return QDateTime(QDate(2004, 1, 1), QTime(0, 0), Qt::LocalTime);
}

QString SessionDefaults::scriptText()
{
    return QStringLiteral("# Write or paste here your shell script");
}

QVariantMap SessionDefaults::timerRow(const QDateTime &start)
{
    return {
        {"valid", integer(0)},
        {"onOff", integer(1)},
        {"start", start},
        {"intervalOn", integer(0)},
        {"intervalHours", integer(0)},
        {"intervalMinutes", integer(0)},
        {"intervalDays", integer(0)},
        {"intervalMonths", integer(0)},
        {"intervalYears", integer(0)},
        {"endOn", integer(0)},
        {"endDateOn", integer(0)},
        {"end", start},
        {"onlyMonday", integer(1)},
        {"onlyTuesday", integer(1)},
        {"onlyWednesday", integer(1)},
        {"onlyThursday", integer(1)},
        {"onlyFriday", integer(1)},
        {"onlySaturday", integer(1)},
        {"onlySunday", integer(1)},
    };
}

QVariantMap SessionDefaults::folderPairRow()
{
    return {{"onOff", integer(1)}, {"source", QString()}, {"destination", QString()}};
}

QVariantMap SessionDefaults::filterRow()
{
    return {
        {"onOff", integer(1)},
        {"filterNameField", QString()},
        {"filterFileNameOn", integer(0)},
        {"filterFileNamePop", integer(0)},
        {"filterFileNameField", QString()},
        {"filterCreationDateOn", integer(0)},
        {"filterCreationDatePop", integer(0)},
        {"filterCreationDateMonth", integer(1)},
        {"filterCreationDateDay", integer(1)},
        {"filterCreationDateYear", integer(2002)},
        {"filterModificationDateOn", integer(0)},
        {"filterModificationDatePop", integer(0)},
        {"filterModificationDateMonth", integer(1)},
        {"filterModificationDateDay", integer(1)},
        {"filterModificationDateYear", integer(2002)},
        {"filterTypeOn", integer(0)},
        {"filterTypePop", integer(0)},
        {"filterTypeField", QString()},
        {"filterCreatorOn", integer(0)},
        {"filterCreatorPop", integer(0)},
        {"filterCreatorField", QString()},
        {"filterKindOn", integer(0)},
        {"filterKindPop", integer(0)},
        {"filterOwnerOn", integer(0)},
        {"filterOwnerPop", integer(0)},
        {"filterOwnerField", QString()},
        {"filterGroupOn", integer(0)},
        {"filterGroupPop", integer(0)},
        {"filterGroupField", QString()},
    };
}

QVariantMap SessionDefaults::excludeRow()
{
    return {{"onOff", integer(1)}, {"itemToExclude", QString()}};
}

QVariantMap SessionDefaults::volumeRow()
{
    return {
        {"onOff", integer(1)},
        {"scheme", QString()},
        {"user", QString()},
        {"password", QByteArray()},
        {"host", QString()},
        {"path", QString()},
        {"mountPoint", QString()},
        {"unmountVolume", integer(1)},
        {"volumeType", integer(0)},
    };
}

QVariantMap SessionDefaults::repairedVolumeRow()
{
    QVariantMap row = volumeRow();
    row.insert("volumeIcon", QByteArray());
    return row;
}

QString SessionDefaults::key(RowList list)
{
    switch (list) {
    case RowList::Timer: return QStringLiteral("timerArray");
    case RowList::FolderPair: return QStringLiteral("multiArray");
    case RowList::Filter: return QStringLiteral("filterArray");
    case RowList::Exclude: return QStringLiteral("excludeArray");
    case RowList::Volume: return QStringLiteral("autoMountVolumeArray");
    }
    return {};
}

int SessionDefaults::rowCount(RowList list)
{
    return list == RowList::Volume ? kVolumeRowCount : kSessionRowCount;
}

QVariantMap SessionDefaults::row(RowList list)
{
    switch (list) {
    case RowList::Timer: return timerRow(timerStart());
    case RowList::FolderPair: return folderPairRow();
    case RowList::Filter: return filterRow();
    case RowList::Exclude: return excludeRow();
    case RowList::Volume: return volumeRow();
    }
    return {};
}

QVariantList SessionDefaults::rows(const QVariantMap &row, int count)
{
    QVariantList list;
    list.reserve(count);
    for (int i = 0; i < count; ++i)
        list.append(row);
    return list;
}

QVariantMap SessionDefaults::session(int task, const QString &name)
{
    const QString script = scriptText();
    return {
        {"sessionName", name},
        {"topFolder", QString()},
        {"bottomFolder", QString()},
        {"settTask", integer(task)},
        {"settExact", integer(0)},
        {"settInvisibleItems", integer(1)},
        {"settLockedItems", integer(1)},
        {"settResolveAlias", integer(0)},
        {"settResolveSymLink", integer(0)},
        {"settNewItemsOnly", integer(0)},
        {"settSkipEmptyFolders", integer(0)},
        {"settMoveToTrash", integer(0)},
        {"settCPOn", integer(0)},
        {"settCPPopOwner", integer(0)},
        {"settCPPopGroup", integer(0)},
        {"settCPPopOthers", integer(0)},
        {"conflictBackupRadio", integer(2)},
        {"conflictBackupAsk", integer(0)},
        {"conflictBackupRadio2", integer(1)},
        {"conflictBackupAsk2", integer(0)},
        {"conflictExactBackupRadio", integer(2)},
        {"conflictExactBackupAsk", integer(0)},
        {"conflictSyncRadio", integer(2)},
        {"conflictSyncAsk", integer(0)},
        {"conflictExactSyncRadio", integer(2)},
        {"conflictExactSyncAsk", integer(0)},
        {"timerOn", integer(0)},
        {"timerArray", rows(timerRow(timerStart()), kSessionRowCount)},
        {"multiOn", integer(0)},
        {"multiArray", rows(folderPairRow(), kSessionRowCount)},
        {"filterOn", integer(0)},
        {"filterCopySkip", integer(2)},
        {"filterArray", rows(filterRow(), kSessionRowCount)},
        {"excludeOn", integer(0)},
        {"excludeArray", rows(excludeRow(), kSessionRowCount)},
        {"autoMountVolumeOn", integer(0)},
        {"autoMountVolumeArray", rows(volumeRow(), kVolumeRowCount)},
        {"asStartOn", integer(0)},
        {"asStartText", script},
        {"asEndOn", integer(0)},
        {"asEndText", script},
    };
}

} // namespace qm
