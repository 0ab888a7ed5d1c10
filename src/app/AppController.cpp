#include "app/AppController.h"

#include "app/EngineStages.h"
#include "app/Preferences.h"
#include "app/SessionDocument.h"
#include "report/LogFiles.h"
#include "report/Mail.h"

#include <syslog.h>

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

AppController::AppController(StartedApp app, UserQuestions &questions,
                             std::unique_ptr<RunStages> stages,
                             DocumentQuestions *documentQuestions, QObject *parent)
    : QObject(parent),
      m_app(std::move(app)),
      m_questions(questions),
      m_stages(std::move(stages))
{
    if (!documentQuestions) {
        m_ownQuestions = std::make_unique<NoDocumentQuestions>();
        documentQuestions = m_ownQuestions.get();
    }
    auto busy = [this] { return m_run && m_run->isRunning(); };
    m_life = std::make_unique<DocumentLifecycle>(m_app.paths, m_app.templateDocument, *documentQuestions,
                                                 nullptr, busy);
    m_sessions = std::make_unique<SessionCommands>(m_life->document(), *documentQuestions, nullptr, busy);
    if (!m_stages) {
        const AppPaths &p = m_app.paths;
        const QString logFolder = m_app.prefs.value("prefPathLogFolder").toString();
        QStringList own{p.supportFolder, p.exactSyncIndexFolder, p.prefFolder};
        if (!logFolder.isEmpty())
            own << logFolder;
        m_stages = makeEngineStages(EngineConfig{p.exactSyncIndexFolder, own});
    }
    m_run = std::make_unique<RunDriver>(*this, *m_stages);
}

AppController::~AppController()
{
    // The worker uses the stages: it must end before they go.
    m_run.reset();
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

void AppController::runConcluded(RunDriver &run)
{
    RunRecords &r = run.records();
    if (!r.abandonedInPreview) {
        const MailResult mail = SendEmailTo(m_app.prefs, r.globalError, r.log);
        if (!mail.ok()) {
            syslog(LOG_WARNING, "%s", mail.detail.toLocal8Bit().constData());
            r.mailFailure = mailFailureReportLine();
        }
    }
    if (m_display)
        m_display->concluded(run);
}

int AppController::askConflict(const ConflictQuestion &question)
{
    return m_conflictAsker ? m_conflictAsker(question) : ConflictAnswer::Skip;
}

void AppController::showStatus(const QString &text)
{
    if (m_display)
        m_display->status(text);
}

void AppController::showProgress(int done, int total)
{
    if (m_display)
        m_display->progress(done, total);
}

void AppController::terminateApplication()
{
    if (m_display)
        m_display->quitRequested();
}

} // namespace qm
