#pragma once
// The questions the scanner asks about items and task folders that other
// parts of the engine answer: folder validation, privileges, the boot items
// lists, excludes, filters and the Exact Sync index.
#include "engine/ItemInfo.h"
#include <QString>

namespace qm {

struct LoadedExactSyncIndex;

class ItemPolicy {
public:
    virtual ~ItemPolicy() = default;

    // Validates the task's folder pair (case 0); 1 = valid, any other value
    // refuses the task (the implementation reports its own errors). A valid
    // pair leaves in `source` and `dest` the folders to scan (links resolved).
    virtual int foldersAreValid(QString &source, QString &dest) = 0;
    // 0 = allowed; 1 = insufficient privileges; other = a locked item. On a
    // refusal `errString` receives the description.
    // `infoA` and `infoB` are the scan's own reads of the two sides (or null).
    virtual int checkPrivileges(const QString &a, const QString &b, int copyMode, QString *errString,
                                const ItemInfo *infoA, const ItemInfo *infoB) = 0;

    // The path lies on a volume of the session's list that could not be
    // mounted: what is there is the empty mount point, not the volume.
    virtual bool isOnUnmountedVolume(const QString &path) { (void)path; return false; }

    // Loads the Exact Sync index of the pair; true when one applies.
    virtual bool loadExactSyncIndex(const QString &source, const QString &dest) = 0;
    // Did the path exist at the last Exact Sync? where 0 = side B tree,
    // 1 = side A tree.
    virtual bool itWasExisting(const QString &path, int where) = 0;
    // The index loaded for the task, if any; read by the scan's threads.
    virtual const LoadedExactSyncIndex *exactSyncIndex() const { return nullptr; }

    // Rebuilds the boot items lists for the task's folders.
    virtual void makeItemsToDontCopyList(const QString &source, const QString &dest) = 0;
    virtual bool isBootItemNotToCopy(const QString &path) = 0;
    virtual bool isBootFolderToCopyEmpty(const QString &path) = 0;

    // Asked only when the session's exclude / filter list is on.
    virtual bool isToBeExcluded(const QString &path) = 0;
    virtual bool isToBeFiltered(const QString &path, const ItemInfo &info) = 0;
};

// Valid, allowed, nothing excluded or filtered, no boot items, no index.
class PermissiveItemPolicy : public ItemPolicy {
public:
    int foldersAreValid(QString &, QString &) override { return 1; }
    int checkPrivileges(const QString &, const QString &, int, QString *, const ItemInfo *,
                        const ItemInfo *) override
    {
        return 0;
    }
    bool loadExactSyncIndex(const QString &, const QString &) override { return false; }
    bool itWasExisting(const QString &, int) override { return false; }
    void makeItemsToDontCopyList(const QString &, const QString &) override {}
    bool isBootItemNotToCopy(const QString &) override { return false; }
    bool isBootFolderToCopyEmpty(const QString &) override { return false; }
    bool isToBeExcluded(const QString &) override { return false; }
    bool isToBeFiltered(const QString &, const ItemInfo &) override { return false; }
};

} // namespace qm
