#pragma once
// What one exact synchronization learned about the items of its two trees
// while it ran: the scan's read of every item it listed and the copies the
// executor made. The index writer reads each folder's names once more (no
// per-item read) and takes whatever it needs to know of an item from here;
// an item this record does not know is read as a fresh listing would.
#include <QHash>
#include <QString>
#include <unordered_map>
#include <vector>

namespace qm {

struct ScanPairNames;

class ExactSyncRecorder {
public:
    // What is known of one entry of a folder.
    enum Fact : quint8 {
        Unknown = 0,
        Folder = 1,  // a real folder (not a package)
        File = 2,    // a plain file
        Package = 3, // a folder that shows as one file
        KindMask = 3,
        // The file's backup date is not later than its last change: the
        // index stamps it.
        StampDue = 4,
    };
    // Entry name (by nameKey) -> Fact bits. Names are not kept: a key that
    // two names of one folder shared could only give one of them the other's
    // stamp, never a place in the index.
    using FolderFacts = QHash<quint64, quint8>;
    static quint64 nameKey(const QString &name) { return qHash(QStringView(name), size_t(0x9E3779B97F4A7C15)); }

    // The scan of the task's folders begins. Facts of other folders are
    // taken only below these two.
    void start(const QString &source, const QString &dest);
    bool started() const { return m_started; }
    // Whether the scan's listing of `folder` is to be recorded.
    bool records(const QString &folder) const;

    // The scan listed `folder`, one side of `pairs`: every name starts
    // Unknown. Answers the folder's facts, which stay at the same address
    // for the life of the record.
    FolderFacts *listed(const QString &folder, const std::vector<ScanPairNames> &pairs);

    // The executor made the folder (empty) or put a copy of a file, package
    // or link at `path`, stamped with the run's start as its backup date.
    void createdFolder(const QString &path);
    void copied(const QString &path, quint8 kind);

    // The facts of a folder, nullptr when nobody recorded its names.
    const FolderFacts *folder(const QString &path) const;

private:
    struct Hash {
        size_t operator()(const QString &s) const { return qHash(s); }
    };
    FolderFacts *parentFacts(const QString &path, QString *name);
    bool isInside(const QString &path) const;

    bool m_started = false;
    QString m_source;
    QString m_dest;
    std::unordered_map<QString, FolderFacts, Hash> m_folders;
};

} // namespace qm
