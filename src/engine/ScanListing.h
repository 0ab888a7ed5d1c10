#pragma once
// One folder level of the scan: the names of both sides, read once each and
// paired by name ignoring case.
#include "engine/ItemInfo.h"
#include "platform/Xattr.h"
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace qm {

class WorkerPool;

struct ScanPairNames {
    QString nameA; // the name on side A (the side B name when absent there)
    QString nameB; // the name on side B (the side A name when absent there)
    bool inA = false; // listed on side A (false: known to be absent)
    bool inB = false;
    // Each side's place in its folder's listing, for what a reader took
    // there (-1 where that side has no item).
    int slotA = -1;
    int slotB = -1;
};

// Called for each item of one side in listing order while its folder is
// still open: an item is read there without a lookup of its whole path.
// `entry.path` is the item's full path.
using ListedItemReader = std::function<void(const xattr::Entry &entry, const QString &name)>;

// Lists `folderA` and `folderB` (an empty path is a side without a folder)
// and pairs their names. Where either folder ignores case in its names
// (vfat, exfat, a case-folding folder), a name differing only in case on the
// two sides is one pair, and when one side holds several names that differ
// only in case each exact name is its own pair, so none of them is lost.
// Elsewhere names pair exactly. Names found only
// on side B are left out unless `withBOnly`. A folder that exists but cannot
// be listed answers false with its path in `unreadable`. With `aside`, side B
// is listed (and read by `readB`) there while side A is listed here.
bool pairFolderNames(const QString &folderA, const QString &folderB, bool withBOnly,
                     std::vector<ScanPairNames> *pairs, QString *unreadable,
                     WorkerPool *aside = nullptr, const ListedItemReader &readA = {},
                     const ListedItemReader &readB = {});

// The scan's own read of an item: one statx, plus the Finder information
// when `withFinderInfo` (invisible and alias flags). Dates other than the
// content modification date, the resource fork and the backup date are not
// read (the backup date is read only when a comparison needs it). False for
// a missing or unreadable item.
bool readItemForScan(const QByteArray &path, bool withFinderInfo, ItemInfo *info);
bool readItemForScan(const xattr::Entry &entry, bool withFinderInfo, ItemInfo *info);
// The item's backup date in seconds since 1970, none when never set.
std::optional<qint64> readBackupSeconds(const QByteArray &path);
std::optional<qint64> readBackupSeconds(const xattr::Entry &entry);

} // namespace qm
