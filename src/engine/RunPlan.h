#pragma once
// The plan of a run, owned by the run's state: the scanner fills it, the
// preview may edit it in place (on the main thread, while the worker waits
// for its answer), the executor carries it out and the index writer reads
// its Exact Sync lists.
#include "engine/CopyItem.h"

#include <QStringList>

#include <vector>

namespace qm {

struct RunPlan {
    // One root per planned task, in scan order (a task whose scan planned
    // nothing has no root).
    std::vector<CopyItem> itemsToCopy;
    // Parallel to itemsToCopy: per task, the paths that no longer exist but
    // go into its next Exact Sync index (deletions switched off).
    std::vector<QStringList> addToExactIndex;
    PlanCounters counters;

    void clear()
    {
        itemsToCopy.clear();
        addToExactIndex.clear();
        counters = PlanCounters{};
    }
    void addTask(CopyItem root)
    {
        itemsToCopy.push_back(std::move(root));
        addToExactIndex.emplace_back();
    }
    int taskCount() const { return int(itemsToCopy.size()); }
    // The position of a task's root, or -1 when the task planned nothing.
    int findTask(int sessionIndex, int taskIndex) const
    {
        for (size_t i = 0; i < itemsToCopy.size(); ++i)
            if (itemsToCopy[i].sessionIndex == sessionIndex && itemsToCopy[i].taskIndex == taskIndex)
                return int(i);
        return -1;
    }
};

} // namespace qm
