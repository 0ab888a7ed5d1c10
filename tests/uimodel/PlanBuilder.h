#pragma once
// Plans written as short texts for the preview's tests:
//   "d6[x6 y6] f2 g4"
// is a task whose root holds a folder d (mode 6) with files x and y, and
// files f and g. A mode may be negative; "*" after a mode marks an item
// derived from the Exact Sync index (its side that no longer exists).
// The counters are those the scanner would have left.
#include "engine/RunPlan.h"

#include <QString>
#include <functional>

namespace qmtest {

struct PlanText {
    qm::CopyItem root;

    static PlanText parse(const QString &text, bool isSyncOn = true)
    {
        PlanText p;
        p.root.setFullPaths(QStringLiteral("/A"), QStringLiteral("/B"));
        p.root.copyMode = qm::CopyMode::Folder;
        p.root.hasSubItems = true;
        p.root.isTheRootOfTheTree = true;
        p.root.isSyncOn = isSyncOn;
        qsizetype at = 0;
        parseList(text, at, p.root);
        return p;
    }

    static void parseList(const QString &t, qsizetype &at, qm::CopyItem &parent)
    {
        while (at < t.size()) {
            if (t[at] == ' ') {
                ++at;
                continue;
            }
            if (t[at] == ']') {
                ++at;
                return;
            }
            qm::CopyItem item;
            QString name;
            while (at < t.size() && t[at].isLetter())
                name += t[at++];
            QString number;
            while (at < t.size() && (t[at].isDigit() || t[at] == '-'))
                number += t[at++];
            item.copyMode = number.toInt();
            item.name = name;
            if (at < t.size() && t[at] == '*') {
                ++at;
                // The side that no longer exists: B for a deletion on A or
                // a copy to B, A otherwise.
                const int m = std::abs(item.copyMode);
                item.ifSkipAddToExactIndex = (m == qm::CopyMode::RemoveA || m == qm::CopyMode::CopyAToB) ? 0 : 1;
            }
            if (at < t.size() && t[at] == '[') {
                ++at;
                item.hasSubItems = true;
                parseList(t, at, item);
            }
            parent.subItems.push_back(std::move(item));
        }
    }
};

// Calls f on every item below (not including) the root, depth first.
inline void forEachItem(qm::CopyItem &item, const std::function<void(qm::CopyItem &)> &f)
{
    for (qm::CopyItem &sub : item.subItems) {
        f(sub);
        forEachItem(sub, f);
    }
}

// The counters as the scanner leaves them, recounted from the modes.
inline qm::PlanCounters countersOf(const std::vector<qm::CopyItem> &roots)
{
    qm::PlanCounters c;
    auto count = [&c](const qm::CopyItem &i) {
        if (i.copyMode > 0) {
            c.add(i.copyMode);
            if (i.copyMode >= 2)
                ++c.globalItemsToDo;
        } else {
            ++c.itemsToDoSkip;
        }
    };
    for (qm::CopyItem root : roots) {
        count(root);
        forEachItem(root, count);
    }
    return c;
}

inline qm::RunPlan planOf(const std::vector<QString> &tasks, bool isSyncOn = true)
{
    qm::RunPlan plan;
    int task = 0;
    for (const QString &t : tasks) {
        qm::CopyItem root = PlanText::parse(t, isSyncOn).root;
        root.sessionIndex = 0;
        root.taskIndex = task++;
        plan.addTask(std::move(root));
    }
    plan.counters = countersOf(plan.itemsToCopy);
    return plan;
}

// The tree back as text (without the root and the Exact Sync marks).
inline QString textOf(const qm::CopyItem &item)
{
    QStringList parts;
    for (const qm::CopyItem &sub : item.subItems) {
        QString s = sub.name + QString::number(sub.copyMode);
        if (sub.hasSubItems)
            s += '[' + textOf(sub) + ']';
        parts.append(s);
    }
    return parts.join(' ');
}

inline bool operator==(const qm::PlanCounters &x, const qm::PlanCounters &y)
{
    return x.itemsToDoNothing == y.itemsToDoNothing && x.itemsToDoAtoB == y.itemsToDoAtoB
           && x.itemsToDoBtoA == y.itemsToDoBtoA && x.itemsToDoDelete == y.itemsToDoDelete
           && x.itemsToDoSkip == y.itemsToDoSkip && x.globalItemsToDo == y.globalItemsToDo;
}

inline std::string describe(const qm::PlanCounters &c)
{
    return QStringLiteral("nothing %1 skip %2 delete %3 AtoB %4 BtoA %5 global %6")
        .arg(c.itemsToDoNothing).arg(c.itemsToDoSkip).arg(c.itemsToDoDelete)
        .arg(c.itemsToDoAtoB).arg(c.itemsToDoBtoA).arg(c.globalItemsToDo)
        .toStdString();
}

} // namespace qmtest
