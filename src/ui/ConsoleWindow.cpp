#include "ui/ConsoleWindow.h"

#include "app/Preferences.h"
#include "app/SessionDocument.h"
#include "platform/Messages.h"
#include "ui/DesktopQuestions.h"
#include "ui/DesktopShell.h"
#include "ui/DropPane.h"
#include "ui/Images.h"
#include "ui/InfoDrawer.h"
#include "ui/LogWindow.h"
#include "ui/SettingsPanel.h"
#include "uimodel/ConsoleTexts.h"
#include "uimodel/MenuEnabling.h"
#include "uimodel/TextFit.h"
#include "volumes/AutoMountList.h"
#include "volumes/VolumeUtilities.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace qm {

namespace {

FolderSide folderSide(int side)
{
    return side == ConsolePaneState::Source ? FolderSide::Source : FolderSide::Destination;
}

const char *folderKey(int side)
{
    return side == ConsolePaneState::Source ? "topFolder" : "bottomFolder";
}

// The option buttons and the panels they lead to.
Panel panelOf(ConsolePanel::Option option)
{
    switch (option) {
    case ConsolePanel::Timer: return Panel::Timer;
    case ConsolePanel::Multi: return Panel::Multi;
    case ConsolePanel::Filter: return Panel::Filter;
    case ConsolePanel::Exclude: return Panel::Exclude;
    case ConsolePanel::Conflicts: return Panel::Conflicts;
    case ConsolePanel::Volumes: return Panel::AutoMountVolumes;
    case ConsolePanel::Settings:
    case ConsolePanel::OptionCount: break;
    }
    return Panel::Settings;
}

} // namespace

ConsoleWindow::ConsoleWindow(AppController &controller, DesktopQuestions &questions, QWidget *parent)
    : QMainWindow(parent), m_controller(controller), m_questions(questions)
{
    setObjectName(QStringLiteral("ConsoleWindow"));
    setWindowIcon(applicationIcon());
    m_questions.setWindow(this);

    auto *toolbar = addToolBar(GLS("Sessions PopMenu"));
    toolbar->setObjectName(QStringLiteral("ConsoleToolbar"));
    toolbar->setMovable(false);
    m_sessions = new QComboBox(toolbar);
    m_sessions->setObjectName(QStringLiteral("sessionPopMenu"));
    m_sessions->setToolTip(GLS("Sessions PopMenu"));
    m_sessions->setMinimumContentsLength(24);
    m_sessions->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_sessions->setModel(new QStandardItemModel(m_sessions));
    toolbar->addWidget(m_sessions);
    connect(m_sessions, &QComboBox::activated, this,
            [this](int position) { chooseSession(position, QApplication::keyboardModifiers() & Qt::AltModifier); });

    m_pages = new QStackedWidget(this);
    m_console = new ConsolePanel(m_pages);
    m_console->setShortener([](const QString &text, int width, const QFontMetrics &font) {
        return TruncatedString(text, FieldFit{width, [&font](const QString &t) { return font.horizontalAdvance(t); }});
    });
    m_pages->addWidget(m_console);
    m_pageOf.insert(Panel::Console, m_console);
    m_settings = new SettingsPanel(m_pages);
    m_pages->addWidget(m_settings);
    m_pageOf.insert(Panel::Settings, m_settings);
    for (Panel p : {Panel::Timer, Panel::Multi, Panel::Filter, Panel::Exclude, Panel::AutoMountVolumes,
                    Panel::Conflicts, Panel::AppleScript, Panel::DocumentClosed}) {
        QWidget *page = placeholderPage(p);
        m_pages->addWidget(page);
        m_pageOf.insert(p, page);
    }
    setCentralWidget(m_pages);

    m_drawer = new InfoDrawer(this);
    addDockWidget(Qt::BottomDockWidgetArea, m_drawer);
    m_drawer->hide();
    connect(m_drawer, &QDockWidget::visibilityChanged, m_console, &ConsolePanel::setDrawerOpen);

    connectConsole();
    connect(m_settings, &SettingsPanel::finished, this, [this](bool stored, bool stay) {
        if (stored) {
            QVariantMap session = currentSession();
            m_settings->store(&session);
            setCurrentSession(session);
        }
        if (!stay)
            GoPanel(Panel::Console);
    });
    buildMenus();
    connectRun();
    m_controller.setDocumentHooks(this);
    m_questions.setProgressAnimationHandler([this](bool running) {
        // A busy bar stands still while a question waits for the user.
        if (m_console->progressBar()->maximum() == 0)
            m_console->progressBar()->setEnabled(running);
    });
    resize(640, 440);
    GoPanel(Panel::Console);
}

ConsoleWindow::~ConsoleWindow()
{
    m_controller.setDocumentHooks(nullptr);
}

void ConsoleWindow::connectRun()
{
    RunFeedback &f = m_controller.feedback();
    connect(&f, &RunFeedback::runStarted, this, [this] { updateRunState(); });
    connect(&f, &RunFeedback::runEnded, this, [this] {
        updateRunState();
        Q_EMIT runEnded(isActiveWindow());
    });
    connect(&f, &RunFeedback::statusChanged, this, &ConsoleWindow::showStatus);
    connect(&f, &RunFeedback::progressChanged, this, &ConsoleWindow::showProgress);
    connect(&f, &RunFeedback::phaseChanged, this, &ConsoleWindow::showPhase);
    connect(&f, &RunFeedback::currentItemChanged, this, &ConsoleWindow::showCurrentItem);
    connect(&f, &RunFeedback::taskChanged, this, &ConsoleWindow::showTask);
    connect(&f, &RunFeedback::countdownTicked, this, [this] { updateRunState(); });
    connect(&f, &RunFeedback::countdownCancelled, this, [this] {
        m_console->setComment(QString());
        updateRunState();
    });
    connect(&f, &RunFeedback::sessionMoved, this, [this] {
        showSessionMenu();
        if (m_navigator.currentTab() == Panel::Console)
            showConsolePanes();
    });
    connect(&m_controller, &AppController::runReportReady, this, &ConsoleWindow::SetReportOnConsole);
}

void ConsoleWindow::documentReplaced()
{
    clearComment();
    refresh();
}

void ConsoleWindow::documentRenamed()
{
    setWindowTitle(m_controller.documents().windowTitle());
}

void ConsoleWindow::sessionsChanged()
{
    refresh();
}

QWidget *ConsoleWindow::placeholderPage(Panel panel)
{
    // The list editors and the closed-document state: a page the program
    // switches to, with the way back to the console.
    auto *page = new QWidget(m_pages);
    page->setObjectName(panelIdentifier(panel));
    auto *layout = new QVBoxLayout(page);
    layout->addStretch();
    if (panel != Panel::DocumentClosed) {
        auto *back = new QPushButton(GLS("OK"), page);
        connect(back, &QPushButton::clicked, this, [this] { GoPanel(Panel::Console); });
        layout->addWidget(back, 0, Qt::AlignRight);
    }
    return page;
}

void ConsoleWindow::connectConsole()
{
    ConsolePanel *c = m_console;
    connect(c, &ConsolePanel::pickRequested, this, &ConsoleWindow::TaskPickFolder);
    connect(c, &ConsolePanel::openRequested, this, &ConsoleWindow::openFolder);
    connect(c, &ConsolePanel::revealRequested, this, &ConsoleWindow::revealFolder);
    connect(c, &ConsolePanel::clearRequested, this, &ConsoleWindow::clearFolder);
    connect(c, &ConsolePanel::folderDropped, this, [this](int side, const QString &path) { SetPickedFolder(path, side); });
    connect(c, &ConsolePanel::executeRequested, this, &ConsoleWindow::TaskExecuteSyncOrBackup);
    connect(c, &ConsolePanel::optionRequested, this, &ConsoleWindow::goOption);
    connect(c, &ConsolePanel::drawerToggled, this, [this] { setDrawerOpen(!isDrawerOpen()); });
    for (int side = 0; side < 2; ++side) {
        c->dropPane(side)->setAcceptance([this] {
            const QVariantMap s = currentSession();
            return !runUnderway() && !allSessionsCurrent() && s.value("multiOn").toInt() != 1;
        });
    }
}

QAction *ConsoleWindow::addCommand(QMenu *menu, int tag, const QString &title, const QKeySequence &keys,
                                   std::function<void()> run)
{
    QAction *a = menu->addAction(title);
    a->setShortcut(keys);
    a->setData(tag);
    connect(a, &QAction::triggered, this, [run = std::move(run)] { run(); });
    if (tag)
        m_actions.insert(tag, a);
    return a;
}

void ConsoleWindow::buildMenus()
{
    DocumentLifecycle &docs = m_controller.documents();
    QMenu *file = menuBar()->addMenu(GLS("File"));
    addCommand(file, NewTag, GLS("New"), QKeySequence::New, [this, &docs] {
        docs.FileNew();
        afterDocumentCommand();
    });
    addCommand(file, OpenTag, GLS("Open…"), QKeySequence::Open, [this] { FileOpen(); });
    m_recentMenu = file->addMenu(GLS("Open Recent"));
    m_recentMenu->menuAction()->setData(int(OpenRecentTag));
    m_actions.insert(OpenRecentTag, m_recentMenu->menuAction());
    connect(m_recentMenu, &QMenu::aboutToShow, this, &ConsoleWindow::rebuildRecentMenu);
    file->addSeparator();
    addCommand(file, CloseTag, GLS("Close"), QKeySequence::Close, [this] { close(); });
    addCommand(file, SaveTag, GLS("Save"), QKeySequence::Save, [this, &docs] {
        docs.SaveAFile();
        afterDocumentCommand();
    });
    QAction *saveAs = addCommand(file, 0, GLS("Save As…"), QKeySequence(QStringLiteral("Ctrl+Shift+S")),
                                 [this, &docs] {
                                     docs.FileSaveAs();
                                     afterDocumentCommand();
                                 });
    saveAs->setData(int(SaveTag));
    m_actions.insert(-SaveTag, saveAs);
    addCommand(file, RevertTag, GLS("Revert to Saved"), QKeySequence(), [this, &docs] {
        docs.revertToSaved();
        afterDocumentCommand();
    });
    file->addSeparator();
    addCommand(file, PreferencesTag, GLS("Preferences…"), QKeySequence(QStringLiteral("Ctrl+,")),
               [this] { GoPanel(Panel::Preferences); });
    file->addSeparator();
    QAction *quit = addCommand(file, 0, GLS("Quit"), QKeySequence::Quit, [this] { Q_EMIT quitCommand(); });
    quit->setMenuRole(QAction::QuitRole);

    QMenu *session = menuBar()->addMenu(GLS("Session"));
    const auto byTag = [this](int tag) {
        const SessionMenu menu = m_controller.sessions().menu();
        for (int i = 0; i < menu.items.size(); ++i)
            if (menu.items.at(i).tag == tag)
                chooseSession(i, false);
    };
    addCommand(session, NewSessionTag, GLS("New Session"), QKeySequence(QStringLiteral("Ctrl+Shift+N")),
               [byTag] { byTag(SessionMenuItem::NewTag); });
    addCommand(session, DuplicateSessionTag, GLS("Duplicate Session"), QKeySequence(QStringLiteral("Ctrl+D")),
               [byTag] { byTag(SessionMenuItem::DuplicateTag); });
    addCommand(session, RenameSessionTag, GLS("Rename Session…"), QKeySequence(),
               [byTag] { byTag(SessionMenuItem::RenameTag); });
    addCommand(session, RemoveSessionTag, GLS("Remove Session…"), QKeySequence(),
               [byTag] { byTag(SessionMenuItem::RemoveTag); });
    session->addSeparator();
    addCommand(session, AllSessionsMenuTag, GLS("All Sessions"), QKeySequence(),
               [byTag] { byTag(SessionMenuItem::AllSessionsTag); });

    // The third menu's third command is Execute/Stop.
    QMenu *task = menuBar()->addMenu(GLS("Task"));
    addCommand(task, PickSourceTag, GLS("Choose the source Folder"), QKeySequence(),
               [this] { TaskPickFolder(ConsolePaneState::Source); });
    addCommand(task, PickDestinationTag, GLS("Choose the destination Folder"), QKeySequence(),
               [this] { TaskPickFolder(ConsolePaneState::Destination); });
    addCommand(task, ExecuteTag, GLS("Synchronize"), QKeySequence(QStringLiteral("Ctrl+Return")),
               [this] { TaskExecuteSyncOrBackup(); });

    QMenu *options = menuBar()->addMenu(GLS("Options"));
    const auto option = [this](ConsolePanel::Option o) { goOption(o, QApplication::keyboardModifiers()); };
    addCommand(options, TimersTag, GLS("Timers"), QKeySequence(QStringLiteral("Ctrl+1")), [option] { option(ConsolePanel::Timer); });
    addCommand(options, FolderPairsTag, GLS("Multiple"), QKeySequence(QStringLiteral("Ctrl+2")), [option] { option(ConsolePanel::Multi); });
    addCommand(options, FiltersTag, GLS("Filters"), QKeySequence(QStringLiteral("Ctrl+3")), [option] { option(ConsolePanel::Filter); });
    addCommand(options, ExcludesTag, GLS("Excludes"), QKeySequence(QStringLiteral("Ctrl+4")), [option] { option(ConsolePanel::Exclude); });
    addCommand(options, ConflictsTag, GLS("Conflicts"), QKeySequence(QStringLiteral("Ctrl+5")), [option] { option(ConsolePanel::Conflicts); });
    addCommand(options, VolumesTag, GLS("Volumes"), QKeySequence(QStringLiteral("Ctrl+6")), [option] { option(ConsolePanel::Volumes); });
    addCommand(options, ScriptsTag, GLS("Scripts"), QKeySequence(QStringLiteral("Ctrl+7")), [this] { GoPanel(Panel::AppleScript); });
    addCommand(options, SettingsTag, GLS("Settings"), QKeySequence(QStringLiteral("Ctrl+8")), [option] { option(ConsolePanel::Settings); });

    QMenu *window = menuBar()->addMenu(GLS("Window"));
    addCommand(window, ShowConsoleTag, GLS("Console"), QKeySequence(QStringLiteral("Ctrl+0")), [this] {
        show();
        raise();
        activateWindow();
    });
    addCommand(window, 0, GLS("Information"), QKeySequence(QStringLiteral("Ctrl+I")),
               [this] { setDrawerOpen(!isDrawerOpen()); });
    m_log = new LogWindow(this);
    addCommand(window, 0, GLS("Log Window"), QKeySequence(QStringLiteral("Ctrl+L")), [this] {
        const RunRecords &records = m_controller.run().records();
        m_log->WindowOpenLog(records.logPath, records.log);
    });

    QMenu *help = menuBar()->addMenu(GLS("Help"));
    QAction *about = addCommand(help, AboutTag, GLS("About Quillmere"), QKeySequence(), [this] { GoPanel(Panel::About); });
    about->setMenuRole(QAction::AboutRole);

    // Enabling is decided when a menu opens, and kept current for the shortcuts.
    for (QMenu *m : {file, session, task, options, window, help})
        connect(m, &QMenu::aboutToShow, this, &ConsoleWindow::updateMenus);
}

void ConsoleWindow::rebuildRecentMenu()
{
    m_recentMenu->clear();
    DocumentLifecycle &docs = m_controller.documents();
    for (const QString &path : docs.recentDocuments().paths())
        m_recentMenu->addAction(QFileInfo(path).completeBaseName(), this, [this, path] { openDocument(path); })
            ->setToolTip(path);
    m_recentMenu->addSeparator();
    m_recentMenu->addAction(GLS("Clear Menu"), this, [&docs] { docs.recentDocuments().clear(); });
}

bool ConsoleWindow::runUnderway() const
{
    const RunDriver &run = const_cast<AppController &>(m_controller).run();
    return run.isRunning() || run.flags().isStartingSyncAndQuit;
}

bool ConsoleWindow::allSessionsCurrent() const
{
    return const_cast<AppController &>(m_controller).sessions().IsCurrentSessionAllSessions();
}

QVariantMap ConsoleWindow::currentSession() const
{
    const QVariantList sessions = m_controller.document().value("sessionsArray").toList();
    const int index = m_controller.document().value("sessionIndex").toInt();
    return index >= 0 && index < sessions.size() ? sessions.at(index).toMap() : QVariantMap();
}

void ConsoleWindow::setCurrentSession(const QVariantMap &session)
{
    QVariantMap &doc = m_controller.documents().document();
    QVariantList sessions = doc.value("sessionsArray").toList();
    const int index = doc.value("sessionIndex").toInt();
    if (index < 0 || index >= sessions.size())
        return;
    sessions[index] = session;
    doc.insert("sessionsArray", sessions);
}

void ConsoleWindow::refresh()
{
    DocumentLifecycle &docs = m_controller.documents();
    setWindowTitle(docs.isDocumentOpen() ? docs.windowTitle() : QStringLiteral("Quillmere"));
    showSessionMenu();
    if (m_navigator.currentTab() == Panel::Console)
        showConsolePanes();
    else if (m_navigator.currentTab() == Panel::Settings && !allSessionsCurrent())
        m_settings->fill(currentSession());
    updateRunState();
}

void ConsoleWindow::showSessionMenu()
{
    const PanelEntry entry = qm::GoPanel(m_navigator.currentTab());
    const bool enabled = entry.menuEnabled && m_controller.documents().isDocumentOpen() && !runUnderway();
    const SessionMenu menu = m_controller.sessions().menu(enabled, entry.menuAllowsAllSessions);
    QSignalBlocker quiet(m_sessions);
    m_sessions->clear();
    auto *model = static_cast<QStandardItemModel *>(m_sessions->model());
    for (const SessionMenuItem &item : menu.items) {
        if (item.tag == SessionMenuItem::Separator) {
            m_sessions->insertSeparator(m_sessions->count());
            continue;
        }
        m_sessions->addItem(item.title);
        model->item(m_sessions->count() - 1)->setEnabled(item.enabled);
    }
    m_sessions->setCurrentIndex(menu.selected);
    m_sessions->setEnabled(menu.enabled);
}

void ConsoleWindow::showConsolePanes()
{
    SessionCommands &sessions = m_controller.sessions();
    const bool all = sessions.IsCurrentSessionAllSessions();
    const QVariantMap s = currentSession();
    const int task = all ? 1 : s.value("settTask", 1).toInt();
    const bool multi = !all && s.value("multiOn").toInt() != 0;
    ConsolePaneState st;
    st.rootColour = m_controller.identity().isRoot();
    const ButtonText button = SetMainButtonName(all, task);
    st.executeTitle = button.title;
    st.executeToolTip = button.toolTip;
    st.arrowImage = all ? arrowImageName(1) : arrowImageName(task);
    const auto onOff = [](const char *stem, bool on) {
        return QString::fromLatin1(stem) + (on ? QStringLiteral("OnBtn") : QStringLiteral("OffBtn"));
    };
    st.optionImage = {onOff("icnWatch", !all && s.value("timerOn").toInt() != 0), onOff("icnMulti", multi),
                      onOff("icnFilter", !all && s.value("filterOn").toInt() != 0),
                      onOff("icnExclude", !all && s.value("excludeOn").toInt() != 0),
                      onOff("icnAutoMount", !all && s.value("autoMountVolumeOn").toInt() != 0)};
    if (all) {
        const QString text = GLS("All Sessions") + QStringLiteral(" (%1)").arg(sessions.sessionCount());
        st.folderText = {text, text};
        st.folderToolTip.fill(GLS("All the Sessions defined in the Session PopUpMenu"));
        st.shortenFolders = false;
        st.optionsEnabled = st.pickEnabled = st.openEnabled = false;
    } else if (multi) {
        const QString text = GLS("Multiple List") + QStringLiteral(" (%1)").arg(RunDriver::usableMultiRows(s).size());
        st.folderText = {text, text};
        st.folderToolTip.fill(GLS("Multiple Task defined in the Multiple List"));
        st.shortenFolders = false;
    } else {
        for (int side = 0; side < 2; ++side) {
            const QString folder = s.value(folderKey(side)).toString();
            const QString other = s.value(folderKey(1 - side)).toString();
            const QString empty = GetEmptyTopBottomString(folderSide(side), false, task, pathKindAt(other));
            st.folderText[size_t(side)] = folder.isEmpty() ? empty : folder;
            st.folderToolTip[size_t(side)] = folder.isEmpty() ? empty : folderToolTip(folderSide(side));
        }
    }
    for (int side = 0; side < 2; ++side)
        st.pickToolTip[size_t(side)] = pickToolTip(folderSide(side), task);
    m_console->show(st);
}

void ConsoleWindow::updateRunState()
{
    const bool busy = runUnderway();
    const bool all = allSessionsCurrent();
    const QVariantMap s = currentSession();
    const bool multi = !all && s.value("multiOn").toInt() == 1;
    if (busy != m_running) {
        m_running = busy;
        showSessionMenu();
        if (busy)
            m_reportShown = false;
    }
    // Around a run: the options and pick buttons follow the run, the open
    // buttons also stay off for a folder-pair list; All Sessions keeps them off.
    const ButtonText button = SetMainButtonName(all, all ? 1 : s.value("settTask", 1).toInt());
    const QString title = busy ? stopButtonTitle() : button.title;
    m_console->setExecuteButton(title, button.toolTip, true);
    if (QAction *execute = action(ExecuteTag))
        execute->setText(title);
    for (int side = 0; side < 2; ++side) {
        m_console->pickButton(side)->setEnabled(!busy && !all);
        m_console->openButton(side)->setEnabled(!busy && !all && !multi);
    }
    for (int o = 0; o < ConsolePanel::OptionCount; ++o)
        m_console->optionButton(ConsolePanel::Option(o))->setEnabled(!busy && (!all || o == ConsolePanel::Timer));
    updateMenus();
}

void ConsoleWindow::updateMenus()
{
    DocumentLifecycle &docs = m_controller.documents();
    MenuState state;
    state.runUnderway = runUnderway();
    state.anyWindowVisible = isVisible();
    state.documentOpen = docs.isDocumentOpen();
    state.documentHasFile = docs.isDocumentSaved() && !docs.pathDocumentFile().isEmpty();
    state.consoleShowsMainPanel = m_navigator.currentTab() == Panel::Console;
    state.allSessionsCurrent = allSessionsCurrent();
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it)
        it.value()->setEnabled(isMenuItemEnabled(it.value()->data().toInt(), state));
}

void ConsoleWindow::GoPanel(Panel panel)
{
    const std::optional<PanelEntry> entry = m_navigator.go(panel, runUnderway());
    if (!entry)
        return;
    // The timer check runs only while the console shows its main panel.
    m_controller.setConsolePanelShown(panel == Panel::Console);
    switch (entry->action) {
    case PanelAction::OpenAbout:
        Q_EMIT aboutRequested();
        return;
    case PanelAction::OpenPreferences:
        Q_EMIT preferencesRequested();
        return;
    case PanelAction::FillSettings:
        m_settings->fill(currentSession());
        break;
    default:
        break;
    }
    if (QWidget *page = m_pageOf.value(entry->isTab ? panel : Panel::Console))
        m_pages->setCurrentWidget(page);
    if (!entry->isTab && panel != Panel::DocumentClosed)
        m_pages->setCurrentWidget(m_pageOf.value(panel));
    if (panel == Panel::Console)
        clearComment();
    refresh();
}

void ConsoleWindow::returnFromWindow(Panel window)
{
    GoPanel(m_navigator.afterWindowCloses(window, isVisible()));
}

void ConsoleWindow::clearComment()
{
    // Showing a session empties the comment field, but never what a run
    // or the countdown is telling.
    if (runUnderway())
        return;
    m_reportShown = false;
    m_console->setComment(QString());
}

void ConsoleWindow::goOption(ConsolePanel::Option option, Qt::KeyboardModifiers)
{
    if (runUnderway() || (allSessionsCurrent() && option != ConsolePanel::Timer))
        return;
    GoPanel(panelOf(option));
}

void ConsoleWindow::chooseSession(int position, bool optionKey)
{
    const SessionCommandResult r = m_controller.sessions().ChooseSession(position, true, optionKey);
    if (r.outcome == SessionCommandResult::Outcome::Refused && !r.message.isEmpty())
        m_questions.warn(DocumentQuestions::AlertKind::Plain, r.message);
    if (r.done())
        clearComment();
    refresh();
}

void ConsoleWindow::TaskPickFolder(int side)
{
    if (runUnderway() || allSessionsCurrent())
        return;
    const QVariantMap s = currentSession();
    if (s.value("multiOn").toInt() == 1) {
        GoPanel(Panel::Multi);
        return;
    }
    const QString current = s.value(folderKey(side)).toString();
    const QString start = !current.isEmpty() && QFileInfo::exists(current) ? current : QDir::homePath();
    const QString chosen = m_questions.dialogs().chooseItem(this, pickPanelTitle(folderSide(side)), start);
    if (!chosen.isEmpty())
        SetPickedFolder(chosen, side);
}

void ConsoleWindow::SetPickedFolder(const QString &path, int side)
{
    if (runUnderway() || allSessionsCurrent() || path.isEmpty())
        return;
    QVariantMap s = currentSession();
    if (s.value("multiOn").toInt() == 1)
        return;
    s.insert(folderKey(side), QDir::cleanPath(path));
    // The folder's volume joins the session's volume list, to be mounted
    // before a run when it is not there.
    const VolumeUtilities volumes;
    AutoMountList(volumes).AddToAutoMountVolumeArray(&s, path);
    setCurrentSession(s);
    refresh();
}

void ConsoleWindow::openFolder(int side, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::AltModifier)
        clearFolder(side);
    else
        revealFolder(side);
    // Without a modifier the folder opens; with Ctrl it is shown where it lies.
    Q_UNUSED(modifiers);
}

void ConsoleWindow::revealFolder(int side)
{
    if (runUnderway() || currentSession().value("multiOn").toInt() == 1)
        return;
    const QString folder = currentSession().value(folderKey(side)).toString();
    if (!folder.isEmpty())
        DesktopShell::reveal(folder);
}

void ConsoleWindow::clearFolder(int side)
{
    if (runUnderway() || allSessionsCurrent())
        return;
    QVariantMap s = currentSession();
    if (s.value("multiOn").toInt() == 1)
        return;
    s.insert(folderKey(side), QString());
    setCurrentSession(s);
    refresh();
}

void ConsoleWindow::TaskExecuteSyncOrBackup()
{
    if (m_navigator.currentTab() != Panel::Console || !m_controller.documents().isDocumentOpen())
        return;
    m_controller.run().TaskExecuteSyncOrBackup();
    updateRunState();
}

void ConsoleWindow::FileOpen()
{
    if (runUnderway())
        return;
    const QString path = m_questions.chooseDocumentToOpen(QDir::homePath());
    if (!path.isEmpty())
        openDocument(path);
}

void ConsoleWindow::openDocument(const QString &path)
{
    // A file the user chose and that cannot be read is always explained,
    // not only when it is too new: otherwise nothing would seem to happen.
    const int warned = m_questions.warningsShown();
    const DocumentLifecycle::OpenResult r = m_controller.documents().openFile(path);
    if (!r.ok && !r.message.isEmpty() && m_questions.warningsShown() == warned)
        m_questions.warn(DocumentQuestions::AlertKind::Critical, r.message);
    afterDocumentCommand();
}

void ConsoleWindow::afterDocumentCommand()
{
    DocumentLifecycle &docs = m_controller.documents();
    if (docs.isDocumentOpen()) {
        if (m_navigator.currentTab() != Panel::Console || m_pages->currentWidget() == m_pageOf.value(Panel::DocumentClosed))
            GoPanel(Panel::Console);
        show();
    } else {
        GoPanel(Panel::DocumentClosed);
    }
    clearComment();
    refresh();
}

bool ConsoleWindow::isDrawerOpen() const
{
    return m_drawer->isVisible();
}

void ConsoleWindow::setDrawerOpen(bool open)
{
    m_drawer->setVisible(open);
    m_console->setDrawerOpen(open);
}

void ConsoleWindow::closeEvent(QCloseEvent *event)
{
    // Closing the console lets the document go, after its question.
    if (!m_controller.documents().windowShouldClose()) {
        event->ignore();
        return;
    }
    m_pages->setCurrentWidget(m_pageOf.value(Panel::DocumentClosed));
    event->accept();
    updateMenus();
    // Without the console there is no menu left on this desktop: closing it quits.
    Q_EMIT documentLetGo();
}

void ConsoleWindow::showStatus(const QString &text)
{
    m_console->setComment(text);
}

void ConsoleWindow::showPhase(RunFeedback::Phase phase)
{
    // Scanning and writing an index have no measure: the bar is busy.
    if (phase == RunFeedback::Phase::Scanning || phase == RunFeedback::Phase::WritingIndex)
        m_console->setProgress(0, 0);
    updateRunState();
}

void ConsoleWindow::showProgress(int done, int total)
{
    m_console->setProgress(done, total);
    m_console->setComment(itemsToDoText(std::max(total - done, 0)));
}

void ConsoleWindow::showCurrentItem(int copyMode, const QString &source, const QString &dest)
{
    const DrawerTexts texts = drawerTexts(copyMode, source, dest);
    // The size of a folder is worked out only while the drawer is open.
    std::optional<qint64> size;
    const QFileInfo item(source);
    if (isDrawerOpen() && item.isFile())
        size = item.size();
    m_drawer->show(DrawerText{texts.label, texts.source, texts.destination, drawerSizeText(size)});
}

void ConsoleWindow::showTask(int sessionIndex, const QString &source, const QString &dest)
{
    // A folder-pair task shows its own folders while it runs.
    const QVariantList sessions = m_controller.document().value("sessionsArray").toList();
    const QVariantMap s = sessionIndex >= 0 && sessionIndex < sessions.size() ? sessions.at(sessionIndex).toMap()
                                                                              : QVariantMap();
    m_console->showRunningTask(source, dest, arrowImageName(s.value("settTask", 1).toInt()),
                               s.value("multiOn").toInt() == 1);
}

void ConsoleWindow::SetReportOnConsole()
{
    RunDriver &run = m_controller.run();
    const RunRecords &records = run.records();
    if (m_log)
        m_log->refreshAtRunEnd(records.logPath, records.log);
    const int sessionCount = m_controller.sessions().sessionCount();
    RunReport report;
    report.allSessions = RunDriver::isAllSessions(run.sessionIndex(), sessionCount);
    report.startedByTimer = run.executedBy() == RunTrigger::Timer;
    report.sessionsDone = run.totSessionsDone();
    report.sessionCount = sessionCount;
    report.errors = records.globalError;
    report.mailFailed = !records.mailFailure.isEmpty();
    const QVariantList sessions = m_controller.document().value("sessionsArray").toList();
    const int ran = records.logSessionArray.isEmpty() ? run.sessionIndex() : records.logSessionArray.last().sessionIndex;
    const QVariantMap s = ran >= 0 && ran < sessions.size() ? sessions.at(ran).toMap() : QVariantMap();
    report.task = s.value("settTask", 1).toInt();
    report.multi = s.value("multiOn").toInt() == 1;
    report.tasksDone = run.totMultiDone();
    report.taskCount = run.totMulti();
    report.sourceFolder = s.value("topFolder").toString();
    report.destFolder = s.value("bottomFolder").toString();
    if (!records.logSessionArray.isEmpty() && !records.logSessionArray.last().tasks.isEmpty()) {
        const RunCounters &c = records.logSessionArray.last().tasks.last().counters;
        report.sourceFilesCopied = c.a.filesCopied;
        report.destFilesCopied = c.b.filesCopied;
    }
    m_reportShown = true;
    if (m_navigator.currentTab() == Panel::Console)
        showConsolePanes();
    m_console->setArrow(reportArrowImageName(report));
    QLabel *field = m_console->commentField();
    const QFontMetrics font = field->fontMetrics();
    m_console->setComment(TruncatedLines(reportText(report),
                                         FieldFit{field->contentsRect().width() - 2 * field->margin(),
                                                  [&font](const QString &t) { return font.horizontalAdvance(t); }}));
    const int total = run.plan().counters.globalItemsToDo;
    m_console->setProgress(total, std::max(total, 1));
}

} // namespace qm
