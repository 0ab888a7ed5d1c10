#pragma once
// The session's executive lists other than the filters: the items the user
// excluded by full path, and the folder pairs of the multiple list (one task
// per usable row).
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <vector>

namespace qm {

class ExcludeList {
public:
    ExcludeList() = default;
    explicit ExcludeList(const QStringList &paths) { setPaths(paths); }

    // Keeps the itemToExclude of the rows that are on and not empty, in row
    // order. Answers the count kept.
    int CountExcludeValid(const QVariantMap &session);

    // True when the path names an excluded item (case is ignored). Only the
    // named item is meant: its content is never visited anyway.
    bool IsToBeExcluded(const QString &path) const;
    // True when the path or one of its parent folders is excluded.
    bool IsInsideExcluded(const QString &path) const;

    int count() const { return int(m_paths.size()); }
    // executiveExcludeArray, for the session run record and the log.
    const QStringList &paths() const { return m_paths; }

private:
    void setPaths(const QStringList &paths);
    static QString key(const QString &path);

    QStringList m_paths;
    QSet<QString> m_keys; // case-folded, without a trailing "/"
};

struct FolderPair {
    QString source;
    QString destination;
};

class FolderPairList {
public:
    // Keeps the multiArray rows that are on and whose source and destination
    // are both set, in row order. Answers the count kept.
    int CountMultiValid(const QVariantMap &session);

    int count() const { return int(m_pairs.size()); }
    const std::vector<FolderPair> &pairs() const { return m_pairs; }
    // executiveMultiArray, for the session run record and the log.
    const QVariantList &records() const { return m_records; }

private:
    std::vector<FolderPair> m_pairs;
    QVariantList m_records;
};

} // namespace qm
