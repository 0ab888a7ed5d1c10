#include "uimodel/PlanEditor.h"

#include <optional>

namespace qm {
namespace {

bool isOperation(int mode)
{
    return mode >= CopyMode::CopyAToB && mode <= CopyMode::RemoveB;
}

// The path that goes into the next Exact Sync index while the item is off:
// the side where the item no longer exists.
const QString &exactPath(const CopyItem &item, const SidePaths &paths)
{
    return item.ifSkipAddToExactIndex == 1 ? paths.source : paths.dest;
}

} // namespace

bool hasSwitchedOffContent(const CopyItem &item)
{
    for (const CopyItem &sub : item.subItems)
        if (sub.copyMode < 0 || hasSwitchedOffContent(sub))
            return true;
    return false;
}

std::vector<PlanEditor::Link> PlanEditor::chainTo(const PlanPosition &at) const
{
    std::vector<Link> chain;
    if (at.task < 0 || at.task >= m_plan.taskCount())
        return chain;
    CopyItem *item = &m_plan.itemsToCopy[size_t(at.task)];
    chain.push_back({item, item->pathsIn({})});
    for (int row : at.rows) {
        if (row < 0 || size_t(row) >= item->subItems.size())
            return {};
        item = &item->subItems[size_t(row)];
        chain.push_back({item, item->pathsIn(chain.back().paths)});
    }
    return chain;
}

CopyItem *PlanEditor::itemAt(const PlanPosition &at) const
{
    const std::vector<Link> chain = chainTo(at);
    return chain.empty() ? nullptr : chain.back().item;
}

// An item's paths, built only when an edit of the Exact Sync list needs
// them: a folder of thousands of items switches without building any.
struct PlanEditor::Where {
    Where(const CopyItem &of, const Where *in, const SidePaths *at = nullptr) : item(of), parent(in), known(at) {}

    const CopyItem &item;
    const Where *parent;
    const SidePaths *known;
    mutable std::optional<SidePaths> built;

    const SidePaths &paths() const
    {
        if (known)
            return *known;
        if (!built)
            built = item.pathsIn(parent->paths());
        return *built;
    }
};

void PlanEditor::switchOne(CopyItem &item, const Where &where, bool on, ExactEdits &edits)
{
    const int m = item.copyMode;
    if (on ? m >= 0 : m <= 0)
        return; // already as wanted
    const int operation = on ? -m : m;
    const int delta = on ? 1 : -1;
    PlanCounters &c = m_plan.counters;
    c.add(operation, delta);
    c.itemsToDoSkip -= delta;
    if (isOperation(operation)) {
        c.globalItemsToDo += delta;
        if (item.ifSkipAddToExactIndex >= 0) {
            if (on)
                edits.removed.insert(exactPath(item, where.paths()));
            else
                edits.added.append(exactPath(item, where.paths()));
        }
    }
    item.copyMode = -m;
}

void PlanEditor::changeCopyMode(CopyItem &item, const Where &where, bool on, ExactEdits &edits)
{
    switchOne(item, where, on, edits);
    for (CopyItem &sub : item.subItems)
        changeCopyMode(sub, Where{sub, &where}, on, edits);
}

// A folder cannot be deleted while something inside it is kept: the
// deletions that hold the item go off with it.
int PlanEditor::switchAncestorsOff(const std::vector<Link> &chain, ExactEdits &edits)
{
    int changed = 0;
    for (size_t i = chain.size() - 1; i-- > 0;) {
        if (!CopyMode::isRemoval(chain[i].item->copyMode))
            break;
        switchOne(*chain[i].item, Where{*chain[i].item, nullptr, &chain[i].paths}, false, edits);
        ++changed;
    }
    return changed;
}

// The folders that hold an item switched on come on, so that the copy
// reaches it. A folder to delete comes on only when nothing inside it is
// off any more: deleting it would take the items the user kept (a folder
// moved to the trash goes whole).
int PlanEditor::switchAncestorsOn(const std::vector<Link> &chain, ExactEdits &edits)
{
    int farthest = 0;
    bool contentOn = true; // nothing off in the subtree of chain[i + 1]
    for (size_t i = chain.size() - 1; i-- > 0;) {
        CopyItem &folder = *chain[i].item;
        if (folder.copyMode >= 0)
            break;
        if (contentOn) {
            for (const CopyItem &sub : folder.subItems) {
                if (&sub != chain[i + 1].item && (sub.copyMode < 0 || hasSwitchedOffContent(sub))) {
                    contentOn = false;
                    break;
                }
            }
        }
        if (CopyMode::isRemoval(-folder.copyMode) && !contentOn)
            continue;
        switchOne(folder, Where{folder, nullptr, &chain[i].paths}, true, edits);
        farthest = int(chain.size() - 1 - i);
    }
    return farthest;
}

void PlanEditor::applyExactEdits(int task, const ExactEdits &edits)
{
    if (edits.added.isEmpty() && edits.removed.isEmpty())
        return;
    if (size_t(task) >= m_plan.addToExactIndex.size())
        m_plan.addToExactIndex.resize(size_t(task) + 1);
    QStringList &list = m_plan.addToExactIndex[size_t(task)];
    if (!edits.removed.isEmpty())
        list.removeIf([&](const QString &p) { return edits.removed.contains(p); });
    if (!edits.added.isEmpty()) {
        QSet<QString> listed(list.begin(), list.end());
        for (const QString &p : edits.added)
            if (!listed.contains(p)) {
                listed.insert(p);
                list.append(p);
            }
    }
}

int PlanEditor::toggle(const PlanPosition &at)
{
    const std::vector<Link> chain = chainTo(at);
    if (chain.empty())
        return -1;
    CopyItem &item = *chain.back().item;
    const Where where{item, nullptr, &chain.back().paths};
    ExactEdits edits;
    int changed = 0;
    if (item.copyMode >= 0) {
        if (CopyMode::isRemoval(item.copyMode))
            changed = switchAncestorsOff(chain, edits);
        changeCopyMode(item, where, false, edits);
    } else {
        changeCopyMode(item, where, true, edits);
        changed = switchAncestorsOn(chain, edits);
    }
    applyExactEdits(at.task, edits);
    return changed;
}

bool PlanEditor::ChangeCopyModeDirection(const PlanPosition &at)
{
    CopyItem *item = itemAt(at);
    if (!item || !m_plan.itemsToCopy[size_t(at.task)].isSyncOn
        || (item->copyMode != CopyMode::ReplaceB && item->copyMode != CopyMode::ReplaceA))
        return false;
    PlanCounters &c = m_plan.counters;
    c.add(item->copyMode, -1);
    item->copyMode = item->copyMode == CopyMode::ReplaceB ? CopyMode::ReplaceA : CopyMode::ReplaceB;
    c.add(item->copyMode, 1);
    return true;
}

QString FormattaMigliaia(const QString &text)
{
    if (text.size() < 4)
        return text;
    const bool negative = text.startsWith(QLatin1Char('-'));
    const QString digits = negative ? text.mid(1) : text;
    QString out = negative ? QStringLiteral("-") : QString();
    out.reserve(text.size() + text.size() / 3);
    const qsizetype first = digits.size() % 3 == 0 ? 3 : digits.size() % 3;
    out += digits.left(first);
    for (qsizetype i = first; i < digits.size(); i += 3)
        out += QLatin1Char(',') + digits.mid(i, 3);
    return out;
}

} // namespace qm
