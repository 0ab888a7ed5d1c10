#pragma once
// The engine's single door to the file system for item-level services:
// catalog dates, sizes, aliases, invisibility, the lock flag, references,
// free names, folder creation and revealing a folder. Holds no mutable
// state, so one instance may be used from the worker and the main thread.
#include "fs/CatalogInfo.h"
#include "platform/CatalogDate.h"
#include "platform/Status.h"

#include <QDateTime>
#include <QString>
#include <cstdint>

namespace qm {

// Which catalog date GetDate answers.
enum WhichDate : int { kCreationDate = 0, kContentModDate = 1, kBackupDate = 2 };

// Names an item without following a final symbolic link: its path and the
// identity (device, inode) it had when the reference was made.
struct ItemRef {
    QString path;
    uint64_t device = 0;
    uint64_t inode = 0;
    bool isValid() const { return !path.isEmpty(); }
    friend bool operator==(const ItemRef &a, const ItemRef &b)
    {
        return a.device == b.device && a.inode == b.inode;
    }
};

class LPUtilities {
public:
    LPUtilities();

    // The date in whole seconds, or an invalid QDateTime for no date (an
    // item that does not exist, an unknown code, a date never set).
    QDateTime GetDate(const QString &path, int whichDate) const;
    // The same from catalog information the caller already read; a null
    // pointer or a missing item gives no date.
    QDateTime GetDate(const QString &path, const CatalogInfo *attributes, int whichDate) const;
    UTCDateTime ConvertNSDateToUTCDateTime(const QDateTime &date) const;

    bool SetBackupDate(const QString &path, const UTCDateTime &date) const;
    // As SetBackupDate, forcing the change through a locked or read-only item
    // and putting lock and mode back afterwards.
    bool SetBackupDateDitto(const QString &path, const UTCDateTime &date) const;

    uint64_t ItemSize(const QString &path) const;
    uint64_t FileSize(const QString &path) const;
    uint64_t FolderSize(const QString &path) const;

    bool IsAlias(const QString &path) const;
    // Replaces an alias file's path by its final target (following chains);
    // a path that is not an alias stays and answers true.
    bool ResolveTheAlias(QString &path) const;
    // Writes an alias file at aliasPath that refers to target.
    OSStatus CreateAlias(const QString &target, const QString &aliasPath) const;

    // The mount point of the volume that holds the item.
    QString GetVolumePathname(const QString &path) const;

    bool IsInvisible(const QString &path, bool includeDotStart) const;
    bool IsLocked(const QString &path) const;
    bool UnlockItem(const QString &path) const;

    OSStatus GetFSRef(const QString &path, ItemRef *ref) const;
    bool FindUniqueNameInFolder(QString &path) const;
    // Shows the nearest existing ancestor of the path in the desktop's viewer.
    void OpenFolder(const QString &path) const;
    // The item OpenFolder shows: the path with missing last components dropped.
    static QString NearestExistingAncestor(const QString &path);
    bool CreateFolderWithFoldersInBetween(const QString &path) const;
    static bool IsString(const QString &string, const QString &prefix);

    const QDateTime &jan1904Date() const { return m_jan1904Date; }

private:
    QDateTime m_jan1904Date;
};

// Whether a folder is shown as one file: a name ending in a registered
// package extension.
bool isFilePackageAtPath(const QString &path);

// Changes to an item's attributes, applied by ChangeFileAttributes (only the
// members that are set change).
struct AttributeChange {
    int permissions = -1; // POSIX permission bits, -1 to keep
    int immutable = -1;   // 0 or 1, -1 to keep
    int64_t uid = -1;     // -1 to keep
    int64_t gid = -1;
};
// The lock is cleared before and set after the other changes so that it
// never blocks them. Answers the first failure.
OSStatus ChangeFileAttributes(const QString &path, const AttributeChange &change);

// Makes the whole tree writable and unlocked: mode 777 and lock off, the
// folder before its entries. Links are not followed.
void UnlockWholeItem(const QString &path);

// How SetCatInfo treats the copy's permissions.
struct SetCatInfoSettings {
    UTCDateTime startSyncDate;     // stamped as backup date on both sides
    bool changePermissions = false;
    int cpOwner = -1;              // -1 keeps the class; otherwise read/write bits (4, 2)
    int cpGroup = -1;
    int cpOthers = -1;
};
// The mode SetCatInfo writes under the settings (set-id and sticky bits cleared
// when recomposed).
uint32_t ComposePermissions(uint32_t sourceMode, const SetCatInfoSettings &settings);
// Copies lock flag, creation, modification and backup dates, permissions,
// owner/group (where permitted) and Finder information from source to dest,
// then stamps the run's backup date on the source as well.
bool SetCatInfo(const QString &source, const QString &dest, const SetCatInfoSettings &settings);
// The same with the source's catalog information already read.
bool SetCatInfo(const CatalogInfo &sourceInfo, const QString &source, const QString &dest,
                const SetCatInfoSettings &settings);

} // namespace qm
