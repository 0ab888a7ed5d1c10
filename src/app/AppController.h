#pragma once
// The program's controller: it owns the preferences, the open document and
// the run, and answers the run's questions on the main thread. What is shown
// is left to a display (the desktop windows or the command-line runner).
#include "app/DocumentLifecycle.h"
#include "app/PrivilegeChange.h"
#include "app/SessionCommands.h"
#include "app/Startup.h"
#include "engine/RunDriver.h"
#include "schedule/ScheduleMonitor.h"

#include <QObject>

#include <memory>

namespace qm {

class Clock;

// The program's controller: it owns the preferences, the open document, the
// run and the schedule, and answers the run's host calls on the main thread.
// The windows (or the command-line runner) plug in the questions, listen to
// the run's feedback() and to the signals below, and tell the controller
// which panel the console shows.
class AppController : public QObject, public RunHost {
    Q_OBJECT
public:
    // Without stages of its own the controller runs the real engine; without
    // document questions every document question is answered "cancel";
    // without a clock the schedule reads the system clock.
    AppController(StartedApp app, RunQuestions &questions, std::unique_ptr<RunStages> stages = nullptr,
                  DocumentQuestions *documentQuestions = nullptr, const Clock *clock = nullptr,
                  QObject *parent = nullptr);
    ~AppController() override;

    // Who answers the run's questions from now on (not while a run is under way).
    bool setQuestions(RunQuestions &questions);
    // The windows' own reactions to document changes; the controller keeps
    // the schedule in step itself and then calls these.
    void setDocumentHooks(DocumentHooks *hooks) { m_windowHooks = hooks; }

    // The run's signals, on the main thread.
    RunFeedback &feedback() { return m_run->feedback(); }
    // The schedule of the timers and its 10-second check.
    ScheduleMonitor &schedule() { return *m_schedule; }
    // The console shows its main panel (true) or another panel (false): the
    // check runs only while the main panel is shown, and showing it again
    // rebuilds the schedule and decides anew.
    void setConsolePanelShown(bool shown);
    bool isConsolePanelShown() const { return m_consoleShown; }
    // Launching has ended and the console is up: a document handed over
    // earlier opens, and the Sync And Quit countdown starts when the
    // preferences ask for it.
    void finishLaunching();

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
    // The run-as-root box's action (after the preferences window's OK).
    PrivilegeChange &privilegeChange() { return *m_privilegeChange; }
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
    RunQuestions &questions() override { return *m_questions; }
    bool TimerSyncEnabled(bool enable) override;
    void SaveLogFileToDisk(RunDriver &run) override;
    void runConcluded(RunDriver &run) override;
    void SchedulingTimerDone(RunDriver &run) override;
    void terminateApplication() override;

Q_SIGNALS:
    // The run is over and its report can be shown: run().records() hold the
    // totals, the log and the mail failure line. Before feedback().runEnded().
    void runReportReady();
    // The program is to quit: a Sync And Quit run ended, or the user agreed
    // to quit during the run.
    void quitRequested();

private:
    class ScheduleHostAdapter;
    // True when the console decided anew about the check.
    bool scheduleFollowsDocument();
    class Hooks;

    StartedApp m_app;
    RunQuestions *m_questions;
    std::unique_ptr<RunStages> m_stages;
    std::unique_ptr<RunDriver> m_run;
    std::unique_ptr<Clock> m_ownClock;
    std::unique_ptr<ScheduleHostAdapter> m_scheduleHost;
    std::unique_ptr<ScheduleMonitor> m_schedule;
    bool m_consoleShown = false;
    DocumentHooks *m_windowHooks = nullptr;
    std::unique_ptr<Hooks> m_hooks;
    std::unique_ptr<DocumentQuestions> m_ownQuestions;
    std::unique_ptr<DocumentLifecycle> m_life;
    std::unique_ptr<SessionCommands> m_sessions;
    std::unique_ptr<PrivilegeChange> m_privilegeChange;
};

} // namespace qm
