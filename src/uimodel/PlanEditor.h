#pragma once
// The preview's edits of a run's plan: switching an item (and what it holds)
// off and on, and turning a replacement round in a synchronization. Every
// edit keeps the plan's six counters and the task's Exact Sync list exact,
// so that the copy that follows does what the preview shows.
#include "engine/RunPlan.h"

#include <QList>
#include <QSet>
#include <QString>

namespace qm {

// An item of the plan: its task (position of the root in the plan) and the
// rows leading to it from the root (none for the root itself).
struct PlanPosition {
    int task = -1;
    QList<int> rows;
};

class PlanEditor {
public:
    explicit PlanEditor(RunPlan &plan) : m_plan(plan) {}

    // The item at the position, or null when there is none.
    CopyItem *itemAt(const PlanPosition &at) const;

    // A click on the operation column: an item that is on goes off with its
    // whole content; one that is off comes on with its content, and the
    // folders that hold it come on as far as needed for the copy to reach it.
    // Answers how many of the item's ancestors changed (nearest first), so
    // that the display can redraw them; -1 when there is no such item.
    int toggle(const PlanPosition &at);

    // Alt-click: a replacement in a synchronizing task goes the other way.
    // False (the caller beeps) for anything else, which is left unchanged.
    bool ChangeCopyModeDirection(const PlanPosition &at);

private:
    // The Exact Sync paths one edit adds to or removes from its task's list,
    // applied once at the end so that a folder of thousands of items costs
    // one pass over the list, not one per item.
    struct ExactEdits {
        QStringList added;
        QSet<QString> removed;
    };

    // An item on the way to a position, with its paths.
    struct Link {
        CopyItem *item;
        SidePaths paths;
    };

    struct Where;
    void changeCopyMode(CopyItem &item, const Where &where, bool on, ExactEdits &edits);
    void switchOne(CopyItem &item, const Where &where, bool on, ExactEdits &edits);
    int switchAncestorsOff(const std::vector<Link> &chain, ExactEdits &edits);
    int switchAncestorsOn(const std::vector<Link> &chain, ExactEdits &edits);
    void applyExactEdits(int task, const ExactEdits &edits);
    std::vector<Link> chainTo(const PlanPosition &at) const;

    RunPlan &m_plan;
};

// Digits grouped by three from the right with ",", as the preview shows
// sizes and counts; shorter texts come back unchanged.
QString FormattaMigliaia(const QString &digits);

// Whether any item below `item` (not the item itself) is switched off.
bool hasSwitchedOffContent(const CopyItem &item);

} // namespace qm
