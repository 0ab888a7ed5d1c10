#pragma once
// The spine of a run: started by one of three triggers, carried out on one
// worker thread, calling the stages in a fixed order and reaching the main
// thread only through the proxy. Only one run exists at a time.
#include "engine/MainThreadProxy.h"
#include "engine/RunFeedback.h"
#include "engine/RunErrors.h"
#include "engine/RunHost.h"
#include "engine/RunPlan.h"
#include "engine/RunStages.h"
#include "engine/RunState.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace qm {

class RunDriver : public QObject {
    Q_OBJECT
public:
    static constexpr int kSyncAndQuitSeconds = 10;

    RunDriver(RunHost &host, RunStages &stages, QObject *parent = nullptr);
    ~RunDriver() override;

    // Main thread: the Execute/Stop button.
    void TaskExecuteSyncOrBackup();
    // Main thread: a due timer asks to run session `session`; false while busy.
    bool startFromTimer(int session);
    // Main thread: the Sync And Quit countdown.
    void PrepareToExecuteSyncAndQuit();
    void ExecuteSyncAndQuit();
    void StopSyncAndQuit();
    // Starts the worker for `trigger` without countdown or confirmation
    // (an unattended run); false while a run is under way.
    bool startRun(RunTrigger trigger);
    // The user's stop (Stop button, a signal to the command-line runner).
    void requestStop() { m_flags.requestStop(); }
    // The user confirmed quitting during the run: stop, then quit after it.
    void requestQuitDuringRun();
    bool isRunning() const { return m_worker != nullptr; }
    // Blocks until the worker has ended (tests and shutdown).
    void waitForRun();

    // The whole run; on the worker thread.
    void ExecuteSyncBackup();

    // For the stages. The host only on the main thread: a call from any
    // other thread is a fault that ends the program at once.
    RunHost &host();
    // The run's signals to the windows; posting is allowed from any thread.
    RunFeedback &feedback() { return m_feedback; }
    MainThreadProxy &proxy() { return m_proxy; }
    RunErrors &errors() { return m_errors; }
    RunFlags &flags() { return m_flags; }
    const RunFlags &flags() const { return m_flags; }
    bool isCopying() const { return m_flags.isCopying; }
    RunTrigger executedBy() const { return m_executedBy; }
    // Nobody answers conflict questions (a timer or Sync And Quit run),
    // unless the questions say someone does (taken at the run's start).
    bool unattended() const { return m_executedBy != RunTrigger::Button && !m_conflictsAnswered; }
    // The document's sessions as the run took them at its start.
    const QVariantList &sessions() const { return m_sessions; }
    SessionSettings &settings() { return m_settings; }
    bool isMultiOn() const { return m_multiOn; }
    const QVariantMap &sessionDict() const { return m_sessionDict; }
    int sessionIndex() const { return m_sessionIndex; }
    int oldSessionIndex() const { return m_oldSessionIndex; }
    const QString &sourceFolder() const { return m_sourceFolder; }
    // The task's folders once validation resolved them: the task record,
    // the index and the backup dates then name what was really scanned.
    void setTaskFolders(const QString &source, const QString &dest)
    {
        m_sourceFolder = source;
        m_destFolder = dest;
    }
    const QString &destFolder() const { return m_destFolder; }
    int currentMultiIndex() const { return m_currentMultiIndex; }
    int totMulti() const { return m_totMulti; }
    int totMultiDone() const { return m_totMultiDone; }
    int totSessions() const { return m_totSessions; }
    int totSessionsDone() const { return m_totSessionsDone; }
    RunCounters &counters() { return m_counters; }
    QString &detailedLogText() { return m_detailedLogText; }
    QStringList &restoreBackupDateArray() { return m_restoreBackupDateArray; }
    QVariantList &executiveMultiArray() { return m_executiveMulti; }
    QVariantList &executiveFilterArray() { return m_executiveFilter; }
    QVariantList &executiveExcludeArray() { return m_executiveExclude; }
    RunRecords &records() { return m_records; }
    // The plan: filled by the scan, edited by the preview while the worker
    // waits for it, carried out by the copy, read by the index writer.
    RunPlan &plan() { return m_plan; }
    const RunPlan &plan() const { return m_plan; }
    const RunRecords &records() const { return m_records; }
    // The copy's bookkeeping, called by the stages' MainCopy around each
    // session and task (positions in records().logSessionArray).
    void PurgeBeforeScanAndCopyOneSession(int s);
    void PurgeBeforeCopyOneTask();
    // `planIndex`: the task's position in the plan, -1 when it planned nothing.
    void PurgeAfterCopyOneTask(int sessionPosition, int taskPosition, int planIndex = -1);
    void PurgeAfterCopyOneSession(int s);
    void countTaskDone() { ++m_totMultiDone; }

    // Rows of the session's multiple list that can be run.
    static QVariantList usableMultiRows(const QVariantMap &session);
    // The console's session is All Sessions.
    static bool isAllSessions(int sessionIndex, int sessionCount);

    // The countdown's clock, in milliseconds (tests give their own).
    void setClock(std::function<qint64()> now) { m_now = std::move(now); }

private:
    class HostQuestions;

    RunHost &m_host;
    RunStages &m_stages;
    MainThreadProxy m_proxy;
    RunFeedback m_feedback;
    std::unique_ptr<HostQuestions> m_questions;
    RunPlan m_plan;
    RunFlags m_flags;
    RunTrigger m_executedBy = RunTrigger::None;
    SessionSettings m_settings;
    bool m_multiOn = false;
    bool m_conflictsAnswered = false;
    QVariantMap m_sessionDict;
    QVariantList m_sessions; // snapshot taken at the run's start
    int m_sessionIndex = 0;
    int m_oldSessionIndex = -1;
    QString m_sourceFolder, m_destFolder;
    int m_currentMultiIndex = 0, m_totMulti = 0, m_totMultiDone = 0;
    int m_totSessions = 0, m_totSessionsDone = 0;
    RunCounters m_counters;
    QString m_detailedLogText;
    QStringList m_restoreBackupDateArray;
    QVariantList m_executiveMulti, m_executiveFilter, m_executiveExclude;
    QList<TaskRunRecord> m_logTaskArray;
    RunRecords m_records;
    RunErrors m_errors;
    QThread *m_worker = nullptr;
    QTimer m_countdown;
    qint64 m_countdownStart = 0;
    std::function<qint64()> m_now;
    int m_sessionToShowAfterRun = -1;

    void startWorker();
    void waitForWorker();
    void onWorkerFinished();
    quint8 ScanAllSessions();
    quint8 ScanOneSession(int s);
    quint8 ScanMultiTask(int s);
    quint8 scanTask(int s, int task);
    // Bookkeeping around the scan and the copy.
    void PurgeBeforeWholeSyncBackup();
    void PurgeBeforeScanOneSession(int s);
    void PurgeBeforeScanOneTask();
    void PurgeAfterScanOneTask(int task);
    void PurgeAfterScanOneSession(int s);
    void PurgeBeforeMainCopy();
    void PurgeAfterWholeSyncBackup();
    void ConcludeWholeSyncBackup();
    bool ShowPreview();
    void showCountdown(int secondsLeft);
    QVariantMap sessionAt(int s) const;
};

} // namespace qm
