#include "app/EngineStages.h"

#include "engine/ExactSyncIndex.h"
#include "engine/ExactSyncRecorder.h"
#include "engine/Executor.h"
#include "engine/FilterItemPolicy.h"
#include "engine/RunDriver.h"
#include "engine/Scanner.h"
#include "fs/LPUtilities.h"
#include "platform/CatalogDate.h"
#include "platform/FileName.h"
#include "platform/Messages.h"
#include "report/Mail.h"
#include "report/RunLog.h"
#include "scripts/ScriptHooks.h"
#include "volumes/AutoMountList.h"
#include "volumes/VolumeUtilities.h"

#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <utility>

#include <syslog.h>
#include <unordered_map>
#include <unistd.h>

namespace qm {
namespace {

LogSideCounters toLog(const SideCounters &c)
{
    LogSideCounters l;
    l.foldersScanned = c.foldersScanned;
    l.filesScanned = c.filesScanned;
    l.foldersCreated = c.foldersCreated;
    l.filesReplaced = c.filesReplaced;
    l.filesCopied = c.filesCopied;
    l.filesRenamed = c.filesRenamed;
    l.foldersDeleted = c.foldersDeleted;
    l.filesDeleted = c.filesDeleted;
    l.itemVisible = c.itemVisible;
    l.itemInvisible = c.itemInvisible;
    return l;
}

// The detailed texts move into the log, which is built in their buffers:
// nothing reads them from the records afterwards.
LogRun toLogRun(RunDriver &run)
{
    RunRecords &r = run.records();
    const QVariantList sessions = run.proxy().call([&run] { return run.host().sessionsArray(); });
    LogRun log;
    log.executedBy = int(run.executedBy());
    log.globalError = r.globalError;
    log.userPressedStop = run.flags().userPressedStop;
    log.terminateAfterSync = run.flags().terminateAfterSync;
    log.start = r.start.toLocalTime();
    log.end = r.end.toLocalTime();
    log.allSessions = RunDriver::isAllSessions(run.sessionIndex(), int(sessions.size()));
    log.preferences = run.proxy().call([&run] { return run.host().preferences(); });
    log.euidRoot = run.settings().euidRoot;
    log.modificationDelta = run.settings().modificationDelta;
    log.logFolder = log.preferences.value("prefPathLogFolder").toString();
    for (SessionRunRecord &s : r.logSessionArray) {
        LogSession ls;
        ls.sessionIndex = s.sessionIndex;
        ls.session = s.sessionIndex < sessions.size() ? sessions.at(s.sessionIndex).toMap() : QVariantMap();
        if (ls.session.value("multiOn").toInt() == 1)
            ls.executiveMultiArray = s.executiveMultiArray;
        if (ls.session.value("filterOn").toInt() == 1)
            ls.executiveFilterArray = s.executiveFilterArray;
        if (ls.session.value("excludeOn").toInt() == 1)
            ls.executiveExcludeArray = s.executiveExcludeArray;
        for (TaskRunRecord &t : s.tasks) {
            LogTask lt;
            lt.taskIndex = t.taskIndex;
            lt.sourceFolder = t.sourceFolder;
            lt.destFolder = t.destFolder;
            lt.a = toLog(t.counters.a);
            lt.b = toLog(t.counters.b);
            lt.totError = t.counters.totError;
            lt.detailedLogText = std::exchange(t.detailedLogText, QString());
            ls.tasks.append(std::move(lt));
        }
        log.sessions.append(std::move(ls));
    }
    return log;
}

class EngineStages : public RunStages, public RunContext {
public:
    explicit EngineStages(EngineConfig config) : m_config(std::move(config)), m_mounts(m_volumes) {}

    // RunStages
    void resetPlan(RunDriver &run) override
    {
        m_run = &run;
        m_itemsStarted = 0;
        m_mounted.clear();
        m_cannotMount.clear();
        m_keepRecords.clear();
        m_records.clear();
        m_scannedTasks.clear();
        m_anyTaskResolves = false;
        m_activeRecord = nullptr;
        m_policy = std::make_unique<FilterItemPolicy>(policyWiring());
        const QVariantList &sessions = run.sessions();
        const int current = run.sessionIndex();
        for (const ScriptRunError &e :
             m_scripts.GetExecutiveAppleScripts(sessions, RunDriver::isAllSessions(current, int(sessions.size())),
                                                current, run.isCopying()))
            sessionServiceError(e.text);
    }

    void beforeSessionScan(RunDriver &run, int session) override
    {
        m_run = &run;
        const QVariantMap s = run.sessionDict();
        const SessionVolumesReport mounted = m_mounts.MountAllVolumesForSession(s, hooks());
        m_mounted.insert(session);
        m_cannotMount += mounted.cannotMountPoints;
        volumeErrors(mounted);
        if (const auto e = m_scripts.ExecuteAppleScript(session, 1, ScriptContext::fromSession(s, session, int(run.executedBy()))))
            sessionServiceError(e->text);
        m_policy->loadSession(s);
        run.executiveFilterArray() = m_policy->filters().records();
        run.executiveExcludeArray() = QVariantList(m_policy->excludes().paths().cbegin(), m_policy->excludes().paths().cend());
    }

    quint8 ScanOneTask(RunDriver &run, int session, int task) override
    {
        m_run = &run;
        const SessionSettings &set = run.settings();
        std::unique_ptr<ExactSyncRecorder> record;
        if (set.isSyncOn && set.isExactOn)
            record = std::make_unique<ExactSyncRecorder>();
        m_activeRecord = record.get();
        Scanner scanner(*this);
        TaskScan scan = scanner.ScanOneTask(session, task, run.sourceFolder(), run.destFolder());
        m_activeRecord = nullptr;
        if (!scan.sourceFolder.isEmpty())
            run.setTaskFolders(scan.sourceFolder, scan.destFolder);
        noteScannedTask(run.sourceFolder(), run.destFolder(), set);
        if (record && record->started() && !scan.sourceFolder.isEmpty())
            m_records[pairKey(scan.sourceFolder, scan.destFolder)] = std::move(record);
        if (scan.keepRecords)
            m_keepRecords.insert(pairKey(run.sourceFolder(), run.destFolder()));
        if (scan.planned)
            run.plan().addTask(std::move(scan.root));
        return scan.verdict;
    }

    void MainCopy(RunDriver &run) override
    {
        m_run = &run;
        std::vector<SessionTasks> sessions;
        for (const SessionRunRecord &s : run.records().logSessionArray) {
            SessionTasks st;
            st.sessionIndex = s.sessionIndex;
            for (const TaskRunRecord &t : s.tasks)
                st.taskIndices.push_back(t.taskIndex);
            sessions.push_back(std::move(st));
        }
        Executor executor(*this);
        executor.MainCopy(sessions, run.plan().itemsToCopy);
    }

    void concludeTask(RunDriver &run, TaskRunRecord &task, bool userStopped) override
    {
        if (m_keepRecords.contains(pairKey(task.sourceFolder, task.destFolder)))
            return;
        const SessionSettings &set = run.settings();
        if (set.isSyncOn && set.isExactOn)
            writeIndex(run, task, userStopped);
        if (userStopped)
            return;
        const UTCDateTime start = UTCDateTime::fromDateTime(run.records().start);
        m_fs.SetBackupDateDitto(task.sourceFolder, start);
        m_fs.SetBackupDateDitto(task.destFolder, start);
    }

    void endRun(RunDriver &run) override
    {
        // Sessions whose copy never came (a stop, a refused pair) still have
        // their volumes given back.
        const QVariantList &sessions = run.sessions();
        for (int s : std::as_const(m_mounted))
            if (s < sessions.size())
                volumeErrors(m_mounts.UnmountAllVolumesForSession(sessions.at(s).toMap(), SessionRunHooks{}));
        m_mounted.clear();
    }

    QString MakeLog(RunDriver &run) override
    {
        LogStyle style;
        style.host = LogHost::current();
        return qm::MakeLog(toLogRun(run), style, &run.records().logFileName);
    }

    QString mailLog(RunDriver &run) override
    {
        const QVariantMap prefs = run.proxy().call([&run] { return run.host().preferences(); });
        const RunRecords &r = run.records();
        const MailResult mail = SendEmailTo(prefs, r.globalError, r.log);
        if (mail.ok())
            return QString();
        syslog(LOG_WARNING, "%s", mail.detail.toLocal8Bit().constData());
        return mailFailureReportLine();
    }

    // RunContext
    bool isCopying() const override { return m_run->isCopying(); }
    void requestUserStop() override { m_run->requestStop(); }
    bool reportRunError(const RunError &error) override { return m_run->errors().reportRunError(error); }
    void logSuccess(const QString &line) override
    {
        m_run->errors().setErrString(line);
        if (settings().makeDetailedLog)
            m_run->detailedLogText() += line + u'\r';
    }
    void appendDetailedLog(const QString &text) override { m_run->detailedLogText() += text; }
    void diagnostic(const QString &text) override
    {
        syslog(LOG_DEBUG, "%s", text.toLocal8Bit().constData());
    }
    bool isUnattended() const override { return m_run->unattended(); }
    ConflictReply askConflict(const ConflictQuestion &q) override
    {
        RunDriver *run = m_run;
        return run->proxy().call([run, &q] { return run->host().questions().askConflict(q); });
    }
    void setStatusText(const QString &text) override { m_run->feedback().postStatus(text); }
    void itemStarted() override
    {
        int &left = m_run->plan().counters.globalItemsToDo;
        --left;
        ++m_itemsStarted;
        m_run->feedback().postProgress(m_itemsStarted, m_itemsStarted + qMax(0, left));
    }
    void noteItemDone() override { m_run->records().atLeastOneItemDone = true; }
    void publishOperation(int copyMode, const QString &item, const QString &target) override
    {
        m_run->feedback().postCurrentItem(copyMode, item, CopyMode::isRemoval(copyMode) ? QString() : target);
    }
    void publishBytes(const QString &item, qint64 copied, qint64 total) override
    {
        m_run->feedback().postBytes(item, copied, total);
    }
    void showTask(const CopyItem &root) override
    {
        const SidePaths paths = root.pathsIn({});
        const auto record = m_records.find(pairKey(paths.source, paths.dest));
        m_activeRecord = record == m_records.end() ? nullptr : record->second.get();
        m_run->feedback().postTask(root.sessionIndex, paths.source, paths.dest);
    }
    ExactSyncRecorder *exactSyncRecorder() override { return m_activeRecord; }
    QDateTime runStart() const override { return m_run->records().start; }
    const SessionSettings &settings() const override { return m_run->settings(); }
    RunCounters &counters() override { return m_run->counters(); }
    PlanCounters &planCounters() override { return m_run->plan().counters; }
    QStringList &restoreBackupDates() override { return m_run->restoreBackupDateArray(); }
    ItemPolicy &itemPolicy() override { return *m_policy; }
    void beforeCopySession(int sessionIndex) override
    {
        m_run->PurgeBeforeScanAndCopyOneSession(sessionIndex);
    }
    void beforeCopyTask() override { m_run->PurgeBeforeCopyOneTask(); }
    void afterCopyTask(int sessionPosition, int taskPosition, int planIndex) override
    {
        m_activeRecord = nullptr;
        // A stopped copy is not a bootable one.
        if (m_run->isCopying())
            blessIfStartupDiskCopy(m_run->sourceFolder(), m_run->destFolder());
        if (m_run->isCopying())
            m_run->countTaskDone();
        m_run->PurgeAfterCopyOneTask(sessionPosition, taskPosition, planIndex);
    }
    void afterCopySession(int sessionIndex) override
    {
        afterSessionServices(sessionIndex);
        m_run->PurgeAfterCopyOneSession(sessionIndex);
    }

private:
    EngineConfig m_config;
    RunDriver *m_run = nullptr;
    std::unique_ptr<FilterItemPolicy> m_policy;
    LPUtilities m_fs;
    VolumeUtilities m_volumes;
    AutoMountList m_mounts;
    ScriptHooks m_scripts;
    QSet<int> m_mounted;
    QStringList m_cannotMount;
    QSet<QString> m_keepRecords; // pairKey of tasks refused before their walk
    // What each exact synchronization of the run recorded for its index.
    struct PathHash {
        size_t operator()(const QString &s) const { return qHash(s); }
    };
    std::unordered_map<QString, std::unique_ptr<ExactSyncRecorder>, PathHash> m_records;
    ExactSyncRecorder *m_activeRecord = nullptr; // of the task being scanned or copied
    struct ScannedTask {
        QString source; // real paths
        QString dest;
    };
    std::vector<ScannedTask> m_scannedTasks;
    bool m_anyTaskResolves = false; // some task follows links or aliases anywhere
    int m_itemsStarted = 0;

    static QString pairKey(const QString &source, const QString &dest) { return source + QChar(0) + dest; }

    FilterItemPolicyWiring policyWiring()
    {
        FilterItemPolicyWiring w;
        w.settings = &m_run->settings();
        w.indexFolder = m_config.indexFolder;
        w.ownFolders = m_config.ownFolders;
        w.reportError = [this](const QString &message) {
            m_run->errors().setErrString(message);
            return m_run->errors().AddErrQuickly(PolicyUseInForce);
        };
        w.isOnUnmountedVolume = [this](const QString &path) {
            return AutoMountList::IsOnUmountedVolume(m_cannotMount, path);
        };
        w.canVolumeManageOwnership = [](const QString &path) {
            return VolumeUtilities::CanVolumeManageOwnership(path);
        };
        return w;
    }

    SessionRunHooks hooks()
    {
        RunDriver *run = m_run;
        return SessionRunHooks{[run] { return run->isCopying(); },
                               [run](const QString &text) { run->feedback().postStatus(text); }};
    }

    // A copy of the whole start-up disk onto another volume's root is made
    // bootable only by a command the user named (prefBlessCommand): this
    // program never touches a boot loader by itself, and never claims a
    // blessing that did not happen.
    void blessIfStartupDiskCopy(const QString &source, const QString &dest)
    {
        if (source != u"/" || dest.isEmpty() || m_fs.GetVolumePathname(dest) != dest)
            return;
        const QString command = m_run->proxy().call(
            [run = m_run] { return run->host().preferences().value("prefBlessCommand").toString(); });
        QString line;
        if (command.isEmpty() || !QFileInfo(command).isExecutable()) {
            line = GLS("The destination volume was not made bootable: no blessing command is set.");
        } else {
            QProcess p;
            p.start(command, {dest});
            const bool ran = p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit;
            if (ran && p.exitCode() == 0)
                line = GLS("The destination volume was made bootable.");
            else {
                diagnostic(QStringLiteral("blessingDestDisk = %1").arg(ran ? p.exitCode() : -1));
                line = GLS("The destination volume was not made bootable: the blessing command failed.");
            }
        }
        logSuccess(line + QStringLiteral(" \"") + dest + u'"');
    }

    // An error of a session service belongs to no task: counted for the run.
    void sessionServiceError(const QString &text)
    {
        ++m_run->records().errorsOutsideTasks;
        RunDriver *run = m_run;
        run->proxy().call([run, &text] { return run->errors().ManageTheError(text, PolicyUseInForce); });
    }

    void volumeErrors(const SessionVolumesReport &report)
    {
        if (report.errorCount <= 0)
            return;
        m_run->records().errorsOutsideTasks += report.errorCount - 1;
        sessionServiceError(report.errorText);
    }

    void afterSessionServices(int session)
    {
        const QVariantMap s = m_run->sessions().value(session).toMap();
        ScriptContext ctx = ScriptContext::fromSession(s, session, int(m_run->executedBy()));
        ctx.errorCount = sessionErrors(session);
        if (const auto e = m_scripts.ExecuteAppleScript(session, 2, ctx))
            sessionServiceError(e->text);
        if (m_mounted.remove(session))
            volumeErrors(m_mounts.UnmountAllVolumesForSession(s, hooks()));
    }

    int sessionErrors(int session) const
    {
        int n = 0;
        for (const SessionRunRecord &s : m_run->records().logSessionArray)
            if (s.sessionIndex == session)
                for (const TaskRunRecord &t : s.tasks)
                    n += t.counters.totError;
        return n;
    }

    // An index error belongs to its task: logged and counted there, and
    // put to the error policy.
    void indexError(RunDriver &run, TaskRunRecord &task, const QString &logLine, const QString &message)
    {
        ++task.counters.totError;
        if (run.settings().makeDetailedLog || run.settings().makeErrorsLog)
            task.detailedLogText += logLine;
        run.proxy().call([&run, &message] { return run.errors().ManageTheError(message, PolicyUseInForce); });
    }

    static QString realPath(const QString &path)
    {
        const QString real = canonicalPath(path);
        return real.isEmpty() ? path : real;
    }
    static bool overlaps(const QString &x, const QString &y)
    {
        auto within = [](const QString &inner, const QString &outer) {
            return inner == outer || outer == u"/"
                   || (inner.startsWith(outer) && inner.size() > outer.size() && inner[outer.size()] == u'/');
        };
        return within(x, y) || within(y, x);
    }
    void noteScannedTask(const QString &source, const QString &dest, const SessionSettings &set)
    {
        m_scannedTasks.push_back({realPath(source), realPath(dest)});
        m_anyTaskResolves = m_anyTaskResolves || set.isResolveSymLinkOn || set.isResolveAliasOn;
    }
    // A task's record tells what its folders hold only when no other task
    // of the run could have changed them after its scan.
    bool changedByThisTaskAlone(const QString &source, const QString &dest) const
    {
        if (m_anyTaskResolves && m_scannedTasks.size() > 1)
            return false;
        const QString s = realPath(source), d = realPath(dest);
        int touching = 0;
        for (const ScannedTask &t : m_scannedTasks) {
            if (overlaps(t.source, s) || overlaps(t.source, d) || overlaps(t.dest, s) || overlaps(t.dest, d))
                ++touching;
        }
        return touching == 1;
    }

    void writeIndex(RunDriver &run, TaskRunRecord &task, bool userStopped)
    {
        const ExactSyncIndexStore store(m_config.indexFolder);
        std::unique_ptr<ExactSyncRecorder> record;
        if (const auto it = m_records.find(pairKey(task.sourceFolder, task.destFolder)); it != m_records.end()) {
            record = std::move(it->second);
            m_records.erase(it);
        }
        if (userStopped) {
            // The old index no longer tells what the folders held if the
            // stopped copy changed anything: without it the next run copies
            // both ways instead of taking a new item for a deleted one.
            const SideCounters &a = task.counters.a, &b = task.counters.b;
            const int changes = a.foldersCreated + a.filesCopied + a.filesReplaced + a.foldersDeleted
                                + a.filesDeleted + a.foldersTrashed + a.filesTrashed + b.foldersCreated
                                + b.filesCopied + b.filesReplaced + b.foldersDeleted + b.filesDeleted
                                + b.foldersTrashed + b.filesTrashed;
            if (changes > 0 && !store.forget(task.sourceFolder, task.destFolder)) {
                const QString text = GLS("Can't update the ExactSync MainIndex File") + " \""
                                     + store.mainIndexPath() + "\"";
                indexError(run, task, QStringLiteral("\u221A ") + text + u'\r', text);
            }
            return;
        }
        ExactSyncWriteRequest request;
        if (record && changedByThisTaskAlone(task.sourceFolder, task.destFolder))
            request.recorded = record.get();
        request.source = task.sourceFolder;
        request.dest = task.destFolder;
        request.runStart = run.records().start;
        request.addToExactIndex = task.addToExactIndexArray;
        request.restoreBackupDates = task.restoreBackupDateArray;
        request.runCompleted = true;
        request.onBuildingTrees = [&run] {
            run.feedback().postPhase(RunFeedback::Phase::WritingIndex);
            run.feedback().postStatus(GLS("Creating Exact Sync Index…"));
        };
        const ExactSyncWriteResult written = store.write(request);
        if (written.failed())
            indexError(run, task, written.logLine, written.errorMessage);
    }
};

} // namespace

std::unique_ptr<RunStages> makeEngineStages(const EngineConfig &config)
{
    return std::make_unique<EngineStages>(config);
}

} // namespace qm
