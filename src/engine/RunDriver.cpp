#include "engine/RunDriver.h"

#include "engine/Confirmation.h"
#include "engine/ExcludeList.h"
#include "platform/Messages.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QThread>

#include <unistd.h>

namespace qm {

// The error policy asks through the host's questions, looked up at each
// question so that the host may change who answers between runs.
class RunDriver::HostQuestions : public RunQuestions {
public:
    explicit HostQuestions(RunDriver &run) : m_run(run) {}
    bool confirmRun(const RunConfirmation &c) override { return q().confirmRun(c); }
    ErrorChoice errorAlert(const ErrorAlert &a) override { return q().errorAlert(a); }
    ConflictReply askConflict(const ConflictQuestion &c) override { return q().askConflict(c); }
    bool showPreview(RunPlan &plan) override { return q().showPreview(plan); }
    void beep() override { q().beep(); }

private:
    RunQuestions &q() { return m_run.host().questions(); }
    RunDriver &m_run;
};

RunDriver::RunDriver(RunHost &host, RunStages &stages, QObject *parent)
    : QObject(parent),
      m_host(host),
      m_stages(stages),
      m_questions(std::make_unique<HostQuestions>(*this)),
      m_errors(RunErrors::Wiring{&m_flags, &m_counters, &m_detailedLogText, &m_settings,
                                 &m_executedBy, m_questions.get(), &m_proxy,
                                 [this] { return this->host().preferences().value("prefOnError", 3).toInt(); }}),
      m_now([] { return QDateTime::currentMSecsSinceEpoch(); })
{
    m_countdown.setInterval(1000);
    connect(&m_countdown, &QTimer::timeout, this, &RunDriver::ExecuteSyncAndQuit);
}

RunDriver::~RunDriver()
{
    if (m_worker) {
        m_flags.isCopying = false;
        waitForWorker();
        delete m_worker;
    }
}

RunHost &RunDriver::host()
{
    if (QThread::currentThread() != thread())
        qFatal("RunDriver: the run's host was called outside the main thread");
    return m_host;
}

bool RunDriver::isAllSessions(int sessionIndex, int sessionCount)
{
    return sessionIndex == sessionCount + 1;
}

QVariantList RunDriver::usableMultiRows(const QVariantMap &session)
{
    FolderPairList list;
    list.CountMultiValid(session);
    return list.records();
}

QVariantMap RunDriver::sessionAt(int s) const
{
    return s >= 0 && s < m_sessions.size() ? m_sessions.at(s).toMap() : QVariantMap();
}

// ---- Triggers (main thread) ----

void RunDriver::TaskExecuteSyncOrBackup()
{
    if (m_flags.isStartingSyncAndQuit) {
        StopSyncAndQuit();
        return;
    }
    if (isRunning()) {
        requestStop();
        return;
    }
    const QVariantList sessions = host().sessionsArray();
    const int index = host().documentSessionIndex();
    ConfirmationRequest request;
    request.executedBy = RunTrigger::Button;
    request.prefAskConfirmation = host().preferences().value("prefAskConfirmation", 1).toInt();
    request.allSessions = isAllSessions(index, int(sessions.size()));
    request.session = index >= 0 && index < sessions.size() ? sessions.at(index).toMap() : QVariantMap();
    if (!AreYouSure(request, host().questions()))
        return;
    startRun(RunTrigger::Button);
}

bool RunDriver::startFromTimer(int session)
{
    if (isRunning() || m_flags.isCopying)
        return false;
    m_oldSessionIndex = host().documentSessionIndex();
    m_sessionIndex = session;
    m_executedBy = RunTrigger::Timer;
    m_sessionToShowAfterRun = m_oldSessionIndex;
    startWorker();
    m_feedback.moveToSession(session);
    return true;
}

bool RunDriver::startRun(RunTrigger trigger)
{
    if (isRunning() || m_flags.isCopying)
        return false;
    m_executedBy = trigger;
    startWorker();
    return true;
}

void RunDriver::startWorker()
{
    // Marked at once so that a second trigger is refused before the worker runs.
    m_flags.isCopying = true;
    m_feedback.runBegins(m_executedBy);
    m_worker = QThread::create([this] { ExecuteSyncBackup(); });
    connect(m_worker, &QThread::finished, this, &RunDriver::onWorkerFinished);
    m_worker->start();
}

void RunDriver::onWorkerFinished()
{
    if (!m_worker)
        return;
    m_worker->wait();
    m_worker->deleteLater();
    m_worker = nullptr;
    if (m_sessionToShowAfterRun >= 0)
        m_feedback.moveToSession(std::exchange(m_sessionToShowAfterRun, -1));
    m_feedback.runEnds();
}

void RunDriver::waitForWorker()
{
    // The worker may be waiting for the main thread: keep serving it.
    while (!m_worker->wait(10))
        QCoreApplication::processEvents();
}

void RunDriver::waitForRun()
{
    if (m_worker)
        waitForWorker();
    onWorkerFinished();
}

void RunDriver::requestQuitDuringRun()
{
    m_flags.terminateAfterSync = true;
    m_flags.isCopying = false;
}

void RunDriver::PrepareToExecuteSyncAndQuit()
{
    m_flags.isStartingSyncAndQuit = true;
    m_flags.isExecutingSyncAndQuit = false;
    m_executedBy = RunTrigger::SyncAndQuit;
    m_countdownStart = m_now();
    showCountdown(kSyncAndQuitSeconds);
    m_countdown.start();
}

void RunDriver::ExecuteSyncAndQuit()
{
    if (!m_flags.isStartingSyncAndQuit)
        return;
    const int remaining = int(kSyncAndQuitSeconds - (m_now() - m_countdownStart) / 1000.0);
    if (remaining > 0) {
        showCountdown(remaining);
        return;
    }
    m_countdown.stop();
    m_flags.isStartingSyncAndQuit = false;
    m_flags.isExecutingSyncAndQuit = true;
    m_feedback.countdownTick(0);
    startRun(RunTrigger::SyncAndQuit);
}

void RunDriver::StopSyncAndQuit()
{
    const bool wasCounting = m_flags.isStartingSyncAndQuit;
    m_countdown.stop();
    m_flags.isStartingSyncAndQuit = false;
    m_flags.isExecutingSyncAndQuit = false;
    if (wasCounting) {
        m_feedback.postStatus(QString());
        m_feedback.countdownStopped();
    }
}

void RunDriver::showCountdown(int secondsLeft)
{
    m_feedback.postStatus(GLS("Starting Sync And Quit in %d seconds...").replace("%d", QString::number(secondsLeft)));
    m_feedback.countdownTick(secondsLeft);
}

// ---- The run (worker thread) ----

void RunDriver::ExecuteSyncBackup()
{
    m_flags.wasTimerOn = m_proxy.call([this] { return host().TimerSyncEnabled(false); });
    m_proxy.call([this] { PurgeBeforeWholeSyncBackup(); });

    const int remembered = m_sessionIndex;
    const quint8 verdict = isAllSessions(m_sessionIndex, int(m_sessions.size())) ? ScanAllSessions()
                                                                               : ScanOneSession(m_sessionIndex);
    m_sessionIndex = remembered;

    bool abandoned = false;
    if (m_flags.isCopying && verdict != 0) {
        const bool wantsPreview = m_plan.taskCount() > 0 && m_executedBy == RunTrigger::Button
                                  && m_proxy.call([this] { return host().preferences().value("prefPreview").toInt(); }) != 0;
        if (wantsPreview && !m_proxy.call([this] { return ShowPreview(); })) {
            // A stop in the preview is the user's stop: nothing was copied, so
            // no index and no backup date may be written for this run.
            abandoned = true;
            m_records.abandonedInPreview = true;
            m_flags.requestStop();
        }
        if (!abandoned) {
            m_feedback.postPhase(RunFeedback::Phase::Copying);
            if (m_plan.counters.globalItemsToDo > 0)
                m_proxy.call([this] { PurgeBeforeMainCopy(); });
            m_totSessionsDone = 0;
            m_stages.MainCopy(*this);
        }
    }
    PurgeAfterWholeSyncBackup();
    m_feedback.postPhase(RunFeedback::Phase::Finishing);
    if (!abandoned) {
        m_records.log = m_stages.MakeLog(*this);
        m_proxy.call([this] { host().SaveLogFileToDisk(*this); });
        // Here on the worker, so that a slow mail server never holds up the
        // windows; the report of the conclusion then tells a failure.
        m_records.mailFailure = m_stages.mailLog(*this);
    }
    m_proxy.call([this] { ConcludeWholeSyncBackup(); });
    if (m_executedBy == RunTrigger::Timer)
        m_proxy.call([this] { host().SchedulingTimerDone(*this); });
    m_oldSessionIndex = -1;
    bool quit = false;
    if (m_flags.isExecutingSyncAndQuit && !m_flags.userPressedStop) {
        m_flags.isExecutingSyncAndQuit = false;
        quit = true;
    }
    if (m_flags.terminateAfterSync)
        quit = true;
    if (quit)
        m_proxy.call([this] { host().terminateApplication(); });
}

bool RunDriver::ShowPreview()
{
    m_feedback.postPhase(RunFeedback::Phase::Preview);
    m_feedback.postStatus(GLS("Preview…"));
    return host().questions().showPreview(m_plan);
}

quint8 RunDriver::ScanAllSessions()
{
    m_totSessions = int(m_sessions.size());
    m_totSessionsDone = 0;
    quint8 verdict = 1;
    for (int s = 0; s < m_totSessions; ++s) {
        verdict = ScanOneSession(s);
        if (!m_flags.isCopying)
            break;
    }
    return verdict;
}

quint8 RunDriver::ScanOneSession(int s)
{
    m_proxy.call([this, s] { PurgeBeforeScanOneSession(s); });
    quint8 verdict = 1;
    if (m_flags.isCopying) {
        m_stages.beforeSessionScan(*this, s);
        if (!m_flags.isCopying) {
            verdict = 1;
        } else if (m_multiOn) {
            verdict = ScanMultiTask(s);
        } else {
            m_sourceFolder = m_sessionDict.value("topFolder").toString();
            m_destFolder = m_sessionDict.value("bottomFolder").toString();
            m_totMulti = 1;
            m_totMultiDone = 0;
            verdict = scanTask(s, 0);
        }
    }
    PurgeAfterScanOneSession(s);
    return verdict;
}

quint8 RunDriver::ScanMultiTask(int s)
{
    m_totMultiDone = 0;
    m_executiveMulti = usableMultiRows(m_sessionDict);
    m_totMulti = int(m_executiveMulti.size());
    quint8 verdict = 1;
    for (int i = 0; i < m_totMulti; ++i) {
        const QVariantMap row = m_executiveMulti.at(i).toMap();
        m_sourceFolder = row.value("source").toString();
        m_destFolder = row.value("destination").toString();
        m_currentMultiIndex = i + 1;
        verdict = scanTask(s, i);
        if (!m_flags.isCopying)
            break;
    }
    return verdict;
}

quint8 RunDriver::scanTask(int s, int task)
{
    PurgeBeforeScanOneTask();
    const quint8 verdict = m_stages.ScanOneTask(*this, s, task);
    PurgeAfterScanOneTask(task);
    return verdict;
}

// ---- Bookkeeping ----

void RunDriver::PurgeBeforeWholeSyncBackup()
{
    m_flags.isCopying = true;
    m_flags.userPressedStop = false;
    m_flags.terminateAfterSync = false;
    m_sessions = host().sessionsArray();
    if (m_oldSessionIndex < 0)
        m_sessionIndex = host().documentSessionIndex();
    m_conflictsAnswered = host().questions().answersUnattendedConflicts();
    m_records = RunRecords{};
    m_records.start = QDateTime::currentDateTimeUtc();
    m_plan.clear();
    m_settings.loadPreferences(host().preferences());
    m_settings.euidRoot = geteuid() == 0;
    m_stages.resetPlan(*this);
    m_feedback.postPhase(RunFeedback::Phase::Scanning);
    m_feedback.postStatus(GLS("Scanning Folders…"));
}

void RunDriver::PurgeBeforeScanOneSession(int s)
{
    m_sessionDict = sessionAt(s);
    m_logTaskArray.clear();
    m_multiOn = m_sessionDict.value("multiOn").toInt() == 1;
    m_executiveMulti.clear();
    m_executiveFilter.clear();
    m_executiveExclude.clear();
    m_settings.loadSession(m_sessionDict);
}

void RunDriver::PurgeBeforeScanAndCopyOneSession(int s)
{
    m_sessionDict = sessionAt(s);
    m_settings.loadSession(m_sessionDict);
}

void RunDriver::PurgeBeforeScanOneTask()
{
    m_counters = RunCounters{};
    m_detailedLogText.clear();
    m_restoreBackupDateArray.clear();
}

void RunDriver::PurgeAfterScanOneTask(int task)
{
    TaskRunRecord record;
    record.taskIndex = task;
    record.sourceFolder = m_sourceFolder;
    record.destFolder = m_destFolder;
    record.counters = m_counters;
    record.detailedLogText = m_detailedLogText;
    record.restoreBackupDateArray = m_restoreBackupDateArray;
    m_logTaskArray.append(record);
    m_detailedLogText.clear();
    m_restoreBackupDateArray.clear();
    m_plan.counters.globalItemsToDo += m_counters.itemsToDo;
    m_records.globalItemsScanned += m_counters.a.foldersScanned + m_counters.a.filesScanned
                                    + m_counters.b.foldersScanned + m_counters.b.filesScanned;
    m_records.globalConflictsSkipped += m_counters.conflictsSkipped;
}

void RunDriver::PurgeAfterScanOneSession(int s)
{
    SessionRunRecord record;
    record.sessionIndex = s;
    record.tasks = m_logTaskArray;
    if (m_multiOn)
        record.executiveMultiArray = m_executiveMulti;
    if (m_settings.isFilterOn)
        record.executiveFilterArray = m_executiveFilter;
    if (m_settings.isExcludeOn)
        record.executiveExcludeArray = m_executiveExclude;
    m_records.logSessionArray.append(record);
    m_logTaskArray.clear();
}

void RunDriver::PurgeBeforeMainCopy()
{
    m_feedback.postProgress(0, m_plan.counters.globalItemsToDo);
}

void RunDriver::PurgeBeforeCopyOneTask()
{
    const RunCounters scanned = m_counters;
    m_counters = RunCounters{};
    m_counters.a.foldersScanned = scanned.a.foldersScanned;
    m_counters.a.filesScanned = scanned.a.filesScanned;
    m_counters.b.foldersScanned = scanned.b.foldersScanned;
    m_counters.b.filesScanned = scanned.b.filesScanned;
    m_detailedLogText.clear();
}

void RunDriver::PurgeAfterCopyOneTask(int sessionPosition, int taskPosition, int planIndex)
{
    if (sessionPosition < 0 || sessionPosition >= m_records.logSessionArray.size())
        return;
    SessionRunRecord &session = m_records.logSessionArray[sessionPosition];
    if (taskPosition < 0 || taskPosition >= session.tasks.size())
        return;
    TaskRunRecord &task = session.tasks[taskPosition];
    // The scan's counters stay; the copy's are stored beside them.
    RunCounters merged = task.counters;
    merged.a = m_counters.a;
    merged.b = m_counters.b;
    merged.a.foldersScanned = task.counters.a.foldersScanned;
    merged.a.filesScanned = task.counters.a.filesScanned;
    merged.b.foldersScanned = task.counters.b.foldersScanned;
    merged.b.filesScanned = task.counters.b.filesScanned;
    merged.totError = task.counters.totError + m_counters.totError;
    task.counters = merged;
    task.detailedLogText += m_detailedLogText;
    m_detailedLogText.clear();
    // What the preview kept of the deletions it switched off goes with the
    // task to its index.
    if (m_settings.isSyncOn && m_settings.isExactOn && planIndex >= 0
        && planIndex < int(m_plan.addToExactIndex.size()))
        task.addToExactIndexArray = m_plan.addToExactIndex[size_t(planIndex)];
}

void RunDriver::PurgeAfterCopyOneSession(int)
{
    if (m_flags.isCopying)
        ++m_totSessionsDone;
}

void RunDriver::PurgeAfterWholeSyncBackup()
{
    if (m_oldSessionIndex >= 0)
        m_sessionIndex = m_oldSessionIndex;
    m_records.end = QDateTime::currentDateTimeUtc();
    m_stages.endRun(*this);
    // The totals are taken after the indexes are written: a failed index
    // is an error of its task like any other.
    int tasksErrors = 0;
    for (SessionRunRecord &session : m_records.logSessionArray) {
        PurgeBeforeScanAndCopyOneSession(session.sessionIndex);
        session.totError = 0;
        for (TaskRunRecord &task : session.tasks) {
            m_stages.concludeTask(*this, task, m_flags.userPressedStop);
            session.totError += task.counters.totError;
        }
        tasksErrors += session.totError;
    }
    m_records.globalError = m_records.errorsOutsideTasks + tasksErrors;
}

void RunDriver::ConcludeWholeSyncBackup()
{
    host().runConcluded(*this);
    if (m_flags.wasTimerOn)
        host().TimerSyncEnabled(true);
    if (host().preferences().value("prefBeepWhenDone").toInt() != 0)
        host().questions().beep();
    m_flags.isCopying = false;
}

} // namespace qm
