#include "engine/ExcludeListBootItems.h"
#include "fs/LPUtilities.h"
#include <QDir>
#include <unistd.h>

namespace qm {

namespace {

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace

BootItemsContext BootItemsContext::forProcess(const QStringList &ownFolders)
{
    BootItemsContext context;
    context.ownFolders = ownFolders;
    context.volumeRootOf = [](const QString &path) { return LPUtilities().GetVolumePathname(path); };
    context.uid = uint(::getuid());
    return context;
}

const QStringList &BootItems::startupDiskFoldersToCopyEmpty()
{
    static const QStringList entries{"/dev", "/proc", "/sys", "/run", "/tmp", "/mnt", "/media"};
    return entries;
}

const QStringList &BootItems::volumeItemsToDontCopy()
{
    static const QStringList entries{"/lost+found", "/.Trash"};
    return entries;
}

void BootItems::PathSet::insert(const QString &path)
{
    m_paths.insert(path);
    const auto n = size_t(path.size());
    if (n >= m_lengths.size())
        m_lengths.resize(n + 1);
    m_lengths[n] = true;
}

void BootItems::PathSet::clear()
{
    m_paths.clear();
    m_lengths.clear();
}

void BootItems::add(QStringList &list, PathSet &set, const QString &path)
{
    if (path.isEmpty() || set.contains(path))
        return;
    set.insert(path);
    list.append(path);
}

void BootItems::addVolume(const QString &root, const BootItemsContext &context)
{
    // The boot volume's entries are the fixed ones; another volume's carry
    // its mount point in front.
    const QString prefix = (root.isEmpty() || root == QLatin1String("/"))
                               ? QString() : withoutTrailingSlash(root);
    for (const QString &entry : volumeItemsToDontCopy())
        add(m_itemsToDontCopy, m_neverCopied, prefix + entry);
    add(m_itemsToDontCopy, m_neverCopied, prefix + "/.Trash-" + QString::number(context.uid));
    // Other accounts' trash folders on that volume.
    const QStringList trashes =
        QDir(prefix.isEmpty() ? QStringLiteral("/") : prefix)
            .entryList({QStringLiteral(".Trash-*")},
                       QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : trashes)
        add(m_itemsToDontCopy, m_neverCopied, prefix + "/" + name);
}

void BootItems::MakeItemsToDontCopyList(const QString &source, const QString &dest,
                                        const BootItemsContext &context)
{
    m_itemsToDontCopy.clear();
    m_foldersToCopyEmpty.clear();
    m_neverCopied.clear();
    m_copiedEmpty.clear();

    for (const QString &entry : startupDiskFoldersToCopyEmpty())
        add(m_foldersToCopyEmpty, m_copiedEmpty, entry);
    addVolume(QStringLiteral("/"), context);
    for (const QString &folder : context.ownFolders)
        add(m_itemsToDontCopy, m_neverCopied, withoutTrailingSlash(QDir::cleanPath(folder)));

    for (const QString &taskFolder : {source, dest}) {
        const QString root = context.volumeRootOf ? context.volumeRootOf(taskFolder) : QString();
        if (!root.isEmpty() && root != QLatin1String("/"))
            addVolume(root, context);
    }
}

} // namespace qm
