#include "engine/CopyItem.h"
#include <QVariantList>

namespace qm {

QVariantMap CopyItem::toRecord() const
{
    QVariantMap r;
    r.insert(QStringLiteral("source"), source);
    r.insert(QStringLiteral("dest"), dest);
    r.insert(QStringLiteral("copyMode"), qlonglong(copyMode));
    if (hasSubItems) {
        QVariantList subs;
        subs.reserve(qsizetype(subItems.size()));
        for (const CopyItem &sub : subItems)
            subs.append(sub.toRecord());
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

CopyItem CopyItem::fromRecord(const QVariantMap &r)
{
    CopyItem item;
    item.source = r.value(QStringLiteral("source")).toString();
    item.dest = r.value(QStringLiteral("dest")).toString();
    item.copyMode = r.value(QStringLiteral("copyMode")).toInt();
    const auto subs = r.constFind(QStringLiteral("subItems"));
    if (subs != r.constEnd()) {
        item.hasSubItems = true;
        const QVariantList list = subs->toList();
        item.subItems.reserve(size_t(list.size()));
        for (const QVariant &v : list)
            item.subItems.push_back(fromRecord(v.toMap()));
    }
    item.ifSkipAddToExactIndex = r.value(QStringLiteral("ifSkipAddToExactIndex"), -1).toInt();
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
