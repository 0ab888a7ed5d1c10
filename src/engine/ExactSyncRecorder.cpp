#include "engine/ExactSyncRecorder.h"
#include "engine/ScanListing.h"

namespace qm {

namespace {

// Folder keys never end with a slash, whatever form the task folder took.
QString folderKey(const QString &path)
{
    qsizetype n = path.size();
    while (n > 1 && path[n - 1] == u'/')
        --n;
    return n == path.size() ? path : path.left(n);
}

} // namespace

void ExactSyncRecorder::start(const QString &source, const QString &dest)
{
    m_source = folderKey(source);
    m_dest = folderKey(dest);
    m_folders.clear();
    m_started = true;
}

bool ExactSyncRecorder::isInside(const QString &path) const
{
    for (const QString &root : {m_source, m_dest}) {
        if (path == root)
            return true;
        if (path.startsWith(root)
            && (root == QLatin1String("/") || (path.size() > root.size() && path[root.size()] == u'/')))
            return true;
    }
    return false;
}

bool ExactSyncRecorder::records(const QString &folder) const
{
    return m_started && isInside(folderKey(folder));
}

ExactSyncRecorder::FolderFacts *ExactSyncRecorder::listed(const QString &folder,
                                                          const std::vector<ScanPairNames> &pairs)
{
    if (!records(folder))
        return nullptr;
    // A name without facts is Unknown: nothing is stored for it until the
    // scan learns something.
    FolderFacts &facts = m_folders[folderKey(folder)];
    facts.clear();
    facts.reserve(qsizetype(pairs.size()));
    return &facts;
}

ExactSyncRecorder::FolderFacts *ExactSyncRecorder::parentFacts(const QString &path, QString *name)
{
    const QString key = folderKey(path);
    const qsizetype slash = key.lastIndexOf(u'/');
    if (slash < 0)
        return nullptr;
    *name = key.mid(slash + 1);
    const auto it = m_folders.find(slash == 0 ? QStringLiteral("/") : key.left(slash));
    return it == m_folders.end() ? nullptr : &it->second;
}

void ExactSyncRecorder::createdFolder(const QString &path)
{
    QString name;
    FolderFacts *parent = parentFacts(path, &name);
    if (!parent)
        return;
    parent->insert(nameKey(name), Folder);
    m_folders[folderKey(path)] = FolderFacts();
}

void ExactSyncRecorder::copied(const QString &path, quint8 kind)
{
    QString name;
    if (FolderFacts *parent = parentFacts(path, &name))
        parent->insert(nameKey(name), kind & KindMask);
}

const ExactSyncRecorder::FolderFacts *ExactSyncRecorder::folder(const QString &path) const
{
    const auto it = m_folders.find(folderKey(path));
    return it == m_folders.end() ? nullptr : &it->second;
}

} // namespace qm
