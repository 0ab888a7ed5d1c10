#pragma once
// The stages a run calls at their places: the scanner, the executor, the
// index writer, the session services and the log composer.
#include <QString>

namespace qm {

class RunDriver;
struct TaskRunRecord;

class RunStages {
public:
    virtual ~RunStages() = default;

    // The run starts: the plan and the stages' own run state are emptied.
    virtual void resetPlan(RunDriver &run) = 0;
    // Session services before a session's first task is scanned (volumes
    // mounted, start script, executive filter and exclude lists).
    virtual void beforeSessionScan(RunDriver &run, int session) { (void)run; (void)session; }
    // Scans one task into the run's plan; answers the scan verdict (0 = no copy).
    virtual quint8 ScanOneTask(RunDriver &run, int session, int task) = 0;
    // Carries out the plan: every session and task of the run's records, in
    // order, with the driver's copy bookkeeping around each.
    virtual void MainCopy(RunDriver &run) = 0;
    // After the run, for every task: the Exact Sync index of an exact
    // synchronization and the backup dates of both top folders, which a run
    // the user stopped must leave as they were. Errors met here are the
    // task's: counted in its record and written to its detailed log.
    virtual void concludeTask(RunDriver &run, TaskRunRecord &task, bool userStopped)
    {
        (void)run;
        (void)task;
        (void)userStopped;
    }
    // The run's copy is over (or never happened): what the session services
    // left to undo is undone (volumes still mounted are unmounted).
    virtual void endRun(RunDriver &run) { (void)run; }
    // The whole log text ("\r" line ends).
    virtual QString MakeLog(RunDriver &run) = 0;
    // Mails the saved log when the preferences ask for it; on the worker.
    // Answers the report's line when mailing failed, "" otherwise.
    virtual QString mailLog(RunDriver &run) { (void)run; return QString(); }
};

} // namespace qm
