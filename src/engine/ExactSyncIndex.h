#pragma once
// The Exact Sync index: for each folder pair synchronized exactly, the names
// of every folder and file each side held at the end of the last run, so
// that the next run can tell an item deleted on one side from one added on
// the other.
//
// Files, in the index folder ("ExactSync Indexes" in the support folder):
// the main index "QM3ExactSyncMainIndex.plist" lists the pairs; each pair
// has its own "QM3ExactSyncIndex N.plist" with both trees. Reading never
// fails loudly: a missing, unreadable, foreign or inconsistent file only
// means that no index is available, and the run then deletes nothing
// because of the other side.
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <optional>
#include <vector>

namespace qm {

class ExactSyncRecorder;

// The content of one folder as recorded: entry names mapped to a folder's
// own content or to a file mark (files, packages, links, aliases).
class ExactSyncTree {
public:
    ExactSyncTree();

    static constexpr int kRoot = 0;
    // Adds a folder entry under the folder `parent`; answers its handle.
    int addFolder(int parent, const QString &name);
    void addFile(int parent, const QString &name);
    // Room for `entries` names in the folder `node`, ahead of adding them.
    void reserve(int node, qsizetype entries);
    qsizetype entryCount() const;
    // Orders each folder's names for quick lookups once the tree is built;
    // a name added twice to one folder keeps its last entry.
    void finish();

    // Whether the entry named by `components` (below the tree's folder) was
    // recorded; a file mark never stands for a deeper path.
    bool contains(const QStringList &components) const;
    // The folder recorded at `components`, or -1 (not recorded, or a file).
    int folderAt(const QStringList &components) const;
    // Whether `name` was recorded as a file directly in the folder `node`.
    bool hasFile(int node, const QString &name) const;

    // Stored form: the content node (name -> node, or "" for a file).
    QVariantMap toNode() const;
    // nullopt when the node is not of this layout.
    static std::optional<ExactSyncTree> fromNode(const QVariant &node);
    // The tree as the property-list writer formats {folderKey: node} at
    // `depth` tabs, appended to `out`.
    void appendXml(QByteArray &out, const QString &folderKey, int depth) const;

private:
    static constexpr int kFileMark = -1;
    // One name of a folder: its text in m_names, and its node or kFileMark.
    struct Entry {
        quint32 offset;
        quint32 length;
        int child;
    };
    struct Node {
        std::vector<Entry> entries;
        bool sorted = true; // by name, each name once
    };
    QStringView nameOf(const Entry &e) const { return QStringView(m_names).sliced(e.offset, e.length); }
    void add(int parent, const QString &name, int child);
    const Entry *find(int node, QStringView name) const;
    bool readNode(int into, const QVariantMap &node, int depth);
    QVariantMap writeNode(int node) const;
    void appendNodeXml(QByteArray &out, int node, int depth) const;

    // Names live in one text rather than one allocation each: an index of
    // many thousand items is read and written at every run.
    std::vector<Node> m_nodes;
    QString m_names;
};

// The index of the task being scanned.
struct LoadedExactSyncIndex {
    ExactSyncTree source; // the task's source folder, as recorded
    ExactSyncTree dest;
    int shiftSource = 0;  // path components of the task's folders ("/" is one)
    int shiftDest = 0;
    QDateTime lastExactSyncDate;

    // Did the path exist in that tree at the last run? where 1 = source
    // (side A) tree, 0 = destination (side B) tree.
    bool ItWasExixting(const QString &path, int where) const;
    // The folder at `path` in that tree, or -1.
    int recordedFolder(const QString &path, int where) const;
    const ExactSyncTree &tree(int where) const { return where == 1 ? source : dest; }
};

// Path components as the index counts them: "/" first for an absolute path.
QStringList exactSyncPathComponents(const QString &path);

// What the end of the run hands over for one exact-synchronization task.
struct ExactSyncWriteRequest {
    QString source; // gSourceFolder of the task
    QString dest;   // gDestFolder
    QDateTime runStart;
    // Paths that no longer exist but stay recorded (deletions the user
    // switched off in the preview): addToExactIndexArray.
    QStringList addToExactIndex;
    // Files whose backup date is left alone (conflicts): restoreBackupDateArray.
    QStringList restoreBackupDates;
    // Whether the run ended without the user's Stop. An index is written
    // only then: a stopped run keeps the previous one.
    bool runCompleted = false;
    // Called once before the trees are listed (console display).
    std::function<void()> onBuildingTrees;
    // What the run recorded of the pair's items, read in place of a listing
    // of each entry; nullptr lists both trees in full.
    const ExactSyncRecorder *recorded = nullptr;
};

struct ExactSyncWriteResult {
    bool written = false;
    // On failure: "√ " + text + "\r" for the detailed log, and the complete
    // message for the error policy. Both empty when nothing was attempted.
    QString logLine;
    QString errorMessage;
    bool failed() const { return !errorMessage.isEmpty(); }
};

struct CopyItem;
struct SidePaths;

// The preview switched a planned item off (on > 0) or back on: an item
// whose mode came from the index keeps (or stops keeping) the path that no
// longer exists recorded in the task's list for the next index, so that a
// refused deletion is proposed again instead of being undone by a copy.
// `paths` are the item's own.
void AddOrRemoveItemToExactIndex(QStringList &taskList, const CopyItem &item, const SidePaths &paths, int on);

class ExactSyncIndexStore {
public:
    explicit ExactSyncIndexStore(QString indexFolder);

    static QString mainIndexName() { return QStringLiteral("QM3ExactSyncMainIndex.plist"); }
    static QString pairIndexBaseName() { return QStringLiteral("QM3ExactSyncIndex.plist"); }
    static constexpr qlonglong kFileVersion = 320;

    QString indexFolder() const { return m_folder; }
    QString mainIndexPath() const { return m_folder + '/' + mainIndexName(); }

    // ExactSyncFileExists with the load flag off: the date of the pair's
    // usable index, or nullopt.
    std::optional<QDateTime> lastExactSyncDate(const QString &source, const QString &dest) const;

    // ExactSyncFileExists with the load flag on. For a task that is not an
    // exact synchronization, the pair's index is discarded and nothing is
    // loaded.
    std::optional<LoadedExactSyncIndex> load(const QString &source, const QString &dest,
                                             bool taskIsExactSync) const;

    // Forgets the pair's index (its file and its row). True when nothing of
    // it is left.
    bool discard(const QString &source, const QString &dest) const;

    // After a run that may have changed the pair without a new index: the
    // old index no longer tells a deletion from an addition and must not be
    // used again. Discarded where the index folder allows, otherwise set
    // aside in a list beside it. False when neither could be done.
    bool forget(const QString &source, const QString &dest) const;

    // WriteExactSyncIndex: records both trees of the pair from their actual
    // content and stamps the run's start as backup date on every file. On
    // failure the pair's previous index is forgotten.
    ExactSyncWriteResult write(ExactSyncWriteRequest request) const;

    // The list of pairs whose index must not be used (beside the index
    // folder, which may be the very thing that cannot be written).
    QString setAsidePath() const;

private:
    struct PairFile {
        int row = -1;
        QString path;
        bool crossed = false;
        QVariantMap content; // without the trees when the pair reader took them
        bool treesRead = false;
        QString sourceKey, destKey; // the folder names the trees are stored under
        ExactSyncTree source, dest;
    };
    static bool readPairFile(const QString &path, PairFile *pair);
    std::optional<QVariantMap> readMainIndex() const;
    std::optional<PairFile> findPairFile(const QVariantMap &main, const QString &source,
                                         const QString &dest) const;
    int findRow(const QVariantList &rows, const QString &source, const QString &dest) const;
    ExactSyncWriteResult writePair(ExactSyncWriteRequest request) const;
    bool isSetAside(const QString &source, const QString &dest) const;
    bool setAside(const QString &source, const QString &dest, bool on) const;
    bool prepareFolder(ExactSyncWriteResult *result) const;
    bool prepareMainIndex(ExactSyncWriteResult *result) const;

    QString m_folder;
};

} // namespace qm
