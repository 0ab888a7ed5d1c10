#include "engine/RunCounters.h"

namespace qm {

namespace {

void putSide(QVariantMap &r, const char *prefix, const SideCounters &c)
{
    const QString p = QString::fromLatin1(prefix);
    r.insert(p + QStringLiteral("FoldersCreated"), c.foldersCreated);
    r.insert(p + QStringLiteral("FilesRenamed"), c.filesRenamed);
    r.insert(p + QStringLiteral("FilesCopied"), c.filesCopied);
    r.insert(p + QStringLiteral("FilesReplaced"), c.filesReplaced);
    r.insert(p + QStringLiteral("FoldersDeleted"), c.foldersDeleted);
    r.insert(p + QStringLiteral("FilesDeleted"), c.filesDeleted);
    r.insert(p + QStringLiteral("ItemInvisible"), c.itemInvisible);
    r.insert(p + QStringLiteral("ItemVisible"), c.itemVisible);
}

} // namespace

QVariantMap RunCounters::copyCountersRecord() const
{
    QVariantMap r;
    putSide(r, "gA", a);
    putSide(r, "gB", b);
    return r;
}

QVariantMap RunCounters::scanCountersRecord() const
{
    return {{QStringLiteral("gAFoldersScanned"), a.foldersScanned},
            {QStringLiteral("gAFilesScanned"), a.filesScanned},
            {QStringLiteral("gBFoldersScanned"), b.foldersScanned},
            {QStringLiteral("gBFilesScanned"), b.filesScanned}};
}

} // namespace qm
