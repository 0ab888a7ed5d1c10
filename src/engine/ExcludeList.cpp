#include "engine/ExcludeList.h"

namespace qm {

namespace {
bool rowIsOn(const QVariantMap &row) { return row.value("onOff").toLongLong() != 0; }
} // namespace

int ExcludeList::CountExcludeValid(const QVariantMap &session)
{
    QStringList paths;
    const QVariantList rows = session.value("excludeArray").toList();
    for (const QVariant &v : rows) {
        const QVariantMap row = v.toMap();
        const QString path = row.value("itemToExclude").toString();
        if (rowIsOn(row) && !path.isEmpty())
            paths.append(path);
    }
    setPaths(paths);
    return count();
}

void ExcludeList::setPaths(const QStringList &paths)
{
    m_paths = paths;
    m_keys.clear();
    for (const QString &p : paths)
        m_keys.insert(key(p));
}

// A path typed with a trailing "/" still names the same item: without this
// an excluded folder would be copied (or, in an exact task, deleted).
QString ExcludeList::key(const QString &path)
{
    QString p = path;
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    return p.toCaseFolded();
}

bool ExcludeList::IsToBeExcluded(const QString &path) const
{
    return !m_keys.isEmpty() && m_keys.contains(key(path));
}

bool ExcludeList::IsInsideExcluded(const QString &path) const
{
    if (m_keys.isEmpty())
        return false;
    QString p = key(path);
    while (!p.isEmpty()) {
        if (m_keys.contains(p))
            return true;
        const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            break;
        p.truncate(slash);
    }
    return false;
}

int FolderPairList::CountMultiValid(const QVariantMap &session)
{
    m_pairs.clear();
    m_records.clear();
    const QVariantList rows = session.value("multiArray").toList();
    for (const QVariant &v : rows) {
        const QVariantMap row = v.toMap();
        FolderPair pair{row.value("source").toString(), row.value("destination").toString()};
        if (!rowIsOn(row) || pair.source.isEmpty() || pair.destination.isEmpty())
            continue;
        m_pairs.push_back(pair);
        m_records.append(row);
    }
    return count();
}

} // namespace qm
