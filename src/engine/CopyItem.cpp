#include "engine/CopyItem.h"
#include <QVariantList>

namespace qm {

QString joinPath(const QString &folder, const QString &name)
{
    // One allocation: the scan joins two paths for every pair it compares.
    QString path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder);
    if (!folder.endsWith(QLatin1Char('/')))
        path.append(QLatin1Char('/'));
    path.append(name);
    return path;
}

QString itemNameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QStringView itemNameIn(const QString &path)
{
    return QStringView(path).sliced(path.lastIndexOf(QLatin1Char('/')) + 1);
}

CopyItem &CopyItem::operator=(const CopyItem &other)
{
    if (this == &other)
        return *this;
    name = other.name;
    subItems = other.subItems;
    copyMode = other.copyMode;
    sessionIndex = other.sessionIndex;
    taskIndex = other.taskIndex;
    ifSkipAddToExactIndex = other.ifSkipAddToExactIndex;
    hasSubItems = other.hasSubItems;
    isTheRootOfTheTree = other.isTheRootOfTheTree;
    isSyncOn = other.isSyncOn;
    m_rare = other.m_rare ? std::make_unique<Rare>(*other.m_rare) : nullptr;
    return *this;
}

CopyItem::Rare &CopyItem::rare()
{
    if (!m_rare)
        m_rare = std::make_unique<Rare>();
    return *m_rare;
}

void CopyItem::setNames(const QString &nameA, const QString &nameB)
{
    name = nameA;
    if (nameB != nameA) {
        rare().nameB = nameB;
        m_rare->hasNameB = true;
    } else if (m_rare) {
        m_rare->nameB = QString();
        m_rare->hasNameB = false;
    }
}

void CopyItem::setFullPaths(const QString &source, const QString &dest)
{
    rare().source = source;
    rare().dest = dest;
}

SidePaths CopyItem::pathsIn(const SidePaths &parent) const
{
    SidePaths paths;
    paths.source = m_rare && !m_rare->source.isNull() ? m_rare->source : joinPath(parent.source, name);
    paths.dest = m_rare && !m_rare->dest.isNull() ? m_rare->dest : joinPath(parent.dest, destName());
    return paths;
}

QVariantMap CopyItem::toRecord(const SidePaths &parent) const
{
    const SidePaths paths = pathsIn(parent);
    QVariantMap r;
    r.insert(QStringLiteral("source"), paths.source);
    r.insert(QStringLiteral("dest"), paths.dest);
    r.insert(QStringLiteral("copyMode"), qlonglong(copyMode));
    if (hasSubItems) {
        QVariantList subs;
        subs.reserve(qsizetype(subItems.size()));
        for (const CopyItem &sub : subItems)
            subs.append(sub.toRecord(paths));
        r.insert(QStringLiteral("subItems"), subs);
    }
    if (ifSkipAddToExactIndex >= 0)
        r.insert(QStringLiteral("ifSkipAddToExactIndex"), qlonglong(ifSkipAddToExactIndex));
    if (isTheRootOfTheTree) {
        r.insert(QStringLiteral("isTheRootOfTheTree"), true);
        r.insert(QStringLiteral("sessionIndex"), qlonglong(sessionIndex));
        r.insert(QStringLiteral("taskIndex"), qlonglong(taskIndex));
        r.insert(QStringLiteral("gIsSyncOn"), isSyncOn);
    }
    return r;
}

CopyItem CopyItem::fromRecord(const QVariantMap &r, const SidePaths &parent)
{
    CopyItem item;
    const QString source = r.value(QStringLiteral("source")).toString();
    const QString dest = r.value(QStringLiteral("dest")).toString();
    item.setNames(itemNameOf(source), itemNameOf(dest));
    // A side whose path is not the parent's and the name keeps it whole.
    const bool ownSource = joinPath(parent.source, item.sourceName()) != source;
    const bool ownDest = joinPath(parent.dest, item.destName()) != dest;
    if (ownSource || ownDest)
        item.setFullPaths(ownSource ? source : QString(), ownDest ? dest : QString());
    item.copyMode = r.value(QStringLiteral("copyMode")).toInt();
    const SidePaths paths{source, dest};
    const auto subs = r.constFind(QStringLiteral("subItems"));
    if (subs != r.constEnd()) {
        item.hasSubItems = true;
        const QVariantList list = subs->toList();
        item.subItems.reserve(size_t(list.size()));
        for (const QVariant &v : list)
            item.subItems.push_back(fromRecord(v.toMap(), paths));
    }
    item.ifSkipAddToExactIndex = qint8(r.value(QStringLiteral("ifSkipAddToExactIndex"), -1).toInt());
    item.isTheRootOfTheTree = r.value(QStringLiteral("isTheRootOfTheTree")).toBool();
    if (item.isTheRootOfTheTree) {
        item.sessionIndex = r.value(QStringLiteral("sessionIndex")).toInt();
        item.taskIndex = r.value(QStringLiteral("taskIndex")).toInt();
        item.isSyncOn = r.value(QStringLiteral("gIsSyncOn")).toBool();
    }
    return item;
}

void PlanCounters::add(int mode, int delta)
{
    switch (mode) {
    case CopyMode::Folder: itemsToDoNothing += delta; break;
    case CopyMode::CopyAToB:
    case CopyMode::ReplaceB: itemsToDoAtoB += delta; break;
    case CopyMode::CopyBToA:
    case CopyMode::ReplaceA: itemsToDoBtoA += delta; break;
    case CopyMode::RemoveA:
    case CopyMode::RemoveB: itemsToDoDelete += delta; break;
    default: break;
    }
}

} // namespace qm
