#pragma once
// The boot items lists: system items that a task never copies, and system
// folders that it creates but never fills. They keep a backup of the
// start-up disk from copying kernel file systems, mounted volumes (among
// them, possibly, the backup itself), trash folders and the program's own
// working files.
//
// An entry matches an item when the item's full path equals it exactly. The
// scanner asks about every item it meets, at any depth (the program's own
// folders lie deep inside a backed-up home folder), and about the targets
// of resolved links: at most one hash lookup each.
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace qm {

struct BootItemsContext {
    // Folders of the program itself: its support folder, the Exact Sync
    // index folder, the log folder, the user's trash. Never copied wherever
    // they are met.
    QStringList ownFolders;
    // The mount point of the volume that holds a path; empty when unknown
    // (the start-up disk is then assumed).
    std::function<QString(const QString &)> volumeRootOf;
    // The account whose per-volume trash folder (".Trash-<uid>") is known
    // even when the volume root cannot be listed.
    uint uid = 0;

    // The context of this process: real mount points, the caller's folders.
    static BootItemsContext forProcess(const QStringList &ownFolders);
};

class BootItems {
public:
    // Rebuilds both lists for a task between `source` and `dest`.
    void MakeItemsToDontCopyList(const QString &source, const QString &dest,
                                 const BootItemsContext &context);

    bool isNeverCopied(const QString &path) const { return m_neverCopied.contains(path); }
    bool isCopiedEmpty(const QString &path) const { return m_copiedEmpty.contains(path); }

    // bootItemsToDontCopyArray and bootFoldersToCopyEmptyArray.
    const QStringList &itemsToDontCopy() const { return m_itemsToDontCopy; }
    const QStringList &foldersToCopyEmpty() const { return m_foldersToCopyEmpty; }

    // The fixed entries, in one place.
    // Kernel and run-time file systems, and the places where other volumes
    // are mounted, on the start-up disk: created empty so a copy can boot.
    static const QStringList &startupDiskFoldersToCopyEmpty();
    // Items of the top level of every volume that belong to the file system
    // or the trash; prefixed by the mount point on other volumes.
    static const QStringList &volumeItemsToDontCopy();

private:
    // Exact paths. The scan asks about two paths for every pair it compares;
    // most have a length no entry has, and are answered without a hash.
    class PathSet {
    public:
        bool contains(const QString &path) const
        {
            const auto n = size_t(path.size());
            return n < m_lengths.size() && m_lengths[n] && m_paths.contains(path);
        }
        void insert(const QString &path);
        void clear();

    private:
        QSet<QString> m_paths;
        std::vector<bool> m_lengths;
    };

    void addVolume(const QString &root, const BootItemsContext &context);
    void add(QStringList &list, PathSet &set, const QString &path);

    QStringList m_itemsToDontCopy;
    QStringList m_foldersToCopyEmpty;
    PathSet m_neverCopied;
    PathSet m_copiedEmpty;
};

} // namespace qm
