#include "app/AppController.h"

#include "app/EngineStages.h"
#include "app/Preferences.h"
#include "app/SessionDocument.h"
#include "report/LogFiles.h"
#include "schedule/Clock.h"
#include "schedule/ScheduleHost.h"


namespace qm {

namespace {

// Nobody to ask: every question is answered the way that changes nothing.
class NoDocumentQuestions : public DocumentQuestions {
public:
    void warn(AlertKind, const QString &) override {}
    bool confirm(const QString &) override { return false; }
    SaveAnswer askSaveChanges(const QString &, const QString &) override { return SaveAnswer::Cancel; }
    QString chooseDocumentToOpen(const QString &) override { return QString(); }
    QString chooseSavePath(const QString &, const QString &) override { return QString(); }
    bool askSessionName(QString *, const std::function<NameCheck(const QString &)> &) override { return false; }
};

} // namespace

class AppController::ScheduleHostAdapter : public ScheduleHost {
public:
    explicit ScheduleHostAdapter(AppController &c) : m_c(c) {}
    QVariantList sessions() const override { return m_c.sessionsArray(); }
    int sessionIndex() const override { return m_c.documentSessionIndex(); }
    bool syncAndQuit() const override { return m_c.m_app.prefs.value("prefSyncAndQuit").toInt() != 0; }
    bool isRunUnderway() const override { return m_c.m_run && m_c.m_run->isRunning(); }
    bool consoleShown() const override { return m_c.m_consoleShown; }

private:
    AppController &m_c;
};

// The schedule follows the document; the windows' own hooks come after.
class AppController::Hooks : public DocumentHooks {
public:
    explicit Hooks(AppController &c) : m_c(c) {}
    bool stopTimerCheck() override
    {
        m_decided = false;
        return m_c.m_schedule->setCheckEnabled(false);
    }
    // Showing the console again after a change decides anew, and that
    // decision stands over the plain restart.
    void restartTimerCheck() override
    {
        if (!m_decided)
            m_c.m_schedule->setCheckEnabled(true);
    }
    void documentReplaced() override
    {
        m_decided = m_c.scheduleFollowsDocument();
        if (m_c.m_windowHooks)
            m_c.m_windowHooks->documentReplaced();
    }
    void documentRenamed() override
    {
        if (m_c.m_windowHooks)
            m_c.m_windowHooks->documentRenamed();
    }
    void documentLetGo(bool windowClosing) override
    {
        m_c.m_schedule->setCheckEnabled(false);
        if (m_c.m_windowHooks)
            m_c.m_windowHooks->documentLetGo(windowClosing);
    }
    void sessionsChanged() override
    {
        m_decided = m_c.scheduleFollowsDocument();
        if (m_c.m_windowHooks)
            m_c.m_windowHooks->sessionsChanged();
    }

private:
    AppController &m_c;
    bool m_decided = false;
};

AppController::AppController(StartedApp app, RunQuestions &questions, std::unique_ptr<RunStages> stages,
                             DocumentQuestions *documentQuestions, const Clock *clock, QObject *parent)
    : QObject(parent),
      m_app(std::move(app)),
      m_questions(&questions),
      m_stages(std::move(stages))
{
    if (!documentQuestions) {
        m_ownQuestions = std::make_unique<NoDocumentQuestions>();
        documentQuestions = m_ownQuestions.get();
    }
    if (!clock) {
        m_ownClock = std::make_unique<SystemClock>();
        clock = m_ownClock.get();
    }
    m_scheduleHost = std::make_unique<ScheduleHostAdapter>(*this);
    m_schedule = std::make_unique<ScheduleMonitor>(*clock, *m_scheduleHost);
    m_hooks = std::make_unique<Hooks>(*this);
    auto busy = [this] { return m_run && m_run->isRunning(); };
    m_life = std::make_unique<DocumentLifecycle>(m_app.paths, m_app.templateDocument, *documentQuestions,
                                                 m_hooks.get(), busy);
    m_sessions = std::make_unique<SessionCommands>(m_life->document(), *documentQuestions, m_hooks.get(), busy);
    m_privilegeChange = std::make_unique<PrivilegeChange>(&m_app.prefs, m_app.identity.isRoot());
    if (!m_stages) {
        const AppPaths &p = m_app.paths;
        const QString logFolder = m_app.prefs.value("prefPathLogFolder").toString();
        QStringList own{p.supportFolder, p.exactSyncIndexFolder, p.prefFolder};
        if (!logFolder.isEmpty())
            own << logFolder;
        m_stages = makeEngineStages(EngineConfig{p.exactSyncIndexFolder, own});
    }
    m_run = std::make_unique<RunDriver>(*this, *m_stages);
    // A due entry starts the same run as the Execute button, as a timer run.
    m_schedule->setRunStarter([this](int session, int, int) { return m_run->startFromTimer(session); });
}

AppController::~AppController()
{
    // The worker uses the stages and calls back here: it must end first.
    m_run.reset();
}

bool AppController::setQuestions(RunQuestions &questions)
{
    if (m_run->isRunning())
        return false;
    m_questions = &questions;
    return true;
}

void AppController::setConsolePanelShown(bool shown)
{
    m_consoleShown = shown;
    if (shown)
        m_schedule->consolePanelShown();
    else
        m_schedule->setCheckEnabled(false);
}

bool AppController::scheduleFollowsDocument()
{
    // While another panel is shown the check stays off; showing the console
    // decides anew.
    if (!m_consoleShown || m_run->isRunning())
        return false;
    m_schedule->consolePanelShown();
    return true;
}

void AppController::finishLaunching()
{
    m_life->finishLaunching();
    if (m_app.prefs.value("prefSyncAndQuit").toInt() != 0 && !m_run->isRunning())
        m_run->PrepareToExecuteSyncAndQuit();
}

bool AppController::openDocument(const QString &path, QString *message)
{
    // The command-line runner opens its document right away; the desktop
    // program only after its launch has ended.
    m_life->finishLaunching();
    // The reading's own detail (file and line) helps where no alert is shown.
    const DocumentReadResult r = SessionDocument::ReadFileSession(path, m_app.paths.templateFile);
    if (!r.ok) {
        if (message)
            *message = r.detail.isEmpty() ? r.message : r.message + QStringLiteral(" (") + r.detail + u')';
        return false;
    }
    const DocumentLifecycle::OpenResult opened = m_life->openFile(path);
    if (!opened.ok && message)
        *message = opened.message;
    return opened.ok;
}

bool AppController::setSessionIndex(int index)
{
    const int n = m_sessions->sessionCount();
    if (m_run->isRunning() || !((index >= 0 && index < n) || index == n + 1))
        return false;
    const SessionCommandResult r = index == n + 1 ? m_sessions->selectAllSessions() : m_sessions->selectSession(index);
    return r.outcome == SessionCommandResult::Outcome::Done || r.outcome == SessionCommandResult::Outcome::Unchanged;
}

void AppController::applicationWillTerminate(bool schedulingWindowVisible, bool infoDrawerOpen)
{
    m_life->writeTemplate();
    m_app.prefs.insert("fileVersion", qlonglong(Preferences::kFileVersion));
    m_app.prefs.insert("prefSchedulingWindowIsOpen", schedulingWindowVisible);
    m_app.prefs.insert("consInfoDrawerIsOpen", infoDrawerOpen);
    Preferences::write(m_app.paths, m_app.prefs);
}

QVariantList AppController::sessionsArray() const
{
    return document().value("sessionsArray").toList();
}

int AppController::documentSessionIndex() const
{
    return document().value("sessionIndex").toInt();
}

void AppController::SaveLogFileToDisk(RunDriver &run)
{
    const RunRecords &r = run.records();
    const LogSaveResult saved = qm::SaveLogFileToDisk(
        m_app.prefs, LogSaveRequest{r.log, r.logFileName, r.globalError, m_app.paths.supportFolder});
    if (saved.saved())
        run.records().logPath = saved.path;
    if (!saved.newLogFolder.isEmpty())
        m_app.prefs.insert("prefPathLogFolder", saved.newLogFolder);
    // A log that cannot be saved is reported, but the run is not failed by it.
    if (!saved.errorText.isEmpty())
        run.errors().ManageTheError(saved.errorText, PolicyUseInForce);
}

void AppController::runConcluded(RunDriver &)
{
    Q_EMIT runReportReady();
}

bool AppController::TimerSyncEnabled(bool enable)
{
    return m_schedule->setCheckEnabled(enable);
}

void AppController::SchedulingTimerDone(RunDriver &run)
{
    m_schedule->markDone(run.records().globalError, run.records().logPath);
}

void AppController::terminateApplication()
{
    Q_EMIT quitRequested();
}

} // namespace qm
