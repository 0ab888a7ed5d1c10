#include "ui/DesktopApp.h"

#include "platform/Messages.h"
#include "ui/AboutWindow.h"
#include "ui/PrivilegeAlerts.h"
#include "ui/DesktopShell.h"
#include "ui/PreferencesWindow.h"
#include "ui/SchedulingWindow.h"

#include <QApplication>

namespace qm {

DesktopApp::DesktopApp(StartedApp started, Dialogs &dialogs, std::unique_ptr<RunStages> stages, QObject *parent)
    : QObject(parent), m_questions(dialogs), m_frames(started.paths.prefFolder)
{
    m_questions.setFrames(&m_frames);
    m_controller = std::make_unique<AppController>(std::move(started), m_questions, std::move(stages), &m_questions);
    m_window = std::make_unique<ConsoleWindow>(*m_controller, m_questions);
    m_window->setWindowTitle(m_controller->documents().windowTitle());
    ConsoleWindow *w = m_window.get();
    connect(w, &ConsoleWindow::quitCommand, this, &DesktopApp::requestQuit);
    connect(w, &ConsoleWindow::preferencesRequested, this, &DesktopApp::openPreferences);
    connect(w, &ConsoleWindow::aboutRequested, this, &DesktopApp::openAbout);
    connect(&m_controller->privilegeChange(), &PrivilegeChange::finished, this, [this](const PrivilegeOutcome &o) {
        if (showPrivilegeOutcome(o, m_questions.dialogs(), m_window.get()))
            requestQuit();
    });
    // A Sync And Quit run, or one the user agreed to quit during, has
    // concluded: quit once its worker is gone.
    connect(m_controller.get(), &AppController::quitRequested, this, [this] { m_quitAfterRun = true; });
    connect(w, &ConsoleWindow::runEnded, this, [this](bool consoleActive) {
        if (m_quitAfterRun)
            finishQuit();
        else
            notifyIfUnwatched(consoleActive);
    });
    connect(w, &ConsoleWindow::documentLetGo, this, [this] { requestQuit(); }, Qt::QueuedConnection);
}

DesktopApp::~DesktopApp()
{
    // A run still going must end before the window and the controller go.
    if (m_controller && m_controller->run().isRunning()) {
        m_controller->run().requestStop();
        m_controller->run().waitForRun();
    }
}

void DesktopApp::launch(const LaunchOptions &options)
{
    if (options.splashMilliseconds <= 0) {
        splashEnded(options);
        return;
    }
    m_splash = new AboutWindow;
    m_splash->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_splash, &QDialog::finished, this, [this, options] {
        m_splash = nullptr;
        splashEnded(options);
    });
    m_splash->showAsSplash(options.splashMilliseconds);
}

void DesktopApp::splashEnded(const LaunchOptions &options)
{
    m_frames.restore(m_window.get(), QString::fromLatin1(kConsoleFrame));
    m_controller->documents().finishLaunching();
    m_window->refresh();
    m_window->show();
    for (const QString &path : options.documents)
        m_window->openDocument(path);
    m_window->setDrawerOpen(m_controller->prefs().value("consInfoDrawerIsOpen").toBool());
    SchedulingWindow *monitor = m_window->schedulingWindow();
    m_frames.restore(monitor, QString::fromLatin1(SchedulingWindow::kFrameName));
    m_frames.restoreHeader(monitor->table(), QString::fromLatin1(SchedulingWindow::kTableName));
    if (m_controller->prefs().value("prefSchedulingWindowIsOpen").toBool())
        monitor->WindowOpenScheduling();
    // With the document open, the Sync And Quit countdown may start.
    m_controller->finishLaunching();
}

void DesktopApp::requestQuit()
{
    if (m_quit)
        return;
    switch (m_controller->documents().applicationShouldTerminate()) {
    case TerminateReply::Now:
        finishQuit();
        break;
    case TerminateReply::AfterRun:
        // The run is told to stop; the program quits once it has concluded.
        m_quitAfterRun = true;
        m_controller->run().requestQuitDuringRun();
        break;
    case TerminateReply::Cancel:
        break;
    }
}

void DesktopApp::finishQuit()
{
    if (m_quit)
        return;
    m_quit = true;
    m_frames.save(m_window.get(), QString::fromLatin1(kConsoleFrame));
    SchedulingWindow *monitor = m_window->schedulingWindow();
    m_frames.save(monitor, QString::fromLatin1(SchedulingWindow::kFrameName));
    m_frames.saveHeader(monitor->table(), QString::fromLatin1(SchedulingWindow::kTableName));
    m_controller->applicationWillTerminate(monitor->isVisible(), m_window->isDrawerOpen());
    monitor->hide();
    m_window->hide();
    Q_EMIT quitFinished();
}

void DesktopApp::openPreferences()
{
    PreferencesWindow prefs(m_controller->prefs(), m_controller->paths(), m_questions, *m_secrets,
                            m_controller->identity().isRoot(), m_window.get());
    m_frames.restore(&prefs, QString::fromLatin1(kPreferencesFrame));
    const bool ok = prefs.exec() == QDialog::Accepted;
    m_frames.save(&prefs, QString::fromLatin1(kPreferencesFrame));
    if (ok && prefs.rootChange())
        m_controller->privilegeChange().PrefRunAsRoot(*prefs.rootChange());
    m_window->returnFromWindow(Panel::Preferences);
}

void DesktopApp::openAbout()
{
    AboutWindow about(m_window.get());
    about.exec();
    m_window->returnFromWindow(Panel::About);
}

void DesktopApp::notifyIfUnwatched(bool consoleActive)
{
    if (consoleActive || m_quit)
        return;
    DesktopShell::notify(m_window->windowTitle(), m_window->consolePanel()->comment().replace(u'\r', u'\n'));
}

} // namespace qm
