#pragma once
// The console window: the session pop-up in the toolbar, the console's
// panels as pages switched by the program, the information drawer and the
// main menu. It shows the controller's state and hands the user's actions
// to the controller, the document commands and the session commands.
#include "app/AppController.h"
#include "ui/ConsolePanel.h"
#include "uimodel/PanelTable.h"

#include <QMainWindow>
#include <QMap>

class QComboBox;
class QStackedWidget;

namespace qm {

class ConflictsWindow;
class ConsoleModel;
class DesktopQuestions;
class FolderSizer;
class InfoDrawer;
class ListPanel;
class LogWindow;
class SchedulingWindow;
class ScriptsWindow;
class SettingsPanel;
class VolumesPanel;
class SessionMenuModel;

class ConsoleWindow : public QMainWindow, public DocumentHooks {
    Q_OBJECT
public:
    ConsoleWindow(AppController &controller, DesktopQuestions &questions, QWidget *parent = nullptr);
    ~ConsoleWindow() override;

    // GoPanel: switches the console's page or opens a window.
    void GoPanel(Panel panel);
    Panel currentPanel() const { return m_navigator.currentTab(); }
    // A separate window closed: back to the tab it was opened from.
    void returnFromWindow(Panel window);
    // Everything shown again from the controller's state.
    void refresh();

    // The commands of the main menu, by tag.
    QAction *action(int tag) const { return m_actions.value(tag); }
    QComboBox *sessionPopup() const { return m_sessions; }
    ConsolePanel *consolePanel() const { return m_console; }
    ConsoleModel *consoleModel() const { return m_model; }
    SettingsPanel *settingsPanel() const { return m_settings; }
    // The timer, folder-pair, filter and exclude pages.
    ListPanel *listPanel(Panel panel) const { return m_lists.value(panel); }
    InfoDrawer *drawer() const { return m_drawer; }
    // The log window: a saved log or the last run's log.
    LogWindow *logWindow() const { return m_log; }
    SchedulingWindow *schedulingWindow() const { return m_scheduling; }
    VolumesPanel *volumesPanel() const { return m_volumes; }
    ConflictsWindow *conflictsWindow() const { return m_conflicts; }
    ScriptsWindow *scriptsWindow() const { return m_scripts; }
    QStackedWidget *pages() const { return m_pages; }
    bool isDrawerOpen() const;
    void setDrawerOpen(bool open);

    // The commands (public so that the menu, the shell and tests share them).
    void TaskPickFolder(int side);
    void SetPickedFolder(const QString &path, int side);
    void TaskExecuteSyncOrBackup();
    void openDocument(const QString &path);
    void FileOpen();
    void chooseSession(int position, bool optionKey);

    // DocumentHooks: the document was replaced, renamed or let go, or its
    // sessions changed, by a command from anywhere.
    void documentReplaced() override;
    void documentRenamed() override;
    void sessionsChanged() override;

Q_SIGNALS:
    // The user asked to quit (menu, shortcut) or a run ended that must quit.
    void quitCommand();
    void preferencesRequested();
    void aboutRequested();
    void runEnded(bool consoleActive);
    // The console closed and let its document go.
    void documentLetGo();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    AppController &m_controller;
    DesktopQuestions &m_questions;
    PanelNavigator m_navigator;
    ConsoleModel *m_model = nullptr;
    FolderSizer *m_sizer = nullptr;
    QString m_sizing;
    QComboBox *m_sessions = nullptr;
    SessionMenuModel *m_sessionMenu = nullptr;
    QStackedWidget *m_pages = nullptr;
    ConsolePanel *m_console = nullptr;
    SettingsPanel *m_settings = nullptr;
    QMap<Panel, ListPanel *> m_lists;
    InfoDrawer *m_drawer = nullptr;
    LogWindow *m_log = nullptr;
    SchedulingWindow *m_scheduling = nullptr;
    VolumesPanel *m_volumes = nullptr;
    ConflictsWindow *m_conflicts = nullptr;
    ScriptsWindow *m_scripts = nullptr;
    QMap<int, QAction *> m_actions;
    QMap<Panel, QWidget *> m_pageOf;
    QMenu *m_recentMenu = nullptr;
    bool m_running = false;

    void buildMenus();
    QAction *addCommand(QMenu *menu, int tag, const QString &title, const QKeySequence &keys,
                        std::function<void()> run);
    QWidget *placeholderPage(Panel panel);
    void connectConsole();
    void buildSessionWindows();
    void openSessionWindow(PanelAction action);
    void showSessionMenu();
    void showConsoleView();
    void updateMenus();
    void updateRunState();
    void rebuildRecentMenu();
    void afterDocumentCommand();
    void goOption(ConsolePanel::Option option, Qt::KeyboardModifiers modifiers);
    bool runUnderway() const;
    void connectRun();
    bool allSessionsCurrent() const;
};

} // namespace qm
