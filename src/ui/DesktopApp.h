#pragma once
// The desktop program from launch to quit: the controller with the desktop's
// questions, the console window, the splash, the documents handed over at
// launch, Sync And Quit, and what is written at quit.
#include "app/AppController.h"
#include "app/SecretStore.h"
#include "ui/ConsoleWindow.h"
#include "ui/DesktopQuestions.h"
#include "ui/WindowFrames.h"

#include <QObject>

#include <memory>

namespace qm {

class AboutWindow;
class PreferencesWindow;

struct LaunchOptions {
    QStringList documents;     // opened when the splash ends
    int splashMilliseconds = 3000; // 0: no splash (tests)
};

class DesktopApp : public QObject {
    Q_OBJECT
public:
    static constexpr const char *kConsoleFrame = "ConsoleWindowFrame";
    static constexpr const char *kPreferencesFrame = "PreferencesWindowFrame";

    DesktopApp(StartedApp started, Dialogs &dialogs, std::unique_ptr<RunStages> stages = nullptr,
               QObject *parent = nullptr);
    ~DesktopApp() override;

    // Shows the splash, then the console (Part of start-up), opens the
    // documents, and starts the Sync And Quit countdown when asked.
    void launch(const LaunchOptions &options);

    AppController &controller() { return *m_controller; }
    ConsoleWindow &window() { return *m_window; }
    DesktopQuestions &questions() { return m_questions; }
    bool hasQuit() const { return m_quit; }

    // The Quit command: asks about a run and unsaved changes first.
    void requestQuit();
    void openPreferences();
    // Where the preferences window keeps the SMTP password (tests give their own).
    void setSecretStore(std::unique_ptr<SecretStore> store) { m_secrets = std::move(store); }
    void openAbout();

Q_SIGNALS:
    // The template, preferences and frames are written: the program may end.
    void quitFinished();

private:
    DesktopQuestions m_questions;
    std::unique_ptr<AppController> m_controller;
    std::unique_ptr<ConsoleWindow> m_window;
    WindowFrames m_frames;
    std::unique_ptr<SecretStore> m_secrets = makeDesktopSecretStore();
    AboutWindow *m_splash = nullptr;
    bool m_quitAfterRun = false;
    bool m_quit = false;

    void splashEnded(const LaunchOptions &options);
    void finishQuit();
    void notifyIfUnwatched(bool consoleActive);
};

} // namespace qm
