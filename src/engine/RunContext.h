#pragma once
// The run around the scanner and the executor. The run driver implements it;
// every call that reaches the user interface is synchronous (the worker waits
// for the main thread's answer), and tests implement it with a fake.
#include "engine/CopyItem.h"
#include "engine/ItemPolicy.h"
#include "engine/RunCounters.h"
#include "engine/SessionSettings.h"
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

namespace qm {

class ExactSyncRecorder;

// A failure during a run, reported the standard way.
struct RunError {
    RunError() = default;
    RunError(const QString &errorText) : text(errorText) {}
    static RunError uncounted(const QString &errorText)
    {
        RunError e(errorText);
        e.counted = false;
        return e;
    }

    QString text;
    // Title of the error dialog; empty = the usual "Warning:".
    QString title;
    // Advice added to the text in the dialog only (not in the log).
    QString dialogSuffix;
    // Whether the task's error count grows (the missing-folders report of
    // the scanner is the one that does not count).
    bool counted = true;
};

// One conflict put to the user.
struct ConflictQuestion {
    QString source; // side A path
    QString dest;   // side B path
    std::optional<QDateTime> referenceDate;
    int copyMode = 0; // the proposed mode
    int kind = 0;     // 11, 12, 21, 22, 31, 41, 42
    bool isSyncOn = false;
    bool canChangeDirection = false; // kind 31 only
};

// The answer to a conflict question.
struct ConflictReply {
    enum class Choice { Carry, Skip, Stop };
    // The dialog's codes: 100 carry out, 99 skip, 98 stop.
    enum : int { kCarryCode = 100, kSkipCode = 99, kStopCode = 98 };

    Choice choice = Choice::Skip;
    // Kind 31 only: carry out the replacement the other way round.
    bool reversed = false;

    static ConflictReply fromDialogCode(int code, bool reversed)
    {
        ConflictReply r;
        r.choice = code == kCarryCode ? Choice::Carry : code == kStopCode ? Choice::Stop : Choice::Skip;
        r.reversed = reversed && r.choice == Choice::Carry;
        return r;
    }
    bool operator==(const ConflictReply &) const = default;
};

class RunContext {
public:
    virtual ~RunContext() = default;

    // --- Stop flag -------------------------------------------------------
    // The run goes on while this holds; tested before every item.
    virtual bool isCopying() const = 0;
    // The user chose Stop in a question: clears the flag and remembers that
    // the user stopped the run.
    virtual void requestUserStop() = 0;

    // --- Errors and the detailed log --------------------------------------
    // The standard run error: when the log kind is detailed or errors-only,
    // "√ " + text + "\r" goes into the task's detailed log; the error policy
    // decides (case 0, which may clear isCopying); the task's error count
    // grows unless `counted` is off. Answers true to go on.
    virtual bool reportRunError(const RunError &error) = 0;
    // A success line: with the detailed log kind, line + "\r" is appended
    // to the task's detailed log; otherwise nothing.
    virtual void logSuccess(const QString &line) = 0;
    // Appends raw text to the task's detailed log (lines held back while a
    // folder was being trashed).
    virtual void appendDetailedLog(const QString &text) = 0;
    // A diagnostic for developers (system log); never a run error.
    virtual void diagnostic(const QString &text) = 0;

    // --- Questions ---------------------------------------------------------
    // Whether nobody is there to answer (a timer or Sync And Quit run). The
    // scanner never asks in an unattended run: the conflict is skipped.
    virtual bool isUnattended() const = 0;
    // Puts the conflict to the user and waits for the answer. The caller
    // acts on Stop (requestUserStop).
    virtual ConflictReply askConflict(const ConflictQuestion &question) = 0;

    // --- Progress ------------------------------------------------------------
    virtual void setStatusText(const QString &text) = 0;
    // One planned item (mode 2..7) is about to be carried out: the run's
    // items-to-do count goes down by one and its display is updated.
    virtual void itemStarted() = 0;
    // At least one operation succeeded in this run.
    virtual void noteItemDone() = 0;
    // The operation in progress, for the information drawer.
    virtual void publishOperation(int copyMode, const QString &item, const QString &target) = 0;
    // Bytes copied so far of the file `item`, where the copier tells; any
    // thread (copies run side by side).
    virtual void publishBytes(const QString &item, qint64 copied, qint64 total)
    {
        (void)item;
        (void)copied;
        (void)total;
    }
    // The task whose plan is now carried out (console marker and folders).
    virtual void showTask(const CopyItem &root) = 0;

    // --- Run state -----------------------------------------------------------
    // The run's start: the backup date stamped on every copy.
    virtual QDateTime runStart() const = 0;
    // The current session's options (reloaded per session by the driver).
    virtual const SessionSettings &settings() const = 0;
    // The current task's counters (reset by the driver's purge stages).
    virtual RunCounters &counters() = 0;
    // The run's plan counters.
    virtual PlanCounters &planCounters() = 0;
    // The current task's restoreBackupDateArray.
    virtual QStringList &restoreBackupDates() = 0;
    virtual ItemPolicy &itemPolicy() = 0;
    // The record of the exact synchronization being scanned or carried
    // out, which the index is written from; nullptr when none is kept.
    virtual ExactSyncRecorder *exactSyncRecorder() { return nullptr; }

    // --- Copy stages (the driver's purge stages around each session/task) --
    // Called by MainCopy: before a session's copy (reload the session's
    // task kind, exact, unlock, trash and permission flags), before each task
    // (reset its copy counters), after each task (`planIndex` is the task's
    // position in the plan, -1 when it has none), after each session.
    virtual void beforeCopySession(int sessionIndex) = 0;
    virtual void beforeCopyTask() = 0;
    virtual void afterCopyTask(int sessionPosition, int taskPosition, int planIndex) = 0;
    virtual void afterCopySession(int sessionIndex) = 0;
};

} // namespace qm
