#pragma once
// The copy executor: carries out the plan the scanner built, item by item.
//
// Folders are created before their content and receive their final
// attributes after it; files are copied and replaced only through the
// object copier, which never leaves a half-written file; removals go to the
// trash or are immediate by the session's setting. Every operation is one
// detailed-log line, every failure one run error.
#include "engine/CopyItem.h"
#include "engine/RunContext.h"
#include <QSet>
#include <QString>
#include <vector>

namespace qm {

// One session of the run as MainCopy walks it: the session's index and the
// indexes of its scanned tasks, in run order.
struct SessionTasks {
    int sessionIndex = 0;
    std::vector<int> taskIndices;
};

class Executor {
public:
    explicit Executor(RunContext &context);

    // Copies every task of every session: the copy stages of the context are
    // called around each session and task, also for a stopped run.
    bool MainCopy(const std::vector<SessionTasks> &sessions, std::vector<CopyItem> &plan);
    // Carries out a list of items; `deleteParent` is on for the content of a
    // folder being removed. Answers the result of the last item processed.
    bool CopyItems(std::vector<CopyItem> &items, bool deleteParent);
    // One item's own operation.
    bool CopySource(const QString &a, const QString &b, int copyMode, bool deleteParent);
    // Is there room for `item` on the volume of `target`'s parent folder?
    // Strictly more free bytes than the item's size are needed.
    bool CheckFreeSpaceFor(const QString &item, const QString &target, QString *errStr,
                           quint64 *sourceSize);

    // Paths deleted or trashed during this run.
    bool wasDeleted(const QString &path) const { return m_itemsDeleted.contains(path); }

private:
    RunContext &m_ctx;
    QSet<QString> m_itemsDeleted;
    QString m_trashLog; // lines of items inside a folder being trashed
};

} // namespace qm
