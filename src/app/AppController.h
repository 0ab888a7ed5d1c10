#pragma once
// The program's controller: it owns the preferences, the open document and
// the run, and answers the run's questions on the main thread. What is shown
// is left to a display (the desktop windows or the command-line runner).
#include "app/DocumentLifecycle.h"
#include "app/SessionCommands.h"
#include "app/Startup.h"
#include "engine/RunDriver.h"

#include <QObject>

#include <memory>

namespace qm {

// Where the controller shows a run's progress and outcome.
class RunDisplay {
public:
    virtual ~RunDisplay() = default;
    virtual void status(const QString &text) { (void)text; }
    virtual void progress(int done, int total) { (void)done; (void)total; }
    virtual void concluded(RunDriver &run) { (void)run; }
    virtual void quitRequested() {}
};

class AppController : public QObject, public RunHost {
    Q_OBJECT
public:
    // Without stages of its own the controller runs the real engine; without
    // document questions every document question is answered "cancel".
    AppController(StartedApp app, UserQuestions &questions,
                  std::unique_ptr<RunStages> stages = nullptr,
                  DocumentQuestions *documentQuestions = nullptr, QObject *parent = nullptr);
    ~AppController() override;

    void setDisplay(RunDisplay *display) { m_display = display; }
    // Who answers conflict questions in runs nobody watches (the terminal of
    // the command-line runner); answers as the conflict dialog does.
    void setConflictAsker(std::function<int(const ConflictQuestion &)> asker)
    {
        m_conflictAsker = std::move(asker);
        m_run->setConflictsAnswered(bool(m_conflictAsker));
    }

    const AppPaths &paths() const { return m_app.paths; }
    QVariantMap &prefs() { return m_app.prefs; }
    const ProcessIdentity &identity() const { return m_app.identity; }

    // The open document: the template at start, until a file is opened.
    const QVariantMap &document() const { return m_life->document(); }
    const QString &documentPath() const { return m_life->pathDocumentFile(); }
    bool documentIsTemplate() const { return m_life->isDocumentTemplate(); }
    // The document commands (new, open, save, close...) and the session
    // commands (add, duplicate, rename, remove, move, select).
    DocumentLifecycle &documents() { return *m_life; }
    SessionCommands &sessions() { return *m_sessions; }
    // Opens the file; on refusal the open document stays as it was and
    // `message` tells why.
    bool openDocument(const QString &path, QString *message);
    // Selects the session shown: 0 .. n-1, or n + 1 for All Sessions.
    bool setSessionIndex(int index);

    RunDriver &run() { return *m_run; }

    // At quit: the open document goes to the template path and the
    // preferences to their file.
    void applicationWillTerminate(bool schedulingWindowVisible, bool infoDrawerOpen);

    // RunHost
    QVariantList sessionsArray() const override;
    int documentSessionIndex() const override;
    QVariantMap preferences() const override { return m_app.prefs; }
    UserQuestions &questions() override { return m_questions; }
    void SaveLogFileToDisk(RunDriver &run) override;
    void runConcluded(RunDriver &run) override;
    int askConflict(const ConflictQuestion &question) override;
    void showStatus(const QString &text) override;
    void showProgress(int done, int total) override;
    void terminateApplication() override;

private:
    StartedApp m_app;
    UserQuestions &m_questions;
    std::unique_ptr<RunStages> m_stages;
    std::unique_ptr<RunDriver> m_run;
    RunDisplay *m_display = nullptr;
    std::function<int(const ConflictQuestion &)> m_conflictAsker;
    std::unique_ptr<DocumentQuestions> m_ownQuestions;
    std::unique_ptr<DocumentLifecycle> m_life;
    std::unique_ptr<SessionCommands> m_sessions;
};

} // namespace qm
